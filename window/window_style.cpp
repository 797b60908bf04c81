#include "window_style.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QWidget>

#include "window_layout.h"

namespace jnx {

namespace {

template <std::size_t N>
QFont FontOf(const std::array<std::string_view, N>& families, int pixelHeight) {
    QStringList names;
    for (const std::string_view family : families) {
        names.append(Utf8(family));
    }
    QFont font;
    font.setFamilies(names);
    font.setPixelSize(pixelHeight);
    return font;
}

}  // namespace

void UseWindowLook() {
    QApplication::setStyle(QStringLiteral("Fusion"));
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont WindowFont(int pixelHeight) {
    return FontOf(layout::kProportionalFonts, pixelHeight);
}

QFont FixedFont(int pixelHeight) {
    return FontOf(layout::kFixedFonts, pixelHeight);
}

void SetBackground(QWidget* widget, Colour colour) {
    const QColor value = ColourOf(colour, QGuiApplication::palette());
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        palette.setColor(role, value);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetFontColour(QWidget* widget, Colour colour) {
    const QColor value = ColourOf(colour, QGuiApplication::palette());
    QPalette palette = widget->palette();
    // A disabled control keeps the desktop's grey text, whatever its own font colour.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (const QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            palette.setColor(group, role, value);
        }
    }
    widget->setPalette(palette);
}

}  // namespace jnx
