#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

namespace jnx {

// Tells when another program changes one file. The file is watched, and its folder too, so
// that a file replaced by renaming a new one over it (as the editor's own save and many
// other programs replace files), or deleted and made again, is followed as well. While the
// folder is gone (the betting tool uninstalled, say), the nearest folder above it that is
// there is watched instead, only to see the folder come back; then the folder is watched
// again and a change reported, and the file is followed as before. The system reports the
// changes; nothing is polled, so an idle watch costs nothing. A burst of changes (the
// betting tool writes its keys one at a time) is reported once it has been quiet for
// kQuiet, and at least every kLongest while it goes on.
class FileWatch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kQuiet{150};
    static constexpr std::chrono::milliseconds kLongest{1000};

    explicit FileWatch(QObject* parent = nullptr);

    // Watches the file (a path as Qt names files) from now on, instead of any other.
    void watch(const QString& file);

    // Reports as if the file had changed, after the same quiet time.
    void poke();

signals:
    // The file may have changed, or gone or come back, since the last report.
    void changed();

private:
    void noteChange();
    void report();
    void folderChanged();
    // Watches the file's folder or, while it is gone, the nearest folder above it that is
    // there; gives whether the file's folder is the one watched.
    bool watchNearestFolder();

    QFileSystemWatcher watcher_;
    QTimer quiet_;
    QElapsedTimer burst_;  // since the first change not reported yet
    QString file_;
    QString folder_;         // the file's folder
    QString watchedFolder_;  // folder_, or the folder above it watched while it is gone
};

}  // namespace jnx
