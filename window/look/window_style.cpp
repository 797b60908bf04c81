#include "look/window_style.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStringList>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>
#include <algorithm>
#include <array>
#include <optional>

#include "controls/cp932_text.h"
#include "look/colours.h"
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

// An icon of a style, looked up when it is first drawn or measured. The menu bar asks for
// the icon of its extension button (shown only when the menus do not fit the bar, which in
// this window they always do) as it is made, and the lookup loads every image format
// plug-in to read the icon's files: a good part of the window's start for an icon that
// is never seen.
class DeferredStyleIcon : public QIconEngine {
public:
    DeferredStyleIcon(QStyle* style, QStyle::StandardPixmap which) : style_(style), which_(which) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    // The styles' standard icons all have pictures; answering so sizes the button without
    // a lookup.
    bool isNull() override { return false; }
    [[nodiscard]] QIconEngine* clone() const override {
        return new DeferredStyleIcon(style_, which_);
    }

private:
    const QIcon& icon() {
        if (!icon_ && style_) {
            icon_ = style_->standardIcon(which_);
        }
        if (!icon_) {
            icon_ = QIcon();  // the style is gone: nothing to draw
        }
        return *icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    std::optional<QIcon> icon_;
};

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

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton ||
            which == SP_ToolBarVerticalExtensionButton) {
            return QIcon(new DeferredStyleIcon(baseStyle(), which));
        }
        return QProxyStyle::standardIcon(which, option, widget);
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
