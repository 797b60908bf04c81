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

}  // namespace jnx::cp932
