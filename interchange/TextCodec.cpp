#include "interchange/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// Windows-1252 from 0x80 to 0x9F; the five codes it leaves undefined stay control characters.
const char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Converts the UTF-16 units from `from` on; returns where it stopped: at a byte that makes no
// whole unit, or, unless `last`, at the first half of a pair whose second half is not there. A
// half of a pair without its partner becomes U+FFFD.
std::size_t Utf16ToUtf8(const std::string& bytes, std::size_t from, bool little, bool last,
                        std::string& out) {
    const auto unit = [&](std::size_t k) {
        const auto a = static_cast<unsigned char>(bytes[k]);
        const auto b = static_cast<unsigned char>(bytes[k + 1]);
        return little ? unsigned(a | b << 8) : unsigned(a << 8 | b);
    };
    std::size_t k = from;
    for (; k + 1 < bytes.size(); k += 2) {
        unsigned code = unit(k);
        if (code >= 0xD800 && code <= 0xDBFF && k + 3 >= bytes.size() && !last)
            break; // its second half comes with the next piece
        if (code >= 0xD800 && code <= 0xDBFF && k + 3 < bytes.size() && unit(k + 2) >= 0xDC00 &&
            unit(k + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(k + 2) - 0xDC00);
            k += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    if (last && k < bytes.size()) {
        AppendUtf8(out, 0xFFFD); // an odd last byte
        k = bytes.size();
    }
    return k;
}

// Length of the well-formed UTF-8 sequence at i, 0 when there is none.
std::size_t SequenceAt(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t n;
    unsigned min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    unsigned code = c & (0x3F >> (n - 1));
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = SequenceAt(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : byte);
    }
    return out;
}

std::string AsUtf8(const std::string& bytes) {
    std::string text = IsValidUtf8(bytes) ? bytes : Windows1252ToUtf8(bytes);
    if (text.find('\0') != std::string::npos) {
        std::string kept;
        for (char c : text)
            if (c != '\0')
                kept += c;
        text.swap(kept);
    }
    return text;
}

bool CharsetToUtf8(const std::string& bytes, const std::string& charset, std::string* utf8) {
    // Only a plain name: "//TRANSLIT" and the like would change what a failure means.
    if (charset.empty() || charset.find('/') != std::string::npos)
        return false;
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string out;
    char buffer[1024];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    bool ok = true;
    // The last round, with no input, writes what a stateful charset still owes.
    for (bool flushed = false; !flushed;) {
        char* to = buffer;
        std::size_t room = sizeof buffer;
        std::size_t done;
        if (inLeft > 0) {
            done = iconv(cd, &in, &inLeft, &to, &room);
        } else {
            done = iconv(cd, nullptr, nullptr, &to, &room);
            flushed = true;
        }
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false; // EILSEQ or EINVAL: not valid in the charset, or cut in a character
            break;
        }
        if (done == static_cast<std::size_t>(-1))
            flushed = false;
    }
    iconv_close(cd);
    if (!ok || !IsValidUtf8(out))
        return false;
    *utf8 = std::move(out);
    return true;
}

int Utf16Order(const std::string& head, std::size_t* bom) {
    *bom = 2;
    if (head.compare(0, 2, "\xFF\xFE") == 0)
        return 2;
    if (head.compare(0, 2, "\xFE\xFF") == 0)
        return 1;
    *bom = 0;
    // ASCII letters in UTF-16 have a zero byte in every other place: the second of each pair in
    // little-endian order, the first in big-endian.
    const std::size_t pairs = std::min<std::size_t>(head.size() / 2, 512);
    std::size_t first = 0, second = 0;
    for (std::size_t p = 0; p < pairs; ++p) {
        first += head[2 * p] == '\0';
        second += head[2 * p + 1] == '\0';
    }
    if (pairs < 2)
        return 0;
    if (second * 2 > pairs && first * 8 < second)
        return 2;
    if (first * 2 > pairs && second * 8 < first)
        return 1;
    return 0;
}

std::string TakeUtf16AsUtf8(std::string& pending, bool little, bool last) {
    std::string out;
    out.reserve(pending.size() / 2);
    pending.erase(0, Utf16ToUtf8(pending, 0, little, last, out));
    return out;
}

