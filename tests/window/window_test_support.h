#pragma once

#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qv_env.h"
#include "settings_model.h"
#include "support/test_files.h"

namespace jnx::test {

// A model whose 36 groups all differ, so that a value shown or stored in the wrong group
// is seen: group g has popularity g % 5 + 1, race g + 1, total "T<g>", balance "P<g>" …
SettingsModel DistinctModel();

// A settings file in a folder of its own and the editor's window on it.
class Editor {
public:
    explicit Editor(const std::string& bytes);

    // A window whose model and rows hold the distinct model, as after a load of it.
    static std::unique_ptr<Editor> OnDistinctModel();

    // The file as a load reads it.
    [[nodiscard]] SettingsModel readBack() const;

    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("Jnx.ini")).toStdString();
    std::unique_ptr<TQvEnv> window;
};

// The sample settings file's bytes.
std::string Sample();

// A fresh window showing page 1 of the model, as the start-up leaves it.
std::unique_ptr<TQvEnv> WindowOn(const SettingsModel& model);

// The named control of a window or dialog; fails the test when there is none.
template <typename Widget = QWidget>
Widget* Control(QWidget& window, const QString& name) {
    auto* widget = window.findChild<Widget*>(name);
    if (widget == nullptr) {
        QTest::qFail(qPrintable(QStringLiteral("no control ") + name), __FILE__, __LINE__);
    }
    return widget;
}

// What a control shows: an edit box's text, a list's choice, a check box's "checked" or
// "unchecked", a label's text; nothing for the spin buttons.
QString ShownText(const QWidget* control);

// Types the text character by character, as key presses that carry the character.
void TypeText(QWidget* widget, const QString& text);

// Replaces what an edit box holds as the user does: select all, then type.
void TypeInto(QWidget* edit, const QString& text);

// A message box as the user saw it.
struct ShownBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::TextFormat format = Qt::AutoText;
};

// Runs the action and answers every message box it opens with its default button (OK),
// as a user would; gives back what the boxes showed, in order.
std::vector<ShownBox> AnswerBoxes(const std::function<void()>& action);

// Shows page `page` (1 … 3) as the user does: clicks the button named "page1" … and
// answers the error box the click may open; the test fails when there is none such
// button or a box opened.
void ClickPage(QWidget& window, int page);

// The group names the twelve rows show.
QString Captions(TQvEnv& window);

}  // namespace jnx::test
