// The input as an integer text for StrToInt. A result must survive IntToStr and back and
// agree with a plain reading of the accepted forms; a ConversionError must name the text;
// any other exception is a fault.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "errors.h"
#include "int_conversion.h"

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "int_conversion_fuzzer: %s\n", what);
        std::abort();
    }
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// What the text should give, read from the accepted forms as documented: spaces, a sign,
// then decimal digits, or hexadecimal ones after "$", "x", "X", "0x" or "0X" taken as a
// 32-bit two's-complement value, which a "-" negates (so "-$FFFFFFFF" is 1, and
// "-$80000000", 2147483648, is out of range). None: the text must be refused.
std::optional<std::int32_t> Expected(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) {
            hex = true;
            text.remove_prefix(prefix.size());
            break;
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t magnitude = 0;
    for (const char c : text) {
        const int digit = DigitValue(c, hex);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > 0xFFFFFFFFLL) {
            return std::nullopt;
        }
    }
    std::int64_t value = hex && magnitude > 0x7FFFFFFF ? magnitude - 0x100000000LL : magnitude;
    if (negative) {
        value = -value;
    }
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto expected = Expected(text);
    try {
        const std::int32_t value = jnx::StrToInt(text);
        Require(expected.has_value(), "a text outside the accepted forms was converted");
        Require(*expected == value, "wrong value");
        Require(jnx::StrToInt(jnx::IntToStr(value)) == value, "IntToStr does not read back");
    } catch (const jnx::ConversionError& error) {
        Require(!expected.has_value(), "a text of an accepted form was refused");
        Require(error.message().find(text) != jnx::Text::npos,
                "the ConversionError message does not name the text");
    } catch (...) {
        Require(false, "StrToInt threw something other than ConversionError");
    }
    return 0;
}
