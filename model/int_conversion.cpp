#include "int_conversion.h"

#include <limits>

#include "errors.h"

namespace jnx {

namespace {

constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::int32_t StrToInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }

    bool hex = false;
    if (pos < text.size() && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X')) {
        hex = true;
        pos += 1;
    } else if (pos + 1 < text.size() && text[pos] == '0' &&
               (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        hex = true;
        pos += 2;
    }

    const std::size_t digitsStart = pos;
    std::int64_t magnitude = 0;
    // Decimal texts may reach 2147483648 before the sign applies; hexadecimal ones
    // hold eight significant digits.
    const std::int64_t limit = hex ? 0xFFFFFFFFLL : 2147483648LL;
    for (; pos < text.size(); ++pos) {
        const int digit = hex ? HexDigit(text[pos])
                              : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);
        if (digit < 0) {
            throw ConversionError(Text(text));
        }
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit) {
            throw ConversionError(Text(text));
        }
    }
    if (pos == digitsStart) {
        throw ConversionError(Text(text));
    }

    std::int64_t value = magnitude;
    if (hex && value > std::numeric_limits<std::int32_t>::max()) {
        value -= 0x100000000LL;  // 80000000 … FFFFFFFF are negative
    }
    if (negative) {
        value = -value;
    }
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw ConversionError(Text(text));
    }
    return static_cast<std::int32_t>(value);
}

Text IntToStr(std::int32_t value) {
    return std::to_string(value);
}

}  // namespace jnx
