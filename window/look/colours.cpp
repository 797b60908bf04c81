#include "look/colours.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "enum_tables.h"

namespace jnx {

namespace {

// Where a colour's value comes from: a fixed value, or a colour of the desktop's palette
// that is taken only while it stands far enough from white to be read there, with the
// fixed value in its place otherwise.
struct ColourSource {
    Colour colour;
    QRgb fixed = 0;
    std::optional<QPalette::ColorRole> role{};
    QPalette::ColorGroup group = QPalette::Active;
    double minimumContrast = 0;  // against white
};

// The classic Windows scheme's grey, for the colours Qt's palette does not have.
constexpr QRgb kClassicGrey = qRgb(212, 208, 200);

constexpr auto kColourSources = std::to_array<ColourSource>({
    {.colour = Colour::White, .fixed = qRgb(255, 255, 255)},
    {.colour = Colour::Black, .fixed = qRgb(0, 0, 0)},
    {.colour = Colour::Red, .fixed = qRgb(255, 0, 0)},
    {.colour = Colour::Blue, .fixed = qRgb(0, 0, 255)},
    {.colour = Colour::Green, .fixed = qRgb(0, 128, 0)},
    {.colour = Colour::Yellow, .fixed = qRgb(255, 255, 0)},
    {.colour = Colour::Orange, .fixed = qRgb(255, 127, 0)},
    {.colour = Colour::Pink, .fixed = qRgb(255, 160, 192)},
    {.colour = Colour::BtnFace, .role = QPalette::Button},
    {.colour = Colour::BtnText, .role = QPalette::ButtonText},
    {.colour = Colour::WindowText, .role = QPalette::WindowText},
    {.colour = Colour::InfoBk, .role = QPalette::ToolTipBase},
    {.colour = Colour::InactiveCaptionText, .fixed = kClassicGrey},
    {.colour = Colour::ScrollBar, .fixed = kClassicGrey},
    // Dimmed, yet readable on white: at least 3:1, or the classic scheme's grey text.
    {.colour = Colour::GrayText,
     .fixed = qRgb(128, 128, 128),
     .role = QPalette::Text,
     .group = QPalette::Disabled,
     .minimumContrast = 3.0},
});

static_assert(InEnumOrder(kColourSources, &ColourSource::colour),
              "one source a colour, in the order of Colour");

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
    const ColourSource& source = kColourSources.at(static_cast<std::size_t>(colour));
    if (source.role) {
        const QColor value = palette.color(source.group, *source.role);
        if (ContrastRatio(value, Qt::white) >= source.minimumContrast) {
            return value;
        }
    }
    return {source.fixed};
}

}  // namespace jnx
