#include "file_watch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace jnx {

FileWatch::FileWatch(QObject* parent) : QObject(parent) {
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &FileWatch::report);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileWatch::noteChange);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileWatch::folderChanged);
}

void FileWatch::watch(FilePath file) {
    filePath_ = std::move(file);
    file_.clear();
    folder_.clear();
    stopWatching();
    watchedFolder_.clear();
    watchedIdentity_.reset();
    watchNearestFolder();
    if (QFileInfo::exists(file_)) {
        watcher_.addPath(file_);
    }
}

void FileWatch::lookUpFile() {
    QString file;
    try {
        file = QDir::fromNativeSeparators(filePath_());
    } catch (const std::exception&) {
        return;  // the file is looked for where it was last
    }
    if (file != file_) {
        file_ = file;
        folder_ = QFileInfo(file_).absolutePath();
    }
}

void FileWatch::folderChanged(const QString& folder) {
    // A change in the file's folder (the file written over, deleted or made), or the folder
    // gone, back, or another one in its place. Nothing else is anybody's concern: a change
    // beside the file's folder, or above it while it is gone.
    const bool wasFollowed = watchedFolder_ == folder_;
    const bool moved = watchNearestFolder();
    const bool followed = watchedFolder_ == folder_;
    if ((wasFollowed || followed) && (moved || folder == folder_)) {
        noteChange();
    }
}

bool FileWatch::watchNearestFolder() {
    // A folder made below the watched one, or put in its place, before the watches began is
    // reported by nobody: look again after each new watch. The bound only keeps a folder
    // made and removed over and over from holding the window up.
    constexpr int kLooks = 64;
    lookUpFile();
    if (folder_.isEmpty()) {
        return false;  // no file to watch
    }
    bool moved = false;
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
        // Taken before the watch is set: a folder put in its place in between is then seen
        // as another one at the next look.
        const std::optional<FolderIdentity> identity =
            nearest.isEmpty() ? std::nullopt : IdentityOf(nearest);
        if (nearest == watchedFolder_ && identity == watchedIdentity_ &&
            (nearest.isEmpty() || watcher_.directories().contains(nearest))) {
            break;
        }
        // A removed folder's watch is gone already, and a renamed one's has gone with it to
        // its new name: the folder under the name now needs a new watch, and so does the
        // file (watched again by report()).
        stopWatching();
        moved = true;
        watchedFolder_ = nearest;
        watchedIdentity_ = identity;
        if (nearest.isEmpty() || !watcher_.addPath(nearest)) {
            break;  // nothing that could be watched
        }
        const QString above = QFileInfo(nearest).absolutePath();
        if (above != nearest) {
            // Where this cannot be watched, only a rename of the folder goes unseen.
            aboveFolder_ = above;
            watcher_.addPath(above);
        }
    }
    return moved;
}

void FileWatch::stopWatching() {
    // The file's watch goes too: on Windows it is one with its folder's, and a new watch
    // of the folder would be the old one as long as the file's is kept.
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) {
        watcher_.removePaths(watched);
    }
    aboveFolder_.clear();
}

std::optional<FileWatch::FolderIdentity> FileWatch::IdentityOf(const QString& folder) {
#ifdef Q_OS_WIN
    const HANDLE handle =
        CreateFileW(QDir::toNativeSeparators(folder).toStdWString().c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool told = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!told) {
        return std::nullopt;
    }
    return FolderIdentity{info.dwVolumeSerialNumber,
                          (quint64{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
#else
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0) {
        return std::nullopt;
    }
    return FolderIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
#endif
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
    // The file may be looked up in another folder by now (renamed, with the program in it).
    watchNearestFolder();
    // Watch the file under its name afresh: a watch follows the file it was set on, which
    // a rename over the name has replaced, and a deleted file's watch is gone.
    const QStringList files = watcher_.files();
    if (!files.isEmpty()) {
        watcher_.removePaths(files);
    }
    if (QFileInfo::exists(file_)) {
        watcher_.addPath(file_);
    }
    emit changed();
}

}  // namespace jnx
