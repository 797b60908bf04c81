#include "page_transfer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <exception>

#include "cp932_text.h"
#include "errors.h"
#include "int_conversion.h"
#include "tables.h"

namespace jnx {

namespace {

constexpr int kRowsPerPage = layout::kRowCount;

UpDown* SpinOf(const RowControls& row, std::size_t spin) {
    return spin == 0 ? row.Ud : row.maxStep;
}

// The plain text box that shows field k, or null for the fields shown in their own way.
Cp932LineEdit* TextBoxOf(const RowControls& row, std::size_t k) {
    for (const layout::ColumnLayout& place : layout::kColumns) {
        if (place.field == k) {
            return row.textBox(place.column);
        }
    }
    return nullptr;
}

// The control the user edits field k with: a combo box, a spin's edit box or a text box.
QWidget* FieldControl(const RowControls& row, std::size_t k) {
    switch (k) {
        case kTypeField:
            return row.Type;
        case kPopularityField:
            return row.Nk;
        case kCourseField:
            return row.Bb;
        case kMaxStepField:
            return row.mStep;
        default:
            return TextBoxOf(row, k);
    }
}

}  // namespace

PageTransfer::PageTransfer(SettingsModel& model, PageControls controls)
    : model_(model), controls_(controls) {}

void PageTransfer::fillSpin(std::size_t row, Spin spin, const Text& text,
                            std::exception_ptr& firstError) {
    UpDown* control = SpinOf((*controls_.rows)[row], spin);
    try {
        control->setPosition(StrToInt(text));
    } catch (const ConversionError&) {
        // Until the user gives the spin a number, MemoryPage stores the group's own text.
        control->showText(DecodeCp932(text));
        if (!firstError) {
            firstError = std::current_exception();
        }
    }
}

void PageTransfer::fillField(std::size_t row, std::size_t k, std::exception_ptr& firstError) {
    const RowControls& controls = (*controls_.rows)[row];
    const Text& text = model_.group(groupOfRow(row)).fields.at(k);
    switch (k) {
        case kTypeField:
            controls.Type->setBytes(text);
            return;
        case kPopularityField:
            fillSpin(row, kPopularitySpin, text, firstError);
            return;
        case kCourseField:
            controls.Bb->setBytes(text);
            return;
        case kMaxStepField:
            fillSpin(row, kMaxStepSpin, text, firstError);
            return;
        default:
            TextBoxOf(controls, k)->setBytes(text);
    }
}

void PageTransfer::fillPlace(const ModelPlace& place, std::exception_ptr& firstError) {
    switch (place.kind) {
        case ModelPlace::Kind::Active:
            if (const auto row = rowOfGroup(place.group)) {
                (*controls_.rows)[*row].Act->setChecked(model_.group(place.group).active);
            }
            return;
        case ModelPlace::Kind::Field:
            if (const auto row = rowOfGroup(place.group)) {
                fillField(*row, place.field, firstError);
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
    std::exception_ptr firstError;
    for (std::size_t r = 0; r < controls_.rows->size(); ++r) {
        const std::size_t g = groupOfRow(r);
        (*controls_.rows)[r].Gr->setText(DecodeCp932(GroupName.at(g)));
        fillPlace({ModelPlace::Kind::Active, g, 0}, firstError);
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            fillPlace({ModelPlace::Kind::Field, g, k}, firstError);
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
        const RowControls& row = (*controls_.rows)[r];
        GroupSettings& group = model_.group(groupOfRow(r));
        auto& f = group.fields;
        group.active = row.Act->isChecked();
        f[kTypeField] = row.Type->bytes();
        if (row.Ud->hasPosition()) {
            f[kPopularityField] = IntToStr(row.Ud->position());
        }
        f[kCourseField] = row.Bb->bytes();
        if (row.maxStep->hasPosition()) {
            f[kMaxStepField] = IntToStr(row.maxStep->position());
        }
        for (const layout::ColumnLayout& place : layout::kColumns) {
            if (place.field) {
                f[*place.field] = row.textBox(place.column)->bytes();
            }
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

void PageTransfer::Start() {
    currentPage_ = 1;
    requestedPage_ = 1;
    UpDatePage();
}

void PageTransfer::SwitchTo(int page) {
    requestedPage_ = page;
    MemoryPage();
    UpDatePage();
}

void PageTransfer::Redisplay() {
    SwitchTo(currentPage_);
}

void PageTransfer::StoreShownPage() {
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
            const RowControls& controls = (*controls_.rows)[*row];
            return place.kind == ModelPlace::Kind::Active ? controls.Act
                                                          : FieldControl(controls, place.field);
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

void PageTransfer::ShowTaken(const std::vector<ModelPlace>& places) {
    std::exception_ptr ignored;  // shown as text, reported to nobody
    for (const ModelPlace& place : places) {
        fillPlace(place, ignored);
    }
}

}  // namespace jnx
