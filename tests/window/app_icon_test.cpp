// The program's icon: drawn at each size it is shown at, and written into the Windows icon
// file with exactly those sizes.

#include <QIcon>
#include <QImage>
#include <QList>
#include <QSet>
#include <QSize>
#include <QTest>
#include <vector>

#include "look/app_icon.h"

namespace jnx {

namespace {

quint32 LittleEndian(const QByteArray& bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// A 32-bit bitmap image of an icon file, read back: colours bottom row first as blue,
// green, red and alpha, then a mask whose set bits must be exactly the transparent pixels.
QImage ReadBitmap(const QByteArray& data, int size) {
    if (data.size() < 40 || LittleEndian(data, 0, 4) != 40 ||
        LittleEndian(data, 4, 4) != static_cast<quint32>(size) ||
        LittleEndian(data, 8, 4) != static_cast<quint32>(2 * size) ||
        LittleEndian(data, 12, 2) != 1 || LittleEndian(data, 14, 2) != 32 ||
        LittleEndian(data, 16, 4) != 0) {
        return {};
    }
    const qsizetype maskRow = (size + 31) / 32 * 4;
    if (data.size() != 40 + static_cast<qsizetype>(size) * (size * 4 + maskRow)) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32);
    const qsizetype mask = 40 + static_cast<qsizetype>(size) * size * 4;
    for (int row = 0; row < size; ++row) {
        const int y = size - 1 - row;
        for (int x = 0; x < size; ++x) {
            const QRgb pixel =
                LittleEndian(data, 40 + (static_cast<qsizetype>(row) * size + x) * 4, 4);
            const bool masked = (static_cast<unsigned char>(data[mask + row * maskRow + x / 8]) &
                                 (0x80 >> (x % 8))) != 0;
            if (masked != (qAlpha(pixel) == 0)) {
                return {};
            }
            image.setPixel(x, y, pixel);
        }
    }
    return image;
}

}  // namespace

class AppIconTest : public QObject {
    Q_OBJECT

private slots:
    // The icon file's directory lists 16, 24, 32, 48 and 256 pixels, once each; the images
    // follow it back to back, and each reads back as the picture drawn at its size.
    void iconFileHoldsEverySize();
    // Sizes below 64 are drawn on whole pixels in the icon's own colours: a scaled copy
    // would blur the outline and the labels into colours of their own.
    void smallSizesKeepTheirColours_data();
    void smallSizesKeepTheirColours();
    // The window's icon, which the title bar and the taskbar take, has every drawn size.
    void windowIconHasEverySize();
};

void AppIconTest::iconFileHoldsEverySize() {
    const QByteArray file = AppIconFile();
    QVERIFY(file.size() >= 6);
    QCOMPARE(LittleEndian(file, 0, 2), 0U);
    QCOMPARE(LittleEndian(file, 2, 2), 1U);
    const auto count = static_cast<int>(LittleEndian(file, 4, 2));
    QVERIFY(file.size() >= 6 + 16 * count);

    std::vector<int> sizes;
    qsizetype next = 6 + 16 * count;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + 16 * i;
        const auto width = static_cast<int>(LittleEndian(file, entry, 1));
        const int size = width == 0 ? 256 : width;
        QCOMPARE(static_cast<int>(LittleEndian(file, entry + 1, 1)), width);
        QCOMPARE(LittleEndian(file, entry + 2, 1), 0U);  // no palette
        QCOMPARE(LittleEndian(file, entry + 4, 2), 1U);  // planes
        QCOMPARE(LittleEndian(file, entry + 6, 2), 32U);
        const qsizetype length = LittleEndian(file, entry + 8, 4);
        const qsizetype offset = LittleEndian(file, entry + 12, 4);
        QCOMPARE(offset, next);
        QVERIFY(offset + length <= file.size());
        next = offset + length;
        sizes.push_back(size);

        const QByteArray data = file.mid(offset, length);
        const QImage read = data.startsWith("\x89PNG\r\n\x1A\n") ? QImage::fromData(data, "PNG")
                                                                 : ReadBitmap(data, size);
        QVERIFY2(!read.isNull(), qPrintable(QStringLiteral("image %1 unreadable").arg(size)));
        QCOMPARE(read.convertToFormat(QImage::Format_ARGB32),
                 AppIconImage(size).convertToFormat(QImage::Format_ARGB32));
    }
    QCOMPARE(next, file.size());
    QCOMPARE(sizes, std::vector<int>({16, 24, 32, 48, 256}));
}

void AppIconTest::smallSizesKeepTheirColours_data() {
    QTest::addColumn<int>("size");
    for (const int size : kAppIconSizes) {
        if (size < 64) {
            QTest::addRow("%d", size) << size;
        }
    }
}

void AppIconTest::smallSizesKeepTheirColours() {
    QFETCH(int, size);
    const QSet<QRgb> colours = {0xFF000000, 0xFFFFFFFF, 0xFFC0C0C0, 0xFF808080,
                                0xFFFF0000, 0xFF0000FF, 0xFFFFFF00, 0xFF008000};
    const QImage image = AppIconImage(size).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    QSet<QRgb> used;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) != 0) {
                QVERIFY2(
                    colours.contains(pixel),
                    qPrintable(QStringLiteral("%1 at (%2, %3)").arg(pixel, 8, 16).arg(x).arg(y)));
                used.insert(pixel);
            }
        }
    }
    // Outline, paper, fold, text and all five labels are there at every size.
    QCOMPARE(used, colours);
}

void AppIconTest::windowIconHasEverySize() {
    QList<QSize> expected;
    for (const int size : kAppIconSizes) {
        expected.append(QSize(size, size));
    }
    QCOMPARE(AppIcon().availableSizes(), expected);
}

}  // namespace jnx

QTEST_MAIN(jnx::AppIconTest)
#include "app_icon_test.moc"
