#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <array>

namespace jnx {

// The sizes the program's icon is drawn at, in pixels, smallest first: 16 and 24 for the
// title bar and small lists, 32 and 48 for the taskbar and the desktop, 256 for Explorer's
// large views.
inline constexpr std::array<int, 5> kAppIconSizes = {16, 24, 32, 48, 256};

// The program's icon, a settings sheet with its corner folded over and five coloured group
// labels, drawn at each of kAppIconSizes.
QIcon AppIcon();

// The icon drawn at size × size pixels. Below 64 pixels it is drawn pixel by pixel in its
// nine colours (black, white, silver, grey, red, blue, yellow, green, and transparent), its
// edges on whole pixels; larger, smoothly, with outlines of a weight to suit.
QImage AppIconImage(int size);

// The icon as a Windows icon file, for the executable's resources: one image of each of
// kAppIconSizes, the 256-pixel one as PNG, the others as 32-bit bitmaps with their mask.
QByteArray AppIconFile();

}  // namespace jnx
