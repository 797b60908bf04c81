#pragma once

#include <QFont>
#include <QString>

#include "look/colour_names.h"

class QWidget;

namespace jnx {

// Small helpers that give the window's controls their look.

// Gives the whole application the look the window is drawn for: Qt's Fusion style,
// which honours the window's own colours on every desktop, with check boxes drawn as on
// the users' desktop: a white box in a dark frame, whatever the colour around it.
void UseWindowLook();

// The window's proportional font ("ＭＳ Ｐゴシック" or the nearest one installed) and the
// fixed-pitch one ("ＭＳ ゴシック"), at a character height in pixels.
QFont WindowFont(int pixelHeight);
QFont FixedFont(int pixelHeight);

// The font, condensed (narrower letters, same height) as far as needed for the text to fit
// in `width` pixels; unchanged when it fits already.
QFont FittedFont(QFont font, const QString& text, int width);

// Fills the widget's background (and an edit field's) with the colour.
void SetBackground(QWidget* widget, Colour colour);
// Draws the widget's text in the colour.
void SetFontColour(QWidget* widget, Colour colour);

}  // namespace jnx
