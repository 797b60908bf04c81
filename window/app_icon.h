#pragma once

#include <QIcon>

namespace jnx {

// The program's 32 × 32, 16-colour icon: a settings sheet with coloured group labels.
QIcon AppIcon();

}  // namespace jnx
