#pragma once

#include <string>

namespace jnx {

// A text of the settings file or the window: bytes in code page 932 (Shift-JIS),
// compared byte for byte.
using Text = std::string;

}  // namespace jnx
