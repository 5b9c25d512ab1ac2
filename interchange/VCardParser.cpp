#include "interchange/VCardParser.h"

#include "interchange/ContactFileError.h"
#include "interchange/TextCodec.h"

#include <algorithm>
#include <string_view>

namespace {

struct LogicalLine {
    std::string text;
    std::size_t number;
    // Where its bytes stand in the text: from its first physical line to the end of the line
    // break after its last.
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The position of the first character c outside double quotes, or npos.
std::size_t FindUnquoted(const std::string& text, char c, std::size_t from = 0) {
    bool quoted = false;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == c && !quoted)
            return i;
    }
    return std::string::npos;
}

bool IsQuotedPrintable(const std::string& line) {
    const std::size_t colon = FindUnquoted(line, ':');
    const std::string head = LowerAscii(line.substr(0, colon));
    return head.find("quoted-printable") != std::string::npos;
}

// Where the line break at `at` ends: CR LF, LF, CR, and the CR CR LF that iPhones write, are
// one break each.
std::size_t BreakEnd(const std::string& text, std::size_t at) {
    if (text[at] == '\n')
        return at + 1;
    if (text.compare(at, 3, "\r\r\n") == 0)
        return at + 3;
    if (text.compare(at, 2, "\r\n") == 0)
        return at + 2;
    return at + 1;
}

// Physical lines joined into content lines.
std::vector<LogicalLine> Unfold(const std::string& text) {
    std::vector<LogicalLine> lines;
    TLineUnfolder unfolder;
    std::size_t number = 0;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        std::string_view line(text.data() + at, end - at);
        // Files joined end to end keep each one's byte-order mark at the start of a line.
        if (line.substr(0, 3) == "\xEF\xBB\xBF")
            line.remove_prefix(3);
        ++number;
        const bool continues = !lines.empty() && unfolder.Continues(line);
        if (!continues)
            lines.push_back({std::string(), number, at, at});
        unfolder.Add(line, lines.back().text, continues);
        at = end < text.size() ? BreakEnd(text, end) : end + 1;
        lines.back().end = std::min(at, text.size());
    }
    return lines;
}

std::string DecodeQuotedPrintable(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 &&
            HexValue(value[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

void AddTypes(VCardProperty& property, const std::string& list) {
    std::size_t at = 0;
    const std::string text = Unquoted(list);
    while (at <= text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        const std::string type = LowerAscii(TrimmedAscii(Unquoted(text.substr(at, comma - at))));
        if (!type.empty())
            property.types.push_back(type);
        at = comma + 1;
    }
}


// Value bytes as UTF-8 under the charset the card names; without one, UTF-8. Latin-1 is read as
// Windows-1252, which writers mean by it. Bytes not valid in the charset, or a charset iconv
// does not know, are read as Windows-1252, which takes any byte; zero bytes are removed.
void DecodeValue(VCardProperty& property, const std::string& bytes, const std::string& charset) {
    const std::string cs = LowerAscii(charset);
    std::string text;
    bool read = true;
    if (cs == "iso-8859-1" || cs == "latin1" || cs == "windows-1252" || cs == "cp1252") {
        text = Windows1252ToUtf8(bytes);
    } else if (cs.empty() || cs == "utf-8" || cs == "us-ascii") {
        read = IsValidUtf8(bytes);
        if (read)
            text = bytes;
    } else {
        read = CharsetToUtf8(bytes, charset, &text);
    }
    if (!read) {
        text = Windows1252ToUtf8(bytes);
        property.readAsWindows1252 = true;
    }
    if (text.find('\0') != std::string::npos) {
        property.zeroBytesRemoved = true;
        std::string kept;
        for (char c : text)
            if (c != '\0')
                kept += c;
        text.swap(kept);
    }
    property.value = std::move(text);
}

VCardProperty ParseProperty(const std::string& line, std::size_t colon) {
    VCardProperty property;
    const std::string head = line.substr(0, colon);
    std::size_t semicolon = FindUnquoted(head, ';');
    std::string name = head.substr(0, semicolon);
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        property.group = name.substr(0, dot);
        name = name.substr(dot + 1);
    }
    property.name = UpperAscii(TrimmedAscii(name));

    bool quotedPrintable = false;
    std::string charset;
    while (semicolon != std::string::npos) {
        const std::size_t next = FindUnquoted(head, ';', semicolon + 1);
        const std::string param = head.substr(
            semicolon + 1, next == std::string::npos ? std::string::npos : next - semicolon - 1);
        semicolon = next;
        const std::size_t equals = param.find('=');
        if (equals == std::string::npos) {
            // Version 2.1 writes parameter values bare: "TEL;WORK;FAX", "NOTE;QUOTED-PRINTABLE".
            const std::string word = LowerAscii(TrimmedAscii(param));
            if (word == "quoted-printable")
                quotedPrintable = true;
            else if (!word.empty())
                property.types.push_back(word);
            continue;
        }
        const std::string key = UpperAscii(TrimmedAscii(param.substr(0, equals)));
        const std::string value = TrimmedAscii(param.substr(equals + 1));
        if (key == "TYPE") {
            AddTypes(property, value);
        } else {
            if (key == "ENCODING" && LowerAscii(Unquoted(value)) == "quoted-printable")
                quotedPrintable = true;
            if (key == "CHARSET")
                charset = Unquoted(value);
        }
    }
    std::string value = line.substr(colon + 1);
    if (quotedPrintable)
        value = DecodeQuotedPrintable(value);
    DecodeValue(property, value, charset);
    return property;
}

bool IsBeginCard(const VCardProperty& p) {
    return p.name == "BEGIN" && LowerAscii(TrimmedAscii(p.value)) == "vcard";
}

bool IsEndCard(const VCardProperty& p) {
    return p.name == "END" && LowerAscii(TrimmedAscii(p.value)) == "vcard";
}

// Whether a content line begins (+1) or ends (-1) a card, as ParseVCards reads it, or neither
// (0). Only a line named BEGIN or END is read whole.
int CardBoundaryOf(const std::string& line) {
    const std::size_t colon = FindUnquoted(line, ':');
    if (colon == std::string::npos)
        return 0;
    std::string name = line.substr(0, std::min(colon, FindUnquoted(line.substr(0, colon), ';')));
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos)
        name = name.substr(dot + 1);
    name = UpperAscii(TrimmedAscii(name));
    if (name != "BEGIN" && name != "END")
        return 0;
    const VCardProperty property = ParseProperty(line, colon);
    return IsBeginCard(property) ? 1 : IsEndCard(property) ? -1 : 0;
}

} // namespace

