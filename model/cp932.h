#pragma once

#include <cstddef>
#include <string_view>

namespace jnx::cp932 {

// Code page 932 lead bytes: 81-9F and E0-FC. The byte after a lead byte is its trail
// byte, which may be any of 40-7E and 80-FC, so "[", "\", "]" and ASCII letters can
// stand inside a double-byte character.
constexpr bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the character that starts at text[pos]: 2 for a lead byte that
// has a byte after it, else 1.
constexpr std::size_t CharLength(std::string_view text, std::size_t pos) {
    return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// Position of the last single-byte character equal to `ch`, skipping trail bytes;
// npos when there is none.
std::size_t FindLastChar(std::string_view text, char ch);

}  // namespace jnx::cp932
