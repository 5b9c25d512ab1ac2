#pragma once

// A broken property is reported like a crash: libFuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>
#include <string>

[[noreturn]] inline void FuzzFailed(const char* file, int line, const char* condition,
                                    const std::string& detail) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n%s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzFailed(__FILE__, __LINE__, #condition, (detail));                                  \
    } while (0)

// Bytes with the unprintable ones escaped, for messages.
inline std::string Printable(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            out += buffer;
        }
    }
    return out + "\"";
}
