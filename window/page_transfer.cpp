#include "page_transfer.h"

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

}  // namespace

PageTransfer::PageTransfer(SettingsModel& model, PageControls controls)
    : model_(model), controls_(controls) {
    for (std::size_t r = 0; r < controls_.rows->size(); ++r) {
        for (std::size_t spin = 0; spin < kSpinCount; ++spin) {
            UpDown* control = SpinOf((*controls_.rows)[r], spin);
            QObject::connect(control, &UpDown::userChanged, control,
                             [this, r, spin] { unfilled_[r][spin] = false; });
        }
    }
}

void PageTransfer::fillSpin(std::size_t row, Spin spin, const Text& text,
                            std::exception_ptr& firstError) {
    UpDown* control = SpinOf((*controls_.rows)[row], spin);
    try {
        control->setPosition(StrToInt(text));
    } catch (const ConversionError&) {
        unfilled_[row][spin] = true;
        control->buddy()->setText(DecodeCp932(text));
        if (!firstError) {
            firstError = std::current_exception();
        }
    }
}

void PageTransfer::UpDatePage(FillErrors errors) {
    pageOffset_ = (currentPage_ - 1) * kRowsPerPage;
    unfilled_ = {};
    std::exception_ptr firstError;
    for (std::size_t r = 0; r < controls_.rows->size(); ++r) {
        RowControls& row = (*controls_.rows)[r];
        const std::size_t g = groupOfRow(r);
        const GroupSettings& group = model_.group(g);
        const auto& f = group.fields;
        row.Gr->setText(DecodeCp932(GroupName.at(g)));
        row.Act->setChecked(group.active);
        row.Type->setBytes(f[kTypeField]);
        fillSpin(r, kPopularitySpin, f[kPopularityField], firstError);
        row.Bb->setBytes(f[kCourseField]);
        fillSpin(r, kMaxStepSpin, f[kMaxStepField], firstError);
        for (const layout::ColumnLayout& place : layout::kColumns) {
            if (place.field) {
                row.textBox(place.column)->setBytes(f[*place.field]);
            }
        }
    }
    controls_.Edit2->setBytes(model_.betAutoReadFolder);
    controls_.Edit3->setBytes(model_.patFolder);
    controls_.CheckBox1->setChecked(model_.pauseText == kTrueText);
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
        if (!unfilled_[r][kPopularitySpin]) {
            f[kPopularityField] = IntToStr(row.Ud->position());
        }
        f[kCourseField] = row.Bb->bytes();
        if (!unfilled_[r][kMaxStepSpin]) {
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

}  // namespace jnx