bool TLineUnfolder::Continues(std::string_view physical) const {
    return softBreak_ || (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t'));
}

void TLineUnfolder::Add(std::string_view physical, std::string& line, bool continues) {
    if (continues && softBreak_) {
        line += physical;
    } else if (continues) {
        line += keepFoldBlank_ ? physical : physical.substr(1);
    } else {
        line.assign(physical);
        // The card's VERSION line comes before any folded one.
        if (StartsWithNoCase(physical, "begin:"))
            keepFoldBlank_ = false;
        else if (StartsWithNoCase(physical, "version:"))
            keepFoldBlank_ = TrimmedAscii(std::string(physical.substr(8))) == "2.1";
    }
    softBreak_ = !line.empty() && line.back() == '=' && IsQuotedPrintable(line);
    if (softBreak_)
        line.pop_back();
}

void TVCardCutter::Feed(std::string_view text) {
    text_.append(text.data(), text.size());
    Scan(false);
}

void TVCardCutter::Finish() {
    Scan(true);
    finished_ = true;
    if (pieceStart_ < text_.size())
        Cut(text_.size());
    text_.clear();
    scan_ = pieceStart_ = 0;
}

bool TVCardCutter::Take(std::string& piece, std::size_t& firstLine) {
    if (ready_.empty())
        return false;
    piece = std::move(ready_.front().first);
    firstLine = ready_.front().second;
    ready_.pop_front();
    return true;
}

void TVCardCutter::Cut(std::size_t end) {
    ready_.emplace_back(text_.substr(pieceStart_, end - pieceStart_), pieceLine_);
    pieceStart_ = end;
}

void TVCardCutter::Scan(bool last) {
    while (scan_ < text_.size() || (last && scan_ == text_.size() && !finished_)) {
        std::size_t end = scan_;
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r')
            ++end;
        // A line is read once its break is whole: CR, CR LF and CR CR LF are told apart only by
        // the bytes after a CR.
        if (!last && (end == text_.size() || (text_[end] == '\r' && end + 2 >= text_.size())))
            break;
        std::string_view physical(text_.data() + scan_, end - scan_);
        if (physical.substr(0, 3) == "\xEF\xBB\xBF")
            physical.remove_prefix(3);
        ++lines_;
        const bool continues = haveLine_ && unfolder_.Continues(physical);
        if (!continues) {
            if (haveLine_) {
                const int boundary = CardBoundaryOf(line_);
                if (boundary > 0)
                    ++depth_;
                else if (boundary < 0 && depth_ > 0)
                    cardEnded_ = --depth_ == 0;
            }
            if (cardEnded_) {
                Cut(scan_);
                pieceLine_ = lines_;
                cardEnded_ = false;
            }
            haveLine_ = true;
        }
        unfolder_.Add(physical, line_, continues);
        if (end == text_.size()) {
            scan_ = end;
            break; // the last line, which has no break
        }
        scan_ = BreakEnd(text_, end);
    }
    // What is cut is dropped from the front once it is worth the copy of the rest.
    if (pieceStart_ > (1u << 20) && pieceStart_ * 2 > text_.size()) {
        text_.erase(0, pieceStart_);
        scan_ -= pieceStart_;
        pieceStart_ = 0;
    }
}

bool VCardProperty::HasType(const char* type) const {
    for (const std::string& t : types)
        if (t == type)
            return true;
    return false;
}

const VCardProperty* VCard::First(const char* name) const {
    const std::string_view wanted(name);
    for (const VCardProperty& p : properties)
        if (p.name.size() == wanted.size() && p.name == wanted)
            return &p;
    return nullptr;
}

bool LooksLikeVCard(const std::string& bytes) {
    const std::string text = TextFileAsUtf8(bytes);
    std::size_t at = text.find_first_not_of(" \t\r\n");
    return at != std::string::npos && StartsWithNoCase(text.substr(at, 11), "begin:vcard");
}

std::vector<VCard> ParseVCards(const std::string& bytes) {
    const std::string text = TextFileAsUtf8(bytes);
    if (text.find('\0') != std::string::npos)
        throw EContactFileError("The file holds binary data, not contact cards.");
    std::vector<VCard> cards;
    int depth = 0;
    for (const LogicalLine& line : Unfold(text)) {
        if (line.text.find_first_not_of(" \t\r\n") == std::string::npos)
            continue;
        const std::size_t colon = FindUnquoted(line.text, ':');
        if (colon == std::string::npos) {
            // Inside a card: the body of an old-style base64 block, or noise; nothing to read.
            if (depth > 0)
                continue;
            throw EContactFileError("Line " + std::to_string(line.number) +
                                   " of the file is not part of a contact card.");
        }
        VCardProperty property = ParseProperty(line.text, colon);
        if (IsBeginCard(property)) {
            if (++depth == 1) {
                cards.emplace_back();
                cards.back().line = line.number;
            }
            continue;
        }
        if (depth == 0)
            throw EContactFileError("Line " + std::to_string(line.number) +
                                   " of the file is not part of a contact card.");
        if (IsEndCard(property)) {
            --depth;
            continue;
        }
        if (depth > 1)
            continue; // a card inside a card (2.1 AGENT) is not a contact of its own
        if (property.name == "VERSION")
            cards.back().version = TrimmedAscii(property.value);
        cards.back().properties.push_back(std::move(property));
    }
    if (depth > 0)
        throw EContactFileError("The file ends inside the contact card begun on line " +
                               std::to_string(cards.back().line) + ": it may be cut short.");
    return cards;
}

std::vector<VCardLine> SplitCardLines(const std::string& text) {
    std::vector<VCardLine> lines;
    int depth = 0;
    for (const LogicalLine& line : Unfold(text)) {
        VCardLine out;
        out.raw = text.substr(line.begin, line.end - line.begin);
        const bool blank = line.text.find_first_not_of(" \t\r\n") == std::string::npos;
        const std::size_t colon = blank ? std::string::npos : FindUnquoted(line.text, ':');
        const bool isProperty = colon != std::string::npos;
        if (isProperty) {
            out.property = ParseProperty(line.text, colon);
            std::size_t at = FindUnquoted(line.text, ';');
            out.head = line.text.substr(0, std::min(at, colon));
            while (at < colon) {
                const std::size_t next = std::min(FindUnquoted(line.text, ';', at + 1), colon);
                out.parameters.push_back(line.text.substr(at + 1, next - at - 1));
                at = next;
            }
            if (IsBeginCard(out.property))
                ++depth;
        }
        out.depth = depth;
        if (isProperty && depth > 0 && IsEndCard(out.property))
            --depth;
        if (!out.raw.empty())
            lines.push_back(std::move(out));
    }
    return lines;
}

std::string UnescapeText(const std::string& value, const std::string& version) {
    std::vector<std::string> one = SplitComponents(value, '\0', version);
    return one.empty() ? std::string() : one.front();
}

std::vector<std::string> SplitComponents(const std::string& value, char separator,
                                         const std::string& version) {
    const bool old = version == "2.1";
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (!old && (next == 'n' || next == 'N')) {
                parts.back() += '\n';
                ++i;
                continue;
            }
            if (!old || next == ';' || next == ',' || next == ':') {
                parts.back() += next;
                ++i;
                continue;
            }
        }
        if (separator != '\0' && c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}
