// Writes the program's icon: for a name ending in ".ico", the Windows icon file with every
// size of it, for the executable's resources; otherwise a PNG file of the icon drawn at SIZE
// pixels, for the desktop's icon theme. SIZE must be one of the sizes the icon is drawn at
// (jnx::kAppIconSizes), so that the build cannot install a size the window never shows.
//   write_icon FILE.ico
//   write_icon FILE.png SIZE

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "look/app_icon.h"

namespace {

// The drawn size that the whole of text names, or 0.
int DrawnSize(const char* text) {
    int size = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, size);
    if (error != std::errc() || stop != end ||
        std::find(jnx::kAppIconSizes.begin(), jnx::kAppIconSizes.end(), size) ==
            jnx::kAppIconSizes.end()) {
        return 0;
    }
    return size;
}

int Usage() {
    std::fputs("usage: write_icon FILE.ico\n       write_icon FILE.png SIZE\n", stderr);
    std::fputs("SIZE: one of", stderr);
    for (const int size : jnx::kAppIconSizes) {
        std::fprintf(stderr, " %d", size);
    }
    std::fputs("\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || argv[1][0] == '\0') {
        return Usage();
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    const bool windowsIcon = name.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive);
    if (argc != (windowsIcon ? 2 : 3)) {
        return Usage();
    }
    bool written = false;
    if (windowsIcon) {
        QFile file(name);
        const QByteArray bytes = jnx::AppIconFile();
        written =
            file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    } else {
        const int size = DrawnSize(argv[2]);
        if (size == 0) {
            std::fprintf(stderr, "write_icon: the icon is not drawn at \"%s\" pixels\n", argv[2]);
            return Usage();
        }
        written = jnx::AppIconImage(size).save(name, "PNG");
    }
    if (!written) {
        std::fprintf(stderr, "write_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
