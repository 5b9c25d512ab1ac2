#include "storage/SqlLiteral.h"

std::string SqlText(const std::string& value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\0')
            continue;
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}
