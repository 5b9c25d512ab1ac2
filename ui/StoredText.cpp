#include "StoredText.h"

#include <QStringDecoder>

namespace {

// Windows-1252 from 0x80 to 0x9F; the five codes it leaves undefined map to the control
// characters of the same number, as Windows itself maps them. Every other byte is Latin-1.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString FromWindows1252(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = byte >= 0x80 && byte < 0xA0 ? QChar(kWindows1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

bool IsUtf8(std::string_view bytes, QString* text) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    *text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

} // namespace

QString FromStored(std::string_view bytes) {
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
#else
    QString text;
    return IsUtf8(bytes, &text) ? text : FromWindows1252(bytes);
#endif
}

bool ShowsExactly(std::string_view bytes) {
    if (bytes.find('\0') != std::string::npos)
        return false;
#ifdef Q_OS_WIN
    return FromStored(bytes).toLocal8Bit().toStdString() == bytes;
#else
    QString text;
    return IsUtf8(bytes, &text);
#endif
}
