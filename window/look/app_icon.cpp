#include "look/app_icon.h"

#include <QBuffer>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace jnx {

namespace {

// The picture in units of the 32-pixel icon, one unit a pixel there: a sheet whose top
// right corner is folded over, and down its left side five group labels, each with a
// grey line of text beside it. Boxes give the units of their edges.
constexpr double kDesignSize = 32;

struct Box {
    double left;
    double top;
    double right;
    double bottom;
};

constexpr Box kSheet = {4, 1, 28, 31};
constexpr double kFold = 7;              // width and height of the folded corner
constexpr Box kLabel = {7, 9, 11, 12};   // the first label; each next one kLabelStep lower
constexpr Box kLine = {13, 10, 25, 11};  // the line of text beside the first label
constexpr double kLabelStep = 4;

constexpr QRgb kOutline = 0xFF000000;
constexpr QRgb kPaper = 0xFFFFFFFF;
constexpr QRgb kFoldBack = 0xFFC0C0C0;
constexpr QRgb kText = 0xFF808080;
constexpr std::array<QRgb, 5> kLabelColours = {0xFF000000, 0xFFFF0000, 0xFF0000FF, 0xFFFFFF00,
                                               0xFF008000};

// The pixels from (x0, y0) up to (x1, y1), at least one each way.
void Fill(QImage& image, int x0, int y0, int x1, int y1, QRgb colour) {
    for (int y = y0; y < std::max(y1, y0 + 1); ++y) {
        for (int x = x0; x < std::max(x1, x0 + 1); ++x) {
            image.setPixel(x, y, colour);
        }
    }
}

// Small sizes, pixel by pixel: every edge on the pixel its unit rounds to, a one-pixel
// outline, the fold's diagonal one pixel a row. Scaling would blur the outline and the
// labels into grey; at 32 pixels this is the picture the units describe. A line of text
// ends short of its unit rather than past it, so that it never touches the outline.
QImage DrawPixels(int size) {
    const double scale = size / kDesignSize;
    const auto at = [scale](double units) { return static_cast<int>(std::lround(units * scale)); };
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    // The outline's pixels; the fold spans `fold` pixels right of and below its corner.
    const int left = at(kSheet.left);
    const int top = at(kSheet.top);
    const int right = at(kSheet.right) - 1;
    const int bottom = at(kSheet.bottom) - 1;
    const int fold = at(kFold) - 1;
    const int foldLeft = right - fold;
    for (int y = top; y <= bottom; ++y) {
        const int row = y - top;
        for (int x = left; x <= right; ++x) {
            const int column = x - foldLeft;
            if (row < fold && column > row) {
                continue;  // beyond the fold's diagonal: no sheet there
            }
            const bool inFold = row <= fold && column >= 0;
            const bool edge = x == left || x == right || y == top || y == bottom ||
                              (inFold && (column == 0 || column == row || row == fold));
            image.setPixel(x, y, edge ? kOutline : inFold ? kFoldBack : kPaper);
        }
    }

    const int lineRight = static_cast<int>(std::floor(kLine.right * scale));
    for (std::size_t k = 0; k < kLabelColours.size(); ++k) {
        const double down = kLabelStep * static_cast<double>(k);
        Fill(image, at(kLabel.left), at(kLabel.top + down), at(kLabel.right),
             at(kLabel.bottom + down), kLabelColours[k]);
        Fill(image, at(kLine.left), at(kLine.top + down), lineRight, at(kLine.bottom + down),
             kText);
    }
    return image;
}

// Large sizes, smoothly: the same picture with an outline of about a 48th of the size,
// labels framed in a darker shade of their colour and rounded lines of text.
QImage DrawSmooth(int size) {
    const double scale = size / kDesignSize;
    const double weight = std::round(size / 48.0);
    const double half = weight / 2;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The outline's centre lines, inside the sheet's edges; the diagonal runs from corner
    // to corner of the fold's outline.
    const double left = kSheet.left * scale + half;
    const double top = kSheet.top * scale + half;
    const double right = kSheet.right * scale - half;
    const double bottom = kSheet.bottom * scale - half;
    const double foldLeft = (kSheet.right - kFold) * scale + half;
    const double foldBottom = (kSheet.top + kFold) * scale - half;
    painter.setPen(QPen(QColor(kOutline), weight, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(QColor(kPaper));
    const QPointF sheet[] = {
        {left, top}, {foldLeft, top}, {right, foldBottom}, {right, bottom}, {left, bottom}};
    painter.drawPolygon(sheet, static_cast<int>(std::size(sheet)));
    painter.setBrush(QColor(kFoldBack));
    const QPointF fold[] = {{foldLeft, top}, {foldLeft, foldBottom}, {right, foldBottom}};
    painter.drawPolygon(fold, static_cast<int>(std::size(fold)));

    const auto box = [scale](const Box& b, double down) {
        return QRectF(QPointF(b.left * scale, (b.top + down) * scale),
                      QPointF(b.right * scale, (b.bottom + down) * scale));
    };
    const double frame = weight / 2;
    for (std::size_t k = 0; k < kLabelColours.size(); ++k) {
        const double down = kLabelStep * static_cast<double>(k);
        const QColor colour(kLabelColours[k]);
        painter.setPen(QPen(colour.darker(150), frame));
        painter.setBrush(colour);
        painter.drawRoundedRect(
            box(kLabel, down).adjusted(frame / 2, frame / 2, -frame / 2, -frame / 2), frame, frame);
        const QRectF line = box(kLine, down);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(kText));
        painter.drawRoundedRect(line, line.height() / 2, line.height() / 2);
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

void AppendLittleEndian(QByteArray& bytes, quint32 value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

QByteArray Png(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// An icon file's bitmap image: a BITMAPINFOHEADER of twice the image's height (colours and
// mask), the colours bottom row first as blue, green, red and alpha, then the mask, one
// bit a pixel, set where the pixel is transparent, each row padded to four bytes.
QByteArray Bitmap(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const auto width = static_cast<quint32>(argb.width());
    const auto height = static_cast<quint32>(argb.height());
    const quint32 maskRow = (width + 31) / 32 * 4;
    QByteArray bytes;
    AppendLittleEndian(bytes, 40, 4);  // header size
    AppendLittleEndian(bytes, width, 4);
    AppendLittleEndian(bytes, 2 * height, 4);
    AppendLittleEndian(bytes, 1, 2);   // planes
    AppendLittleEndian(bytes, 32, 2);  // bits per pixel
    AppendLittleEndian(bytes, 0, 4);   // no compression
    AppendLittleEndian(bytes, height * (width * 4 + maskRow), 4);
    bytes.append(16, '\0');  // resolution and palette: none
    for (int y = argb.height() - 1; y >= 0; --y) {
        for (int x = 0; x < argb.width(); ++x) {
            AppendLittleEndian(bytes, argb.pixel(x, y), 4);  // 0xAARRGGBB: B, G, R, A
        }
    }
    for (int y = argb.height() - 1; y >= 0; --y) {
        QByteArray row(static_cast<qsizetype>(maskRow), '\0');
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) == 0) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        bytes += row;
    }
    return bytes;
}

}  // namespace

QImage AppIconImage(int size) {
    constexpr int kSmoothFrom = 64;
    if (size <= 0) {
        return {};
    }
    return size < kSmoothFrom ? DrawPixels(size) : DrawSmooth(size);
}

QIcon AppIcon() {
    QIcon icon;
    for (const int size : kAppIconSizes) {
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    }
    return icon;
}

// The header (reserved 0, type 1 = icon, the number of images), one 16-byte directory
// entry per image (width and height, 0 standing for 256; no palette; one plane; 32 bits
// per pixel; the image's size and offset), then the images. Windows reads PNG images in
// icons since Vista; the smaller ones are bitmaps, which every reader takes.
QByteArray AppIconFile() {
    constexpr int kPngFrom = 256;
    constexpr quint32 kHeaderSize = 6;
    constexpr quint32 kEntrySize = 16;
    QByteArray directory;
    QByteArray images;
    AppendLittleEndian(directory, 0, 2);
    AppendLittleEndian(directory, 1, 2);
    constexpr auto kCount = static_cast<quint32>(kAppIconSizes.size());
    AppendLittleEndian(directory, kCount, 2);
    const quint32 first = kHeaderSize + kEntrySize * kCount;
    for (const int size : kAppIconSizes) {
        const QImage image = AppIconImage(size);
        const QByteArray data = size >= kPngFrom ? Png(image) : Bitmap(image);
        AppendLittleEndian(directory, static_cast<quint32>(size) & 0xFF, 1);
        AppendLittleEndian(directory, static_cast<quint32>(size) & 0xFF, 1);
        AppendLittleEndian(directory, 0, 1);  // no palette
        AppendLittleEndian(directory, 0, 1);  // reserved
        AppendLittleEndian(directory, 1, 2);
        AppendLittleEndian(directory, 32, 2);
        AppendLittleEndian(directory, static_cast<quint32>(data.size()), 4);
        AppendLittleEndian(directory, first + static_cast<quint32>(images.size()), 4);
        images += data;
    }
    return directory + images;
}

}  // namespace jnx
