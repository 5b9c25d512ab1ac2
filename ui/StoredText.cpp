#include "StoredText.h"

#include "TextCodec.h"

QString FromStored(std::string_view bytes) {
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
#else
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string utf8 = Windows1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
#endif
}

bool ShowsExactly(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos)
        return false;
#ifdef Q_OS_WIN
    return FromStored(bytes).toLocal8Bit().toStdString() == bytes;
#else
    return IsValidUtf8(bytes);
#endif
}
