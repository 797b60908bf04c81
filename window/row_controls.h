#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "text_controls.h"
#include "up_down.h"
#include "window_layout.h"

namespace jnx {

// The controls of one group row, named as the window names them (Type1 … Type12 …).
// The row shows one group; which one is the page transfer's business.
struct RowControls {
    QFrame* panel = nullptr;
    QLabel* Gr = nullptr;
    QCheckBox* Act = nullptr;
    Cp932ComboBox* Type = nullptr;
    LineEdit* Nk = nullptr;  // shows the popularity spin's position
    UpDown* Ud = nullptr;
    Cp932ComboBox* Bb = nullptr;
    Cp932LineEdit* Race = nullptr;  // read-only
    Cp932LineEdit* Step = nullptr;
    Cp932LineEdit* Total = nullptr;
    Cp932LineEdit* Bet = nullptr;
    Cp932LineEdit* Odd = nullptr;
    Cp932LineEdit* Plus = nullptr;
    Cp932LineEdit* Skip = nullptr;
    Cp932LineEdit* mOdd = nullptr;
    LineEdit* mStep = nullptr;  // shows the maximum-step spin's position
    UpDown* maxStep = nullptr;  // Ud101 … Ud112
    Cp932LineEdit* PN = nullptr;
    LineEdit* blankLeft = nullptr;  // never read or written
    LineEdit* blankRight = nullptr;

    [[nodiscard]] QWidget* widget(layout::Column column) const;
    // The column's box when it is a settings text box (Race, Step, Total …), else null.
    [[nodiscard]] Cp932LineEdit* textBox(layout::Column column) const;
};

// Builds row `row` (1 … 12) inside `parent` from the column table: names, places,
// colours, fonts and start texts.
RowControls BuildRow(QWidget* parent, int row);

}  // namespace jnx
