#pragma once

#include <QColor>
#include <QPalette>

#include "look/colour_names.h"

namespace jnx {

// The colour's value: a fixed one, or the palette's where the colour follows the desktop.
QColor ColourOf(Colour colour, const QPalette& palette);

// How far apart two colours stand for the eye: 1 (the same) to 21 (black on white), by
// their relative luminance as the accessibility guidelines measure it.
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace jnx
