#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One content line of a card, unfolded and decoded: the value is UTF-8 text still carrying the
// version's backslash escapes (structured values are split with SplitComponents).
struct VCardProperty {
    std::string group; // "item1" of "item1.EMAIL", else empty
    std::string name;  // upper case
    // TYPE values in lower case, from every written form: "TYPE=WORK,VOICE", "TYPE=work;TYPE=fax",
    // TYPE="work,voice" and the bare words of version 2.1 ("TEL;WORK;FAX").
    std::vector<std::string> types;
    std::string value;
    // What reading had to change: bytes not valid in the charset the card names (or in UTF-8,
    // when it names none), or a charset unknown here, read as Windows-1252; zero bytes removed.
    bool readAsWindows1252 = false;
    bool zeroBytesRemoved = false;

    bool HasType(const char* type) const;
};

struct VCard {
    std::string version;  // "2.1", "3.0", "4.0" or as written
    std::size_t line = 0; // of its BEGIN, for messages
    std::vector<VCardProperty> properties;

    const VCardProperty* First(const char* name) const;
};

// One content line as it stands in a card's text, for changing a card without rewriting the
// lines it does not change.
struct VCardLine {
    std::string raw;  // its exact bytes: continuation lines and line break included
    std::string head; // group and name as written ("item1.TEL"); empty for a line with no colon
    std::vector<std::string> parameters; // each as written, "TYPE=WORK" or "PREF", unfolded
    VCardProperty property;              // as ParseVCards reads it; no name without a colon
    // 1 for the card's own lines (its BEGIN and END included), 2 and more inside a card nested in
    // it (2.1 AGENT), 0 outside any card.
    int depth = 0;
};

// The content lines of a card's text (UTF-8, with or without a byte-order mark) as
// ParseVCards unfolds and reads them; every byte of the text is in the raw bytes of exactly one
// of them, in order. Blank lines and lines that are no property (the body of an old base64
// block) are lines too, with no property name.
std::vector<VCardLine> SplitCardLines(const std::string& text);

// How the physical lines of a card's text join into content lines: a line that starts with a
// blank continues the one before (version 2.1 folds at a blank of the value and keeps it, the
// later versions insert the blank and drop it), and any line after a quoted-printable line that
// ends in "=" (a soft line break) continues it too, whether or not it starts with a blank.
class TLineUnfolder {
public:
    // Whether the physical line (without its line break) continues the content line before it.
    bool Continues(std::string_view physical) const;
    // Adds the physical line to `line`: as its continuation, or as the start of a new one.
    void Add(std::string_view physical, std::string& line, bool continues);

private:
    bool softBreak_ = false;
    bool keepFoldBlank_ = false;
};

// The card grammar fed as the text of a file comes (UTF-8, as ParseVCards reads it): the text is
// cut into pieces, each ending with a whole card, as soon as the card is complete, and only
// where ParseVCards sees a card end (never inside a folded line nor after a soft line break).
// The lines between two cards go with the card after them; the last piece takes the rest.
class TVCardCutter {
public:
    void Feed(std::string_view text);
    // No more text comes.
    void Finish();
    // The next piece, and the line of the whole text it starts on; false until one is whole.
    bool Take(std::string& piece, std::size_t& firstLine);

private:
    void Scan(bool last);
    void Cut(std::size_t end);

    std::string text_;
    std::size_t scan_ = 0;       // the first byte not yet read as a line
    std::size_t pieceStart_ = 0; // the first byte of the piece being gathered
    std::size_t pieceLine_ = 1;
    std::size_t lines_ = 0; // physical lines read
    TLineUnfolder unfolder_;
    std::string line_; // the content line being read
    bool haveLine_ = false;
    int depth_ = 0;
    bool cardEnded_ = false;
    bool finished_ = false;
    std::deque<std::pair<std::string, std::size_t>> ready_;
};

// Reads every card of a file: UTF-8 with or without a byte-order mark, or UTF-16; lines ended by
// CR LF, LF, CR or the CR CR LF of some phones; folded lines (version 2.1 keeps the blank it folded
// at, the later versions drop it); QUOTED-PRINTABLE values with soft line breaks; CHARSET= on any
// property, for every charset iconv knows; groups; nested cards (2.1 AGENT) skipped. Throws
// EContactFileError for text that is not a card file, a card that is not closed, or a property line
// outside any card.
std::vector<VCard> ParseVCards(const std::string& bytes);

// Whether the bytes look like a card file at all (its first line begins a card).
bool LooksLikeVCard(const std::string& bytes);

// Splits a structured value (N, ADR, ORG) at unescaped separators and removes the escapes:
// "\\", "\,", "\;", "\n" and "\N", and a backslash before any other character stands for
// that character ("http\://" of some address books). Version "2.1" has no escaped backslash or
// line break: there a backslash stays unless a ";", "," or ":" follows.
std::vector<std::string> SplitComponents(const std::string& value, char separator,
                                         const std::string& version);
std::string UnescapeText(const std::string& value, const std::string& version);
