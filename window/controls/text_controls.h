#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <string>
#include <string_view>
#include <vector>

namespace jnx {

// An edit box as every box of the window and the folder chooser behaves: no length limit,
// and a key pressed with Alt or Ctrl (other than an editing shortcut such as Ctrl+C or
// Ctrl+A) never types its character, so a mistyped menu mnemonic cannot end up in the
// settings file. The chords that edit are those of an edit box on Windows, on every
// system: Linux's Ctrl+D, Ctrl+K, Ctrl+U and Ctrl+E do nothing, and Ctrl+Y and
// Alt+Backspace redo and undo.
class LineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit LineEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// An edit box for a settings text. It shows the code page 932 bytes it is given and
// gives back exactly those bytes while its text is unchanged, even when they are not
// valid code page 932; text the user changed is encoded to code page 932. Only what can
// be stored can be typed (Cp932Validator).
class Cp932LineEdit : public LineEdit {
    Q_OBJECT
public:
    explicit Cp932LineEdit(QWidget* parent = nullptr);

    void setBytes(std::string bytes);
    [[nodiscard]] std::string bytes() const;

private:
    std::string filledBytes_;
    QString filledText_;
};

// A combo box whose edit field takes any text besides its fixed items. Typing completes
// to the first item that begins with the typed text, letter case ignored; typed texts
// never become items.
class Cp932ComboBox : public QComboBox {
    Q_OBJECT
public:
    // The items are code page 932 texts, listed in the given order.
    Cp932ComboBox(const std::vector<std::string_view>& items, QWidget* parent = nullptr);

    // Shows the text unchanged; when it is one of the items, that item is selected.
    void setBytes(std::string bytes);
    [[nodiscard]] std::string bytes() const;

    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Completes the text the user typed to the first item that begins with it, letter
    // case ignored; the completed tail is selected and the item becomes the current one.
    void completeTyped(const QString& text);
    void noteInput(const QEvent* event);

    Cp932LineEdit* edit_;
    bool typing_ = false;  // the pending change of the text is a typed character
};

}  // namespace jnx
