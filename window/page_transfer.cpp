#include "page_transfer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <exception>
#include <utility>

#include "controls/cp932_text.h"
#include "errors.h"
#include "int_conversion.h"
#include "tables.h"

namespace jnx {

namespace {

constexpr int kRowsPerPage = layout::kRowCount;

// The control the user edits the binding's value in; for a spin, its edit box.
QWidget* EditedControl(const RowControls& row, const FieldBinding& binding) {
    if (binding.kind == ControlKind::Spin) {
        return row.spin(binding.column)->buddy();
    }
    return row.widget(binding.column);
}

// The binding of a group's value: its active flag or one of its fields.
const FieldBinding& BindingOf(const ModelPlace& place) {
    return place.kind == ModelPlace::Kind::Active ? kActiveBinding : BindingOfField(place.field);
}

// The key of a group's value a binding shows.
ModelPlace PlaceOf(std::size_t group, const FieldBinding& binding) {
    if (!binding.field) {
        return {ModelPlace::Kind::Active, group, 0};
    }
    return {ModelPlace::Kind::Field, group, *binding.field};
}

}  // namespace

PageTransfer::PageTransfer(SettingsModel& model, PageControls controls, EditedHandler edited)
    : model_(model), controls_(controls), edited_(std::move(edited)) {
    NamePageButtons(controls_.buttons, currentPage_);
    watchEdits();
}

void PageTransfer::watchEdits() {
    // Only signals that the user's own input emits: a fill never reports an edit.
    for (std::size_t r = 0; r < controls_.rows->size(); ++r) {
        const RowControls& row = (*controls_.rows)[r];
        for (const FieldBinding& binding : kFieldBindings) {
            const auto report = [this, r, &binding] { edited_(PlaceOf(groupOfRow(r), binding)); };
            switch (binding.kind) {
                case ControlKind::Check:
                    QObject::connect(row.check(), &QAbstractButton::clicked, row.check(), report);
                    break;
                case ControlKind::Text: {
                    Cp932LineEdit* text = row.text(binding.column);
                    QObject::connect(text, &QLineEdit::textEdited, text, report);
                    break;
                }
                case ControlKind::List: {
                    Cp932ComboBox* list = row.list(binding.column);
                    QObject::connect(list, &QComboBox::activated, list, report);
                    QObject::connect(list->lineEdit(), &QLineEdit::textEdited, list, report);
                    break;
                }
                case ControlKind::Spin: {
                    UpDown* spin = row.spin(binding.column);
                    QObject::connect(spin, &UpDown::edited, spin, report);
                    break;
                }
            }
        }
    }
    const auto reportOf = [this](ModelPlace::Kind kind) {
        return [this, kind] { edited_({kind, 0, 0}); };
    };
    QObject::connect(controls_.Edit2, &QLineEdit::textEdited, controls_.Edit2,
                     reportOf(ModelPlace::Kind::BetAutoRead));
    QObject::connect(controls_.Edit3, &QLineEdit::textEdited, controls_.Edit3,
                     reportOf(ModelPlace::Kind::PatData));
    QObject::connect(controls_.CheckBox1, &QAbstractButton::clicked, controls_.CheckBox1,
                     reportOf(ModelPlace::Kind::Pause));
}

void PageTransfer::fill(std::size_t row, const FieldBinding& binding,
                        std::exception_ptr& firstError) {
    const RowControls& controls = (*controls_.rows)[row];
    const GroupSettings& group = model_.group(groupOfRow(row));
    switch (binding.kind) {
        case ControlKind::Check:
            controls.check()->setChecked(group.active);
            return;
        case ControlKind::Text:
            controls.text(binding.column)->setBytes(group.fields.at(*binding.field));
            return;
        case ControlKind::List:
            controls.list(binding.column)->setBytes(group.fields.at(*binding.field));
            return;
        case ControlKind::Spin: {
            const Text& text = group.fields.at(*binding.field);
            try {
                controls.spin(binding.column)->setPosition(StrToInt(text));
            } catch (const ConversionError&) {
                // Until the user gives the spin a number, MemoryPage stores the group's own
                // text.
                controls.spin(binding.column)->showText(DecodeCp932(text));
                if (!firstError) {
                    firstError = std::current_exception();
                }
            }
            return;
        }
    }
}

void PageTransfer::store(std::size_t row, const FieldBinding& binding) {
    const RowControls& controls = (*controls_.rows)[row];
    GroupSettings& group = model_.group(groupOfRow(row));
    switch (binding.kind) {
        case ControlKind::Check:
            group.active = controls.check()->isChecked();
            return;
        case ControlKind::Text:
            group.fields.at(*binding.field) = controls.text(binding.column)->bytes();
            return;
        case ControlKind::List:
            group.fields.at(*binding.field) = controls.list(binding.column)->bytes();
            return;
        case ControlKind::Spin:
            if (const UpDown* spin = controls.spin(binding.column); spin->hasPosition()) {
                group.fields.at(*binding.field) = IntToStr(spin->position());
            }
            return;
    }
}

void PageTransfer::fillPlace(const ModelPlace& place, std::exception_ptr& firstError) {
    switch (place.kind) {
        case ModelPlace::Kind::Active:
        case ModelPlace::Kind::Field:
            if (const auto row = rowOfGroup(place.group)) {
                fill(*row, BindingOf(place), firstError);
            }
            return;
        case ModelPlace::Kind::BetAutoRead:
            controls_.Edit2->setBytes(model_.betAutoReadFolder);
            return;
        case ModelPlace::Kind::PatData:
            controls_.Edit3->setBytes(model_.patFolder);
            return;
        case ModelPlace::Kind::Pause:
            controls_.CheckBox1->setChecked(model_.pauseText == kTrueText);
            return;
    }
}

void PageTransfer::UpDatePage(FillErrors errors) {
    pageOffset_ = (currentPage_ - 1) * kRowsPerPage;
    NamePageButtons(controls_.buttons, currentPage_);
    std::exception_ptr firstError;
    for (std::size_t r = 0; r < controls_.rows->size(); ++r) {
        const std::size_t g = groupOfRow(r);
        (*controls_.rows)[r].label()->setText(DecodeCp932(GroupName.at(g)));
        NameRow((*controls_.rows)[r], g);
        for (const FieldBinding& binding : kFieldBindings) {
            fill(r, binding, firstError);
        }
    }
    for (const ModelPlace::Kind kind :
         {ModelPlace::Kind::BetAutoRead, ModelPlace::Kind::PatData, ModelPlace::Kind::Pause}) {
        fillPlace({kind, 0, 0}, firstError);
    }
    if (firstError && errors == FillErrors::Raise) {
        std::rethrow_exception(firstError);
    }
}

void PageTransfer::MemoryPage() {
    pageOffset_ = (currentPage_ - 1) * kRowsPerPage;
    for (std::size_t r = 0; r < controls_.rows->size(); ++r) {
        for (const FieldBinding& binding : kFieldBindings) {
            store(r, binding);
        }
    }
    model_.betAutoReadFolder = controls_.Edit2->bytes();
    model_.patFolder = controls_.Edit3->bytes();
    model_.pauseText = controls_.CheckBox1->isChecked() ? kTrueText : kFalseText;
    currentPage_ = requestedPage_;
}

std::size_t PageTransfer::groupOfRow(std::size_t row) const {
    return static_cast<std::size_t>(pageOffset_) + row;
}

void PageTransfer::start() {
    currentPage_ = 1;
    requestedPage_ = 1;
    UpDatePage();
}

void PageTransfer::switchTo(int page) {
    requestedPage_ = page;
    MemoryPage();
    UpDatePage();
}

void PageTransfer::redisplay() {
    switchTo(currentPage_);
}

void PageTransfer::storeShownPage() {
    requestedPage_ = currentPage_;
    MemoryPage();
}

std::optional<std::size_t> PageTransfer::rowOfGroup(std::size_t g) const {
    const auto first = static_cast<std::size_t>(pageOffset_);
    if (g < first || g - first >= controls_.rows->size()) {
        return std::nullopt;
    }
    return g - first;
}

QWidget* PageTransfer::controlOf(const ModelPlace& place) const {
    switch (place.kind) {
        case ModelPlace::Kind::Active:
        case ModelPlace::Kind::Field: {
            const std::optional<std::size_t> row = rowOfGroup(place.group);
            if (!row) {
                return nullptr;
            }
            return EditedControl((*controls_.rows)[*row], BindingOf(place));
        }
        case ModelPlace::Kind::BetAutoRead:
            return controls_.Edit2;
        case ModelPlace::Kind::PatData:
            return controls_.Edit3;
        case ModelPlace::Kind::Pause:
            return controls_.CheckBox1;
    }
    return nullptr;
}

bool PageTransfer::isBusy(const ModelPlace& place) const {
    const QWidget* control = controlOf(place);
    if (control == nullptr) {
        return false;
    }
    // The window's focus widget, kept while another program's window is active.
    const QWidget* focus = control->window()->focusWidget();
    if (focus != nullptr && (focus == control || control->isAncestorOf(focus))) {
        return true;
    }
    const auto* combo = qobject_cast<const QComboBox*>(control);
    return combo != nullptr && combo->view()->isVisible();
}

void PageTransfer::showTaken(const std::vector<ModelPlace>& places) {
    std::exception_ptr ignored;  // shown as text, reported to nobody
    for (const ModelPlace& place : places) {
        fillPlace(place, ignored);
    }
}

}  // namespace jnx