std::string TextFileAsUtf8(const std::string& bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return bytes.substr(3);
    std::size_t bom = 0;
    const int order = Utf16Order(bytes, &bom);
    if (order == 0)
        return bytes;
    std::string out;
    Utf16ToUtf8(bytes, bom, order == 2, true, out);
    return out;
}

std::size_t EditorLength(const std::string& utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units;
        if (c >= 0xF0)
            ++units; // outside the basic plane: a surrogate pair
    }
    return units;
}

std::string EditorPrefix(const std::string& utf8, std::size_t units) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t need = c >= 0xF0 ? 2 : 1;
        if (used + need > units)
            break;
        used += need;
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            ++i;
    }
    return utf8.substr(0, i);
}

namespace {
std::uint64_t Mixed(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}
} // namespace

std::pair<std::uint64_t, std::uint64_t> TDigest128::Value() const {
    return {Mixed(a_), Mixed(b_ ^ a_)};
}

std::string JoinedWith(const std::string& a, const std::string& b, const char* separator) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + separator + b;
}

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string TrimmedAscii(const std::string& text) {
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

std::string WithCrLfBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {
// U+00C0 to U+017F, the Latin letters of Western and Central European names, as the ASCII
// letters they are written with when accents are left off.
const char* const kFoldedLatin[] = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e",
    "i", "i", "i", "i", "d", "n", "o", "o", "o", "o", "o", " ",
    "o", "u", "u", "u", "u", "y", "th", "ss", "a", "a", "a", "a",
    "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", " ", "o", "u", "u", "u",
    "u", "y", "th", "y", "a", "a", "a", "a", "a", "a", "c", "c",
    "c", "c", "c", "c", "c", "c", "d", "d", "d", "d", "e", "e",
    "e", "e", "e", "e", "e", "e", "e", "e", "g", "g", "g", "g",
    "g", "g", "g", "g", "h", "h", "h", "h", "i", "i", "i", "i",
    "i", "i", "i", "i", "i", "i", "ij", "ij", "j", "j", "k", "k",
    "k", "l", "l", "l", "l", "l", "l", "l", "l", "l", "l", "n",
    "n", "n", "n", "n", "n", "n", "n", "n", "o", "o", "o", "o",
    "o", "o", "oe", "oe", "r", "r", "r", "r", "r", "r", "s", "s",
    "s", "s", "s", "s", "s", "s", "t", "t", "t", "t", "t", "t",
    "u", "u", "u", "u", "u", "u", "u", "u", "u", "u", "u", "u",
    "w", "w", "y", "y", "y", "z", "z", "z", "z", "z", "z", "s",
};
} // namespace

std::string FoldedForComparison(const std::string& utf8) {
    std::string out;
    bool blank = false;
    auto add = [&](const char* letters) {
        if (*letters == ' ') {
            blank = !out.empty();
            return;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += letters;
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) {
            const char letter[2] = {static_cast<char>(c), '\0'};
            add(letter);
        } else if (c >= 'A' && c <= 'Z') {
            const char letter[2] = {static_cast<char>(c - 'A' + 'a'), '\0'};
            add(letter);
        } else if ((c == 0xC3 || c == 0xC4 || c == 0xC5) && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            const unsigned code = (c & 0x1F) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            ++i;
            add(code >= 0xC0 && code < 0x180 ? kFoldedLatin[code - 0xC0] : " ");
        } else if (c == 0xC2 && i + 1 < utf8.size()) {
            add(" "); // U+0080 to U+00BF: signs and punctuation
            ++i;
        } else if (c == '\'') {
            // An apostrophe joins: O'Neil is ONeil.
        } else if (c == 0xE2 && i + 2 < utf8.size()) {
            // The typographic apostrophes U+2018 and U+2019 join too; dashes, quotes and the
            // other signs there part words.
            const bool apostrophe = utf8.compare(i, 3, "\xE2\x80\x98") == 0 ||
                                    utf8.compare(i, 3, "\xE2\x80\x99") == 0;
            if (!apostrophe)
                add(" ");
            i += 2;
        } else if (c >= 0x80) {
            // Any other letter stays as it is, whole.
            std::size_t end = i + 1;
            while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
                ++end;
            add(utf8.substr(i, end - i).c_str());
            i = end - 1;
        } else {
            add(" "); // spacing and punctuation
        }
    }
    return out;
}
