// Writes the program's icon: a PNG file for the desktop entry, or, for a name ending in
// ".ico", a Windows icon file holding the same PNG image for the executable's resources.
//   write_icon FILE

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdio>

#include "app_icon.h"

namespace {

void AppendLittleEndian(QByteArray& bytes, quint32 value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// An icon file with one image stored as PNG, which Windows reads since Vista: the header
// (reserved 0, type 1 = icon, one image), one directory entry, then the PNG bytes.
QByteArray IconFile(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    constexpr quint32 kHeaderSize = 6;
    constexpr quint32 kEntrySize = 16;
    QByteArray bytes;
    AppendLittleEndian(bytes, 0, 2);
    AppendLittleEndian(bytes, 1, 2);
    AppendLittleEndian(bytes, 1, 2);
    AppendLittleEndian(bytes, static_cast<quint32>(image.width()) & 0xFF, 1);  // 256 is 0
    AppendLittleEndian(bytes, static_cast<quint32>(image.height()) & 0xFF, 1);
    AppendLittleEndian(bytes, 0, 1);   // no palette
    AppendLittleEndian(bytes, 0, 1);   // reserved
    AppendLittleEndian(bytes, 1, 2);   // colour planes
    AppendLittleEndian(bytes, 32, 2);  // bits per pixel
    AppendLittleEndian(bytes, static_cast<quint32>(png.size()), 4);
    AppendLittleEndian(bytes, kHeaderSize + kEntrySize, 4);
    return bytes + png;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: write_icon FILE\n", stderr);
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    const QImage image = jnx::AppIconImage().convertToFormat(QImage::Format_ARGB32);
    bool written = false;
    if (name.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive)) {
        QFile file(name);
        const QByteArray bytes = IconFile(image);
        written =
            file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    } else {
        written = image.save(name, "PNG");
    }
    if (!written) {
        std::fprintf(stderr, "write_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
