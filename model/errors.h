#pragma once

#include <exception>
#include <string>

#include "text.h"

namespace jnx {

// Base of every failure the editor reports; what() gives the message in code page 932.
class Error : public std::exception {
public:
    explicit Error(Text message) : message_(std::move(message)) {}
    [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
    [[nodiscard]] const Text& message() const noexcept { return message_; }

private:
    Text message_;
};

// A text that is not an integer: "'<text>' は整数ではありません".
class ConversionError : public Error {
public:
    explicit ConversionError(const Text& text);
};

// The settings file could not be written: "<path> に書き込めません".
class WriteError : public Error {
public:
    explicit WriteError(const Text& path);
};

}  // namespace jnx
