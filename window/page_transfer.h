#pragma once

#include <QCheckBox>
#include <array>
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "accessible_names.h"
#include "controls/text_controls.h"
#include "field_bindings.h"
#include "row_controls.h"
#include "settings_keys.h"
#include "settings_model.h"

namespace jnx {

// What a page fill does with a value that does not convert: Raise reports it (the user's
// own commands); Keep only shows it as text (a refresh nobody asked for).
enum class FillErrors { Raise, Keep };

// The controls the page transfer fills and reads.
struct PageControls {
    std::array<RowControls, layout::kRowCount>* rows = nullptr;
    Cp932LineEdit* Edit2 = nullptr;
    Cp932LineEdit* Edit3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    // Named and described for the page shown.
    PageButtons buttons;
};

// Maps the twelve rows onto one page of twelve groups and moves values between the rows
// and the settings model. Page 1 holds groups "0" … "B", page 2 "C" … "N", page 3
// "O" … "Z"; row r shows group pageOffset + r − 1. It alone changes the page state.
class PageTransfer {
public:
    // Told of each key whose control the user typed into, chose a value in or clicked,
    // whatever the control then shows (a value typed back to the file's too).
    using EditedHandler = std::function<void(const ModelPlace&)>;

    PageTransfer(SettingsModel& model, PageControls controls, EditedHandler edited);

    // The page the rows show (1 … 3).
    [[nodiscard]] int currentPage() const { return currentPage_; }
    // The group that row 1 shows: 0, 12 or 24.
    [[nodiscard]] int pageOffset() const { return pageOffset_; }
    // The group that row index `row` (0 … 11) shows.
    [[nodiscard]] std::size_t groupOfRow(std::size_t row) const;

    // Shows page 1 of the model, as after the start's load; conversion errors as UpDatePage.
    void start();

    // Model to rows, for the current page. A popularity or maximum step that is not an
    // integer text shows as text in its spin's edit box (UpDown::showText) and the fill
    // goes on with every other control and row; the first such ConversionError is
    // thrown at the end, unless `errors` is Keep.
    void UpDatePage(FillErrors errors = FillErrors::Raise);

    // Stores the rows and shows page `page` (1 … 3), which may be the current one.
    void switchTo(int page);

    // Stores the rows and shows the current page again, after a command changed the rows.
    void redisplay();

    // Stores the rows of the current page, which stays current.
    void storeShownPage();

    // Whether the control that shows the key on the current page is in the user's hands:
    // it has the window's focus (where an input method composes, too) or its list is
    // open. A key the page does not show has no control and is never busy.
    [[nodiscard]] bool isBusy(const ModelPlace& place) const;

    // Shows the model's values of the keys given where the current page shows them, each
    // in its own control and no other; a value that does not convert shows as text, as
    // UpDatePage(FillErrors::Keep) shows it.
    void showTaken(const std::vector<ModelPlace>& places);

private:
    // Tells `edited_` of every edit the user makes in a row or a box, as the key of the
    // group the row shows at the time.
    void watchEdits();

    // Rows to model, for the current page, texts exactly as the controls hold them; then
    // the requested page becomes current. A spin whose fill failed stores its group's own
    // text until the user gives it a number (UpDown::hasPosition).
    void MemoryPage();

    // Fills the row's control of the binding from the row's group.
    void fill(std::size_t row, const FieldBinding& binding, std::exception_ptr& firstError);
    // Stores the row's control of the binding into the row's group.
    void store(std::size_t row, const FieldBinding& binding);
    // Fills the control that shows the key on the current page, if the page shows it.
    void fillPlace(const ModelPlace& place, std::exception_ptr& firstError);
    // The control that shows the key on the current page; null when the page does not.
    [[nodiscard]] QWidget* controlOf(const ModelPlace& place) const;
    // The row that shows group g on the current page, or none.
    [[nodiscard]] std::optional<std::size_t> rowOfGroup(std::size_t g) const;

    SettingsModel& model_;
    PageControls controls_;
    EditedHandler edited_;
    int currentPage_ = 1;
    int requestedPage_ = 1;
    int pageOffset_ = 0;
};

}  // namespace jnx
