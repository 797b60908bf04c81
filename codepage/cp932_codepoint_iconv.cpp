#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cp932_codepoint.h"

namespace jnx::cp932 {

namespace {

// One conversion direction of glibc's "CP932" converter, which follows the Windows
// mapping (5C is "\", 8160 is U+FF5E). Opened once; the editor has one thread.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (handle_ != invalid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    Converter(Converter&&) = delete;
    Converter& operator=(Converter&&) = delete;

    // Converts the whole input or nothing.
    std::optional<std::string> convert(std::string_view input) {
        if (handle_ == invalid()) {
            return std::nullopt;
        }
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::array<char, 16> output{};
        char* in = const_cast<char*>(input.data());  // iconv's signature; never written
        std::size_t inLeft = input.size();
        char* out = output.data();
        std::size_t outLeft = output.size();
        if (iconv(handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0 || iconv(handle_, nullptr, nullptr, &out, &outLeft) != 0) {
            return std::nullopt;
        }
        return std::string(output.data(), output.size() - outLeft);
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }  // NOLINT
    iconv_t handle_;
};

}  // namespace

std::optional<char32_t> DecodeUnit(std::string_view unit) {
    static Converter decoder("UTF-32LE", "CP932");
    const std::optional<std::string> utf32 = decoder.convert(unit);
    if (!utf32 || utf32->size() != 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = (value << 8U) | static_cast<unsigned char>((*utf32)[i]);
    }
    return static_cast<char32_t>(value);
}

std::optional<std::string> EncodeCodePoint(char32_t codePoint) {
    static Converter encoder("CP932", "UTF-32LE");
    std::array<char, 4> utf32{};
    for (std::size_t i = 0; i < utf32.size(); ++i) {
        utf32[i] = static_cast<char>((static_cast<std::uint32_t>(codePoint) >> (8 * i)) & 0xFFU);
    }
    std::optional<std::string> bytes = encoder.convert(std::string_view(utf32.data(), 4));
    // glibc also takes some characters one way only (U+00A5 to 5C, U+2014 to 815C);
    // those would come back as other characters, so they count as having no form.
    if (!bytes || bytes->empty() || DecodeUnit(*bytes) != codePoint) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace jnx::cp932
