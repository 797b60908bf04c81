#pragma once

#include <QIcon>
#include <QImage>

namespace jnx {

// The program's 32 × 32, 9-colour icon: a settings sheet with coloured group labels.
QIcon AppIcon();
// The same picture as an image, for the icon file the installation puts beside the
// desktop entry.
QImage AppIconImage();

}  // namespace jnx
