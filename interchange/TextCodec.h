#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// Byte-level text helpers for contact files. The address book holds UTF-8 (the ANSI code page on
// Windows); files from other programs may hold Latin-1 or Windows-1252, which is never valid
// UTF-8 once it holds a letter outside ASCII.
bool IsValidUtf8(std::string_view bytes);
// Windows-1252 bytes as UTF-8; Latin-1 is the same apart from 0x80 to 0x9F.
std::string Windows1252ToUtf8(std::string_view bytes);
// UTF-8 stays as it is; anything else is taken as Windows-1252. Zero bytes are dropped: no
// statement can carry them.
std::string AsUtf8(const std::string& bytes);
// Bytes in the named charset (any name the C library's iconv knows, in any case) as UTF-8.
// False, with `utf8` untouched, for a charset iconv does not know or bytes not valid in it.
bool CharsetToUtf8(const std::string& bytes, const std::string& charset, std::string* utf8);

// A whole text file as UTF-8: UTF-16 (little or big endian, with a byte-order mark or without,
// told then by the zero bytes of its ASCII letters) is converted, a UTF-8 byte-order mark
// removed; anything else is returned as it is.
std::string TextFileAsUtf8(const std::string& bytes);
// The byte order of a text that starts with these bytes: 0 for no UTF-16, 1 for big endian, 2
// for little endian; `bom` gets the length of a byte-order mark.
int Utf16Order(const std::string& head, std::size_t* bom);
// Converts the whole UTF-16 units at the start of `pending` to UTF-8 and removes them; an odd
// last byte, or a first half of a pair whose second half has not come yet, stays for the next
// piece. At the end of the text, pass `last` so that nothing stays.
std::string TakeUtf16AsUtf8(std::string& pending, bool little, bool last);

// Length in UTF-16 units, the unit of the editor's length limits.
std::size_t EditorLength(const std::string& utf8);
// The longest prefix of at most `units` UTF-16 units that does not split a character.
std::string EditorPrefix(const std::string& utf8, std::size_t units);

std::string LowerAscii(std::string text);
// A name or place as people compare them: letters and digits in lower case, the accents of Latin
// letters left off ("José" is "jose", "ß" is "ss"), apostrophes dropped, every run of spacing and
// punctuation one blank between words. "José  Álvarez" and "jose alvarez" fold alike.
std::string FoldedForComparison(const std::string& utf8);
// A 128-bit digest of bytes fed a byte or a text at a time: two different inputs agree in it far
// less often than a memory fault hits, so it stands for the bytes where many must be compared.
class TDigest128 {
public:
    void Add(unsigned char c) {
        a_ = (a_ ^ c) * 0x100000001b3ULL;
        b_ = ((b_ ^ c) << 7 | (b_ ^ c) >> 57) * 0xbf58476d1ce4e5b9ULL;
    }
    void Add(std::string_view text) {
        for (char c : text)
            Add(static_cast<unsigned char>(c));
    }
    std::pair<std::uint64_t, std::uint64_t> Value() const;

private:
    std::uint64_t a_ = 0xcbf29ce484222325ULL;
    std::uint64_t b_ = 0x9e3779b97f4a7c15ULL;
};

// a and b with the separator between them, or whichever is not empty.
std::string JoinedWith(const std::string& a, const std::string& b, const char* separator);
// Upper-cases "a" to "z" only; every other byte stays.
std::string UpperAscii(std::string text);
// The value of a hexadecimal digit of either case, or -1.
int HexValue(char c);
std::string TrimmedAscii(const std::string& text);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Line breaks ("\r\n", "\r" or "\n") as "\r\n", the form the note fields store.
std::string WithCrLfBreaks(const std::string& text);
