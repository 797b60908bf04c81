#include "folder_chooser/folder_icons.h"

#include <QPainter>
#include <QPixmap>
#include <array>

#include "folder_chooser/folder_dialog_layout.h"

namespace jnx {

QIcon FolderIconOf(FolderIcon kind) {
    QPixmap pixmap(16, 13);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    const QColor body = kind == FolderIcon::Current ? QColor(255, 255, 255) : QColor(255, 255, 0);
    painter.setBrush(QColor(192, 192, 0));
    painter.drawRect(0, 1, 6, 2);  // the tab
    painter.setBrush(body);
    if (kind == FolderIcon::Closed) {
        painter.drawRect(0, 3, 14, 9);
    } else {
        painter.drawRect(0, 3, 12, 9);
        const std::array<QPoint, 4> front = {QPoint(2, 6), QPoint(15, 6), QPoint(12, 12),
                                             QPoint(0, 12)};
        painter.drawPolygon(front.data(), static_cast<int>(front.size()));
    }
    return {pixmap};
}

EntryDelegate::EntryDelegate(int height, QObject* parent)
    : QStyledItemDelegate(parent), height_(height) {}

void EntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyleOptionViewItem indented(option);
    indented.rect.setLeft(option.rect.left() +
                          index.data(kLevelRole).toInt() * layout::kFolderIndent);
    QStyledItemDelegate::paint(painter, indented, index);
}

QSize EntryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
}

}  // namespace jnx
