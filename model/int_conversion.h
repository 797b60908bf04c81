#pragma once

#include <cstdint>
#include <string_view>

#include "text.h"

namespace jnx {

// Converts an integer text. Accepted: leading blanks (space only), one optional sign,
// then decimal digits in the signed 32-bit range, or a hexadecimal number after "$",
// "x", "X", "0x" or "0X" with at most eight significant digits, read as a 32-bit
// two's-complement value that a "-" negates. Nothing may follow.
// Throws ConversionError naming the whole text otherwise.
std::int32_t StrToInt(std::string_view text);

// Plain decimal, no leading zeros.
Text IntToStr(std::int32_t value);

}  // namespace jnx
