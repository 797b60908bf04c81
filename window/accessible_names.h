#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <cstddef>
#include <string_view>

#include "row_controls.h"

namespace jnx {

// The names and descriptions the window's controls give a screen reader. A control's
// name says what it is, never what it holds: its value is reported as its value.

// Names every control of the row for group g (0 … 35): "グループ 3 Total" …; the group
// label is "グループ 3", a spin's arrows "グループ 3 人気 を増やす" ….
void NameRow(const RowControls& row, std::size_t g);

// The top bar's buttons that depend on the page shown.
struct PageButtons {
    std::array<QPushButton*, 3> pages{};
    QPushButton* totalZero = nullptr;
    QPushButton* balanceZero = nullptr;
};

// Names the page buttons by the groups each page holds and describes which one is shown
// and what the reset buttons zero on page `page` (1 … 3).
void NamePageButtons(const PageButtons& buttons, int page);

// Names a folder's box by the folder's caption and its "参照" button by what it chooses.
void NameFolder(QLineEdit* box, QPushButton* browse, std::string_view caption);

}  // namespace jnx
