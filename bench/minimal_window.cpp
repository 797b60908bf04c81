// The smallest program of the editor's kind, to time the editor's start against: one
// window with one label, in the editor's look and font and at its size.

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "controls/cp932_text.h"
#include "look/window_style.h"
#include "window_layout.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    jnx::UseWindowLook();
    QWidget window;
    window.setWindowTitle(jnx::Utf8(jnx::layout::kCaption));
    window.setFont(jnx::WindowFont(jnx::layout::kFontHeight));
    window.resize(jnx::layout::kClientWidth, jnx::layout::kClientHeight);
    // Japanese text, so that the Japanese font is loaded as in the editor.
    auto* label = new QLabel(jnx::Utf8(jnx::layout::kCaption), &window);
    label->move(8, 8);
    label->adjustSize();
    window.show();
    return QApplication::exec();
}
