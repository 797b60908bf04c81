#include "app_icon.h"

#include <QPixmap>

namespace jnx {

namespace {

// clang-format off
const char* const kIcon[] = {
    "32 32 9 1",
    "  c None",
    "k c #000000",
    "w c #FFFFFF",
    "s c #C0C0C0",
    "e c #808080",
    "r c #FF0000",
    "b c #0000FF",
    "y c #FFFF00",
    "g c #008000",
    "                                ",
    "    kkkkkkkkkkkkkkkkkk          ",
    "    kwwwwwwwwwwwwwwwwkk         ",
    "    kwwwwwwwwwwwwwwwwksk        ",
    "    kwwwwwwwwwwwwwwwwkssk       ",
    "    kwwwwwwwwwwwwwwwwksssk      ",
    "    kwwwwwwwwwwwwwwwwkssssk     ",
    "    kwwwwwwwwwwwwwwwwkkkkkkk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kwwkkkkwwwwwwwwwwwwwwwwk    ",
    "    kwwkkkkwweeeeeeeeeeeewwk    ",
    "    kwwkkkkwwwwwwwwwwwwwwwwk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kwwrrrrwwwwwwwwwwwwwwwwk    ",
    "    kwwrrrrwweeeeeeeeeeeewwk    ",
    "    kwwrrrrwwwwwwwwwwwwwwwwk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kwwbbbbwwwwwwwwwwwwwwwwk    ",
    "    kwwbbbbwweeeeeeeeeeeewwk    ",
    "    kwwbbbbwwwwwwwwwwwwwwwwk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kwwyyyywwwwwwwwwwwwwwwwk    ",
    "    kwwyyyywweeeeeeeeeeeewwk    ",
    "    kwwyyyywwwwwwwwwwwwwwwwk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kwwggggwwwwwwwwwwwwwwwwk    ",
    "    kwwggggwweeeeeeeeeeeewwk    ",
    "    kwwggggwwwwwwwwwwwwwwwwk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kwwwwwwwwwwwwwwwwwwwwwwk    ",
    "    kkkkkkkkkkkkkkkkkkkkkkkk    ",
    "                                "
};
// clang-format on

}  // namespace

QIcon AppIcon() {
    return {QPixmap(kIcon)};
}

QImage AppIconImage() {
    return QImage(kIcon);
}

}  // namespace jnx
