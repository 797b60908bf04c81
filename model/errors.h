#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "text.h"

namespace jnx {

// Base of every failure the editor reports; what() gives the message in code page 932.
//
// A message may name a file: its path then stands in the message as the system names
// files (code page 932 on Windows, the file system's bytes, UTF-8 as a rule, elsewhere),
// so that a window can decode that part as a file name and the rest as code page 932.
class Error : public std::exception {
public:
    explicit Error(Text message) : message_(std::move(message)) {}
    [[nodiscard]] const char* what() const noexcept override { return message_.c_str(); }
    [[nodiscard]] const Text& message() const noexcept { return message_; }

    // The file path the message names, in the system's own encoding; empty when the
    // message names no file.
    [[nodiscard]] const std::string& path() const noexcept { return path_; }
    // Where the path's bytes begin in message(); meaningful only when path() is not empty.
    [[nodiscard]] std::size_t pathOffset() const noexcept { return pathOffset_; }
    // The path as the system's UTF-16 functions name the file, for a path the system's own
    // encoding cannot name: a Windows folder named with a character that has no code in the
    // ANSI code page, which path() holds as "?". Empty when path() names the file itself.
    [[nodiscard]] const std::u16string& widePath() const noexcept { return widePath_; }

protected:
    // A message that holds `path` at byte `pathOffset`.
    Error(Text message, std::string path, std::size_t pathOffset)
        : message_(std::move(message)), path_(std::move(path)), pathOffset_(pathOffset) {}
    // The same, for a file whose name is `widePath`.
    Error(Text message, std::string path, std::size_t pathOffset, std::u16string widePath)
        : message_(std::move(message)),
          path_(std::move(path)),
          pathOffset_(pathOffset),
          widePath_(std::move(widePath)) {}

private:
    Text message_;
    std::string path_;
    std::size_t pathOffset_ = 0;
    std::u16string widePath_;
};

// A text that is not an integer: "'<text>' は整数ではありません".
class ConversionError : public Error {
public:
    explicit ConversionError(const Text& text);
};

// The settings file could not be written: "<path> に書き込めません". The path begins the
// message.
class WriteError : public Error {
public:
    explicit WriteError(const std::string& path);
};

// The settings file could not be read at all (it is too large to hold in memory, say):
// "<path> を読み込めません". The path begins the message.
class ReadError : public Error {
public:
    explicit ReadError(const std::string& path);
    // A file the system's profile functions cannot reach by its name in the ANSI code page:
    // `widePath` is its name, `path` the nearest the code page comes to it ("?" for what it
    // lacks).
    ReadError(const std::string& path, std::u16string widePath);
};

// A value that a save must not write, because it holds CR, LF or NUL: in the file it would
// start lines of its own (keys or sections the betting tool would read) or be cut short.
// The message names the key: "[<section>] <key> に改行か NUL を含む値は書き込めません".
class UnsafeValueError : public Error {
public:
    UnsafeValueError(std::string_view section, std::string_view key);
};

// A folder chosen in the folder chooser cannot be made, because its text names none:
// "ディレクトリを作成できません".
class FolderCreationError : public Error {
public:
    FolderCreationError();
};

}  // namespace jnx
