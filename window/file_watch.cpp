#include "file_watch.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace jnx {

FileWatch::FileWatch(QObject* parent) : QObject(parent) {
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &FileWatch::report);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileWatch::noteChange);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileWatch::folderChanged);
}

void FileWatch::watch(const QString& file) {
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) {
        watcher_.removePaths(watched);
    }
    file_ = QDir::fromNativeSeparators(file);
    folder_ = QFileInfo(file_).absolutePath();
    watchedFolder_.clear();
    watchNearestFolder();
    if (QFileInfo::exists(file_)) {
        watcher_.addPath(file_);
    }
}

void FileWatch::folderChanged() {
    // A change in the file's folder, the folder gone, or the folder back. While it is gone,
    // the other changes in the folder above it are nobody's concern.
    const bool wasFollowed = watchedFolder_ == folder_;
    if (watchNearestFolder() || wasFollowed) {
        noteChange();
    }
}

bool FileWatch::watchNearestFolder() {
    // A folder made below the watched one before its watch began is reported by nobody:
    // look again after each new watch. The bound only keeps a folder made and removed
    // over and over from holding the window up.
    constexpr int kLooks = 64;
    for (int look = 0; look < kLooks; ++look) {
        QString nearest = folder_;
        while (!QFileInfo(nearest).isDir()) {
            const QString above = QFileInfo(nearest).absolutePath();
            if (above == nearest) {
                nearest.clear();  // not even the root is there
                break;
            }
            nearest = above;
        }
        const QStringList watched = watcher_.directories();
        if (nearest == watchedFolder_ && (nearest.isEmpty() || watched.contains(nearest))) {
            break;
        }
        // A removed folder's watch is gone already; one made again under the same name
        // needs a new one.
        if (watched.contains(watchedFolder_)) {
            watcher_.removePath(watchedFolder_);
        }
        watchedFolder_ = nearest;
        if (nearest.isEmpty() || !watcher_.addPath(nearest)) {
            break;  // nothing that could be watched
        }
    }
    return watchedFolder_ == folder_;
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
