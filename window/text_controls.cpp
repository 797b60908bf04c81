#include "text_controls.h"

#include <QCompleter>
#include <QWheelEvent>
#include <utility>

#include "cp932_text.h"

namespace jnx {

Cp932LineEdit::Cp932LineEdit(QWidget* parent) : QLineEdit(parent) {
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

Cp932ComboBox::Cp932ComboBox(const std::vector<std::string_view>& items, QWidget* parent)
    : QComboBox(parent), edit_(new Cp932LineEdit(this)) {
    setEditable(true);
    setLineEdit(edit_);
    setInsertPolicy(QComboBox::NoInsert);
    for (const std::string_view item : items) {
        addItem(DecodeCp932(item));
    }
    // The inline completion of the items, case-insensitive, as the users' combo boxes do.
    auto* completer = new QCompleter(model(), this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionMode(QCompleter::InlineCompletion);
    edit_->setCompleter(completer);
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
