#include "cp932.h"

namespace jnx::cp932 {

std::size_t FindLastChar(std::string_view text, char ch) {
    std::size_t found = std::string_view::npos;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (text[pos] == ch && CharLength(text, pos) == 1) {
            found = pos;
        }
    }
    return found;
}

bool EndsWithChar(std::string_view text, char ch) {
    std::size_t pos = FindLastChar(text, ch);
    return pos != std::string_view::npos && pos + 1 == text.size();
}

}  // namespace jnx::cp932
