#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace jnx::cp932 {

// The platform's own code page 932 converter, one character at a time.

// The character that one code page 932 unit (one byte, or a lead and a trail byte)
// stands for; nothing when the platform does not map that unit.
std::optional<char32_t> DecodeUnit(std::string_view unit);

// The bytes of one character in code page 932; nothing when code page 932 has no exact
// form of it (characters the converter would only approximate included).
std::optional<std::string> EncodeCodePoint(char32_t codePoint);

}  // namespace jnx::cp932
