#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <array>

#include "controls/text_controls.h"
#include "controls/up_down.h"
#include "window_layout.h"

namespace jnx {

// The controls of one group row, one a column, each named as the window names it (Type1 …
// Type12, Ud1, Ud101 …). The row shows one group; which one is the page transfer's
// business, and which control shows which value is the field bindings'.
class RowControls {
public:
    // Builds row `row` (1 … 12) inside `parent` from the column table: names, places,
    // colours, fonts and start texts.
    RowControls(QWidget* parent, int row);
    RowControls() = default;

    [[nodiscard]] QFrame* panel() const { return panel_; }
    [[nodiscard]] QWidget* widget(layout::Column column) const {
        return controls_.at(static_cast<std::size_t>(column));
    }

    // The column's control as what it is; the column must hold one of that kind.
    [[nodiscard]] QLabel* label() const { return as<QLabel>(layout::Column::Gr); }
    [[nodiscard]] QCheckBox* check() const { return as<QCheckBox>(layout::Column::Act); }
    // Type, Bb.
    [[nodiscard]] Cp932ComboBox* list(layout::Column column) const {
        return as<Cp932ComboBox>(column);
    }
    // Ud (popularity), MaxStepSpin (maximum step).
    [[nodiscard]] UpDown* spin(layout::Column column) const { return as<UpDown>(column); }
    // Race, Step, Total, Bet, Odd, Plus, Skip, mOdd, PN.
    [[nodiscard]] Cp932LineEdit* text(layout::Column column) const {
        return as<Cp932LineEdit>(column);
    }
    // Any edit box: the text boxes, the spins' boxes Nk and mStep, and the two blank ones.
    [[nodiscard]] LineEdit* edit(layout::Column column) const { return as<LineEdit>(column); }

private:
    template <typename Control>
    [[nodiscard]] Control* as(layout::Column column) const {
        auto* control = qobject_cast<Control*>(widget(column));
        Q_ASSERT(control != nullptr);
        return control;
    }

    QFrame* panel_ = nullptr;
    std::array<QWidget*, static_cast<std::size_t>(layout::Column::Count)> controls_{};
};

}  // namespace jnx
