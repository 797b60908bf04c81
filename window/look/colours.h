#pragma once

#include <QColor>
#include <QPalette>

namespace jnx {

// The window's colours by their names. The first eight are fixed; the others follow the
// desktop's colour scheme through the palette, or the classic Windows scheme where Qt
// has no such palette colour.
enum class Colour {
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
};

QColor ColourOf(Colour colour, const QPalette& palette);

// How far apart two colours stand for the eye: 1 (the same) to 21 (black on white), by
// their relative luminance as the accessibility guidelines measure it.
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace jnx
