#include <windows.h>

#include <array>

#include "cp932_codepoint.h"

namespace jnx::cp932 {

namespace {

constexpr UINT kCodePage = 932;

}  // namespace

std::optional<char32_t> DecodeUnit(std::string_view unit) {
    std::array<wchar_t, 2> wide{};
    const int count = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, unit.data(),
                                          static_cast<int>(unit.size()), wide.data(), 2);
    if (count != 1) {
        return std::nullopt;
    }
    return static_cast<char32_t>(wide[0]);
}

std::optional<std::string> EncodeCodePoint(char32_t codePoint) {
    if (codePoint > 0xFFFF) {
        return std::nullopt;  // code page 932 holds no character outside the first plane
    }
    const auto wide = static_cast<wchar_t>(codePoint);
    std::array<char, 4> bytes{};
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, &usedDefault);
    if (count <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string result(bytes.data(), static_cast<std::size_t>(count));
    // Only exact forms: a character that comes back as another one has none.
    if (DecodeUnit(result) != codePoint) {
        return std::nullopt;
    }
    return result;
}

}  // namespace jnx::cp932
