#include "folder_chooser/folder_paths.h"

#include <QDir>
#include <QFileInfo>

#include "errors.h"

namespace jnx {

namespace {

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

QString StartFolder(const QString& start) {
    QString current = QDir::currentPath();
    if (start.trimmed().isEmpty()) {
        return current;
    }
#ifdef Q_OS_WIN
    const bool network =
        start.startsWith(QStringLiteral("\\\\")) || start.startsWith(QStringLiteral("//"));
    if (network) {
        return current;
    }
#endif
    const QFileInfo info(QDir::current(), start);
    return info.isDir() ? QDir::cleanPath(info.absoluteFilePath()) : current;
}

bool NamesNoFolder(const QString& text) {
    QString path = text;
    while (path.size() > 1 && IsFolderSeparator(path.back())) {
        path.chop(1);
    }
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(QDir::current(), path);
    return info.exists() && !info.isDir();
}

QStringList FoldersDownTo(const QString& folder) {
    QStringList chain;
    QDir dir(folder);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp()) {
        chain.prepend(dir.absolutePath());
    }
    return chain;
}

QString EntryName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}

bool CreateFolders(const QString& text) {
    if (text.isEmpty()) {
        throw FolderCreationError();
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
