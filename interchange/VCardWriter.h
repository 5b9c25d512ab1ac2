#pragma once

#include <string>
#include <vector>

// Writes version 3.0 cards, the version other programs read most widely: UTF-8, CRLF line ends,
// lines folded at 75 octets without splitting a character.
class VCardWriter {
public:
    void BeginCard();
    void EndCard();
    // `head` is the name with its parameters ("TEL;TYPE=WORK,VOICE"); the value is written as
    // given, so text values go through Escaped first.
    void Property(const std::string& head, const std::string& value);
    // A text property with one escaped text value; an empty text writes nothing.
    void Text(const std::string& head, const std::string& text);

    const std::string& Output() const { return out_; }
    std::string& Output() { return out_; }

    // Backslash escapes of a text value: "\\", "\,", "\;" and "\n" for every line break.
    static std::string Escaped(const std::string& text);
    // Joins components of a structured value (N, ADR) with ";", each escaped.
    static std::string Structured(const std::vector<std::string>& components);
    // One content line folded as the writer folds it, each physical line ended by `lineBreak`.
    static std::string Folded(const std::string& line, const std::string& lineBreak = "\r\n");

private:
    void Fold(const std::string& line);
    std::string out_;
};
