#include "errors.h"

namespace jnx {

namespace {

// " は整数ではありません" and " に書き込めません" in code page 932.
constexpr std::string_view kNotAnInteger =
    "\x20\x82\xCD\x90\xAE\x90\x94\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
constexpr std::string_view kCannotWrite =
    "\x20\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";

// " を読み込めません" in code page 932.
constexpr std::string_view kCannotRead =
    "\x20\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";

// " に改行か NUL を含む値は書き込めません" in code page 932.
constexpr std::string_view kHoldsLineBreak =
    "\x20\x82\xC9\x89\xFC\x8D\x73\x82\xA9\x20\x4E\x55\x4C\x20\x82\xF0\x8A\xDC\x82\xDE\x92\x6C"
    "\x82\xCD\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";

// "ディレクトリを作成できません" in code page 932.
constexpr std::string_view kCannotCreateFolder =
    "\x83\x66\x83\x42\x83\x8C\x83\x4E\x83\x67\x83\x8A\x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1";

}  // namespace

ConversionError::ConversionError(const Text& text)
    : Error(Text("'").append(text).append("'").append(kNotAnInteger)) {}

WriteError::WriteError(const std::string& path) : Error(Text(path).append(kCannotWrite), path, 0) {}

ReadError::ReadError(const std::string& path) : Error(Text(path).append(kCannotRead), path, 0) {}

ReadError::ReadError(const std::string& path, std::u16string widePath)
    : Error(Text(path).append(kCannotRead), path, 0, std::move(widePath)) {}

UnsafeValueError::UnsafeValueError(std::string_view section, std::string_view key)
    : Error(Text("[").append(section).append("] ").append(key).append(kHoldsLineBreak)) {}

FolderCreationError::FolderCreationError() : Error(Text(kCannotCreateFolder)) {}

}  // namespace jnx
