#include "folder_paths.h"

#include <QDir>
#include <QFileInfo>

#include "cp932_text.h"
#include "errors.h"
#include "window_style.h"

namespace jnx {

namespace {

constexpr std::string_view kCannotCreate = "ディレクトリを作成できません";

#ifdef Q_OS_WIN
constexpr qsizetype kShortestFolder = 3;  // "C:" is a drive, not a folder to make
#else
constexpr qsizetype kShortestFolder = 1;  // "/" loses its separator and is empty
#endif

}  // namespace

QChar FolderSeparator() {
    return QDir::separator();
}

bool IsFolderSeparator(QChar c) {
#ifdef Q_OS_WIN
    // Windows takes "/" as well, and users type it.
    return c == u'\\' || c == u'/';
#else
    return c == u'/';
#endif
}

QString FolderPartOf(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && !IsFolderSeparator(text[end - 1])) {
        --end;
    }
    return text.left(end);
}

bool CreateFolders(const QString& text) {
    if (text.isEmpty()) {
        throw Error(EncodeCp932(Utf8(kCannotCreate)).value_or(std::string()));
    }
    QString folder = text;
    if (!folder.isEmpty() && IsFolderSeparator(folder.back())) {
        folder.chop(1);
    }
    if (folder.size() < kShortestFolder || QFileInfo(folder).isDir()) {
        return true;
    }
    const QString parent = FolderPartOf(folder);
    if (parent == folder) {
        return true;
    }
    return CreateFolders(parent) && QDir().mkdir(folder);
}

}  // namespace jnx
