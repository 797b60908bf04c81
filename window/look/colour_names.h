#pragma once

#include <cstddef>

namespace jnx {

// The window's colours by their names. The first eight are fixed; the others follow the
// desktop's colour scheme, or the classic Windows scheme where Qt has no such colour
// (colours.h gives their values).
enum class Colour : std::size_t {
    White,
    Black,
    Red,
    Blue,
    Green,
    Yellow,
    Orange,  // RGB (255, 127, 0)
    Pink,    // RGB (255, 160, 192)
    BtnFace,
    BtnText,
    WindowText,
    InfoBk,
    InactiveCaptionText,
    ScrollBar,
    GrayText,
    Count,  // the number of colours, not a colour
};

}  // namespace jnx
