#include "interchange/VCardWriter.h"

namespace {
constexpr std::size_t kMaxOctets = 75;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void AppendFolded(std::string& out, const std::string& line, const std::string& lineBreak) {
    // A continuation line starts with a blank, which counts against its 75 octets.
    std::size_t at = 0;
    std::size_t room = kMaxOctets;
    while (line.size() - at > room) {
        std::size_t cut = at + room;
        while (cut > at + 1 && IsContinuationByte(line[cut]))
            --cut;
        out.append(line, at, cut - at);
        out += lineBreak;
        out += ' ';
        at = cut;
        room = kMaxOctets - 1;
    }
    out.append(line, at, std::string::npos);
    out += lineBreak;
}
} // namespace

void VCardWriter::BeginCard() {
    out_ += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
}

void VCardWriter::EndCard() {
    out_ += "END:VCARD\r\n";
}

void VCardWriter::Property(const std::string& head, const std::string& value) {
    Fold(head + ':' + value);
}

void VCardWriter::Text(const std::string& head, const std::string& text) {
    if (!text.empty())
        Property(head, Escaped(text));
}

void VCardWriter::Fold(const std::string& line) {
    AppendFolded(out_, line, "\r\n");
}

std::string VCardWriter::Folded(const std::string& line, const std::string& lineBreak) {
    std::string out;
    AppendFolded(out, line, lineBreak);
    return out;
}

std::string VCardWriter::Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ',':
            out += "\\,";
            break;
        case ';':
            out += "\\;";
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\\n";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string VCardWriter::Structured(const std::vector<std::string>& components) {
    std::string out;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            out += ';';
        out += Escaped(components[i]);
    }
    return out;
}
