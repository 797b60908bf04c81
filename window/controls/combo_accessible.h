#pragma once

namespace jnx {

// Makes the window's combo boxes tell a screen reader their accessible name as their name
// and their current text as their value. Qt's own combo box interface reports the current
// text as the name on Linux, so a row's bet type box would read "単勝" instead of what it
// is; on Windows it names the box by its accessible name already, and this does nothing.
// Call before the first combo box is shown; later calls do nothing.
void UseComboAccessible();

}  // namespace jnx
