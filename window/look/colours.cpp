#include "colours.h"

#include <algorithm>
#include <cmath>

namespace jnx {

namespace {

// A colour's relative luminance, 0 for black to 1 for white (sRGB).
double Luminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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
        case Colour::GrayText: {
            // Dimmed, yet readable on white: at least 3:1, or the classic scheme's grey.
            const QColor dimmed = palette.color(QPalette::Disabled, QPalette::Text);
            return ContrastRatio(dimmed, Qt::white) >= 3.0 ? dimmed : QColor(128, 128, 128);
        }
        case Colour::InactiveCaptionText:
        case Colour::ScrollBar:
            // Qt's palette has neither; the classic Windows scheme's grey.
            return {212, 208, 200};
    }
    return {};
}

}  // namespace jnx
