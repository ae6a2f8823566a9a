#pragma once

#include <stdexcept>
#include <string>

// Errors of the data layer travel as exceptions carrying the message that the
// user reads.
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// A text that cannot be read as the value of a field's kind.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};
