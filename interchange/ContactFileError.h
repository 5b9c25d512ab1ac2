#pragma once

#include <stdexcept>
#include <string>

// A contact file that cannot be read or written: the message is meant for the user as it is.
class EContactFileError : public std::runtime_error {
public:
    explicit EContactFileError(const std::string& message) : std::runtime_error(message) {}
};
