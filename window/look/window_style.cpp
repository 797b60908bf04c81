#include "window_style.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStringList>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>
#include <algorithm>
#include <array>

#include "colours.h"
#include "cp932_text.h"
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

// Fusion, but for the check box's indicator: Fusion fills it with the box's own base
// colour and frames it in a shade of the colour around it, which on the yellow panels is
// a yellow box in a faint frame.
class WindowLook : public QProxyStyle {
public:
    WindowLook() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const bool enabled = (option->state & State_Enabled) != 0;
        const bool pressed = (option->state & State_Sunken) != 0;
        const QRect box = option->rect.adjusted(0, 0, -1, -1);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(kIndicatorFrame);
        painter->setBrush(enabled && !pressed ? QColor(Qt::white) : kIndicatorDimmed);
        painter->drawRect(box);
        const QColor mark = enabled ? QColor(Qt::black) : kIndicatorFrame;
        if (option->state & State_On) {
            // A tick, as thick as the box allows.
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->setPen(QPen(mark, std::max(1.5, box.width() / 6.0), Qt::SolidLine,
                                 Qt::SquareCap, Qt::MiterJoin));
            painter->setBrush(Qt::NoBrush);
            const QRectF inner = QRectF(box).adjusted(3, 3, -3, -3);
            const std::array<QPointF, 3> tick = {
                QPointF(inner.left(), inner.top() + inner.height() * 0.5),
                QPointF(inner.left() + inner.width() * 0.4, inner.bottom()),
                QPointF(inner.right(), inner.top())};
            painter->drawPolyline(tick.data(), static_cast<int>(tick.size()));
        } else if (option->state & State_NoChange) {
            painter->fillRect(box.adjusted(3, 3, -2, -2), mark);
        }
        painter->restore();
    }

private:
    static constexpr QColor kIndicatorFrame{64, 64, 64};
    static constexpr QColor kIndicatorDimmed{212, 208, 200};
};

}  // namespace

// The application takes the style and deletes it when it ends.
// NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
void UseWindowLook() {
    QApplication::setStyle(new WindowLook);
}
// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

QFont FittedFont(QFont font, const QString& text, int width) {
    const int natural = QFontMetrics(font).horizontalAdvance(text);
    if (natural <= width || natural <= 0) {
        return font;
    }
    // Rendering rounds each glyph, so the first guess may still be a pixel too wide.
    for (int stretch = width * 100 / natural; stretch > 1; --stretch) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(text) <= width) {
            break;
        }
    }
    return font;
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
