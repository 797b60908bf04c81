#include "colours.h"

namespace jnx {

QColor ColourOf(Colour colour, const QPalette& palette) {
    switch (colour) {
        case Colour::White:
            return {255, 255, 255};
        case Colour::Black:
            return {0, 0, 0};
        case Colour::Red:
            return {255, 0, 0};
        case Colour::Blue:
            return {0, 0, 255};
        case Colour::Green:
            return {0, 128, 0};
        case Colour::Yellow:
            return {255, 255, 0};
        case Colour::Orange:
            return {255, 127, 0};
        case Colour::Pink:
            return {255, 160, 192};
        case Colour::BtnFace:
            return palette.color(QPalette::Active, QPalette::Button);
        case Colour::BtnText:
            return palette.color(QPalette::Active, QPalette::ButtonText);
        case Colour::WindowText:
            return palette.color(QPalette::Active, QPalette::WindowText);
        case Colour::InfoBk:
            return palette.color(QPalette::Active, QPalette::ToolTipBase);
        case Colour::GrayText:
            return palette.color(QPalette::Disabled, QPalette::Text);
        case Colour::InactiveCaptionText:
        case Colour::ScrollBar:
            // Qt's palette has neither; the classic Windows scheme's grey.
            return {212, 208, 200};
    }
    return {};
}

}  // namespace jnx
