// Writes the program's icon as a PNG file, for the installation's desktop entry.
//   write_icon FILE

#include <cstdio>

#include "app_icon.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: write_icon FILE\n", stderr);
        return 2;
    }
    if (!jnx::AppIconImage().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "write_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
