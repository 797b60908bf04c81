#include "file_watch.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace jnx {

FileWatch::FileWatch(QObject* parent) : QObject(parent) {
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &FileWatch::report);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileWatch::noteChange);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileWatch::noteChange);
}

void FileWatch::watch(const QString& file) {
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) {
        watcher_.removePaths(watched);
    }
    file_ = QDir::fromNativeSeparators(file);
    const QString folder = QFileInfo(file_).absolutePath();
    if (QFileInfo(folder).isDir()) {
        watcher_.addPath(folder);
    }
    if (QFileInfo::exists(file_)) {
        watcher_.addPath(file_);
    }
}

void FileWatch::poke() {
    noteChange();
}

void FileWatch::noteChange() {
    using std::chrono::milliseconds;
    if (!quiet_.isActive()) {
        burst_.start();
        quiet_.start(kQuiet);
        return;
    }
    // Wait for quiet again, but not past kLongest from the burst's first change.
    const milliseconds left = kLongest - milliseconds(burst_.elapsed());
    quiet_.start(std::clamp(left, milliseconds(0), kQuiet));
}

void FileWatch::report() {
    // Watch the file under its name afresh: a watch follows the file it was set on, which
    // a rename over the name has replaced, and a deleted file's watch is gone.
    if (watcher_.files().contains(file_)) {
        watcher_.removePath(file_);
    }
    if (QFileInfo::exists(file_)) {
        watcher_.addPath(file_);
    }
    emit changed();
}

}  // namespace jnx
