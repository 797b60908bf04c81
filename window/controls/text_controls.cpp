#include "controls/text_controls.h"

#include <QCompleter>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "controls/combo_accessible.h"
#include "controls/cp932_text.h"

namespace jnx {

namespace {

// Whether the key press would type its character although Alt or Ctrl is held: such a
// chord is a command the window did not take, never text.
bool IsChordTyping(const QKeyEvent& event) {
    constexpr Qt::KeyboardModifiers kChord =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!(event.modifiers() & kChord)) {
        return false;
    }
    const QString text = event.text();
    if (text.isEmpty() || !text.at(0).isPrint()) {
        return false;  // nothing to type: Ctrl+C and its like carry a control character
    }
    // Where a chord carries its letter (Qt's test events do), an editing shortcut still
    // reaches the box.
    for (int key = QKeySequence::HelpContents; key <= QKeySequence::Deselect; ++key) {
        if (event.matches(static_cast<QKeySequence::StandardKey>(key))) {
            return false;
        }
    }
    return true;
}

// The key and its modifiers, the keypad's left out.
QKeyCombination ChordOf(const QKeyEvent& event) {
    return QKeyCombination(event.modifiers() & ~Qt::KeypadModifier,
                           static_cast<Qt::Key>(event.key()));
}

// Chords that Qt's edit box takes on Linux desktops, after Emacs and X11, and an edit box
// on Windows does not: delete the next character, to the end, the whole line; move to the
// end; paste the mouse's selection. A box lets them pass, as a command of the window.
constexpr std::array<QKeyCombination, 5> kLinuxOnlyChords = {{
    Qt::ControlModifier | Qt::Key_D,
    Qt::ControlModifier | Qt::Key_K,
    Qt::ControlModifier | Qt::Key_U,
    Qt::ControlModifier | Qt::Key_E,
    Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_Insert,
}};

// Chords with which an edit box on Windows undoes or redoes and Qt's edit box on Linux
// does not (Alt+Backspace would delete a character there).
struct HistoryChord {
    QKeyCombination chord;
    bool redo;
};
constexpr std::array<HistoryChord, 3> kWindowsHistoryChords = {{
    {Qt::ControlModifier | Qt::Key_Y, true},
    {Qt::AltModifier | Qt::Key_Backspace, false},
    {Qt::AltModifier | Qt::ShiftModifier | Qt::Key_Backspace, true},
}};

}  // namespace

LineEdit::LineEdit(QWidget* parent) : QLineEdit(parent) {
    // No length limit: Qt's default of 32767 characters would cut a longer text short.
    setMaxLength(std::numeric_limits<int>::max());
}

void LineEdit::keyPressEvent(QKeyEvent* event) {
    // The same chords edit on every system, as they do in an edit box on Windows.
    const QKeyCombination chord = ChordOf(*event);
    if (std::find(kLinuxOnlyChords.begin(), kLinuxOnlyChords.end(), chord) !=
        kLinuxOnlyChords.end()) {
        event->ignore();
        return;
    }
    for (const HistoryChord& history : kWindowsHistoryChords) {
        if (history.chord == chord) {
            if (!isReadOnly()) {
                history.redo ? redo() : undo();
            }
            return;
        }
    }
    if (IsChordTyping(*event)) {
        event->ignore();  // let the window have it; a box takes no text from it
        return;
    }
    QLineEdit::keyPressEvent(event);
}

Cp932LineEdit::Cp932LineEdit(QWidget* parent) : LineEdit(parent) {
    setValidator(new Cp932Validator(this));
}

void Cp932LineEdit::setBytes(std::string bytes) {
    filledText_ = DecodeCp932(bytes);
    filledBytes_ = std::move(bytes);
    setText(filledText_);
}

std::string Cp932LineEdit::bytes() const {
    const QString shown = text();
    if (shown == filledText_) {
        return filledBytes_;
    }
    // The validator lets in only what encodes, and the combo boxes' items all do.
    return EncodeCp932(shown).value_or(filledBytes_);
}

namespace {

// A completer lent to each box's edit field while the box takes the field: a field
// without one would get a completer of its own (with its own proxy model), built only to
// be thrown away, for each of the window's 24 boxes. The box completes by itself.
QCompleter* LentCompleter() {
    static auto* const completer = new QCompleter(QCoreApplication::instance());
    return completer;
}

}  // namespace

Cp932ComboBox::Cp932ComboBox(const std::vector<std::string_view>& items, QWidget* parent)
    : QComboBox(parent), edit_(new Cp932LineEdit(this)) {
    UseComboAccessible();
    // Giving the box its edit field makes it editable; setEditable() first would build a
    // drop-down list and an edit field only to throw them away, which costs the window's
    // start a tenth of its time.
    edit_->setCompleter(LentCompleter());
    setLineEdit(edit_);
    setInsertPolicy(QComboBox::NoInsert);
    for (const std::string_view item : items) {
        addItem(DecodeCp932(item));
    }
    // Completion is the box's own (below), not Qt's completer.
    edit_->setCompleter(nullptr);
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textEdited, this, &Cp932ComboBox::completeTyped);
}

void Cp932ComboBox::noteInput(const QEvent* event) {
    // Whether the next change of the text is a character typed (by a key or an input
    // method) rather than a deletion, a paste or anything else.
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<const QKeyEvent*>(event)->text();
        typing_ = !text.isEmpty() && text.at(0).isPrint();
    } else if (event->type() == QEvent::InputMethod) {
        typing_ = !static_cast<const QInputMethodEvent*>(event)->commitString().isEmpty();
    }
}

bool Cp932ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        noteInput(event);
    }
    return QComboBox::eventFilter(watched, event);
}

void Cp932ComboBox::keyPressEvent(QKeyEvent* event) {
    // The combo box has the focus and hands its keys to the edit field directly.
    noteInput(event);
    QComboBox::keyPressEvent(event);
}

void Cp932ComboBox::inputMethodEvent(QInputMethodEvent* event) {
    noteInput(event);
    QComboBox::inputMethodEvent(event);
}

void Cp932ComboBox::completeTyped(const QString& text) {
    const bool typed = std::exchange(typing_, false);
    // Only a character typed at the end completes; deleting never re-completes.
    if (!typed || text.isEmpty() || edit_->cursorPosition() != text.size()) {
        return;
    }
    for (int i = 0; i < count(); ++i) {
        const QString item = itemText(i);
        if (item.startsWith(text, Qt::CaseInsensitive)) {
            setCurrentIndex(i);
            edit_->setText(item);
            edit_->setSelection(static_cast<int>(text.size()),
                                static_cast<int>(item.size() - text.size()));
            return;
        }
    }
}

void Cp932ComboBox::setBytes(std::string bytes) {
    setCurrentIndex(findText(DecodeCp932(bytes), Qt::MatchExactly | Qt::MatchCaseSensitive));
    edit_->setBytes(std::move(bytes));
}

std::string Cp932ComboBox::bytes() const {
    return edit_->bytes();
}

void Cp932ComboBox::showPopup() {
    // The list opens on the item the field shows (after typing or completion too).
    const int shown = findText(edit_->text(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (shown >= 0 && shown != currentIndex()) {
        setCurrentIndex(shown);
    }
    QComboBox::showPopup();
}

void Cp932ComboBox::wheelEvent(QWheelEvent* event) {
    // A wheel turned over a box the user is not working in must not change a bet.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

}  // namespace jnx
