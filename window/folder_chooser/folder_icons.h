#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

namespace jnx {

// How the folder chooser's lists draw their entries.

// The data role of a folder list entry's depth below the root, which indents it.
inline constexpr int kLevelRole = Qt::UserRole + 1;

enum class FolderIcon { Open, Current, Closed };

// A 16 × 13 folder: closed, open, or open and marked as the current one.
QIcon FolderIconOf(FolderIcon kind);

// Indents each folder by its depth and gives every entry of a list one height.
class EntryDelegate : public QStyledItemDelegate {
public:
    EntryDelegate(int height, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override;

private:
    int height_;
};

}  // namespace jnx
