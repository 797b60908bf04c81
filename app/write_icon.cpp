// Writes the program's icon: for a name ending in ".ico", the Windows icon file with every
// size of it, for the executable's resources; otherwise a PNG file of its 32-pixel image,
// for the desktop entry.
//   write_icon FILE

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>

#include "look/app_icon.h"

int main(int argc, char* argv[]) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: write_icon FILE\n", stderr);
        return 2;
    }
    constexpr int kDesktopSize = 32;
    const QString name = QString::fromLocal8Bit(argv[1]);
    bool written = false;
    if (name.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive)) {
        QFile file(name);
        const QByteArray bytes = jnx::AppIconFile();
        written =
            file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    } else {
        written = jnx::AppIconImage(kDesktopSize).save(name, "PNG");
    }
    if (!written) {
        std::fprintf(stderr, "write_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
