#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

namespace jnx {

// Tells when another program changes one file. The file is watched, and its folder too, so
// that a file replaced by renaming a new one over it (as the editor's own save and many
// other programs replace files), or deleted and made again, is followed as well. The folder
// above the file's folder is watched as well, to see the folder renamed away, or another
// folder put in its place (a backup restored): a watch follows the folder it was set on
// wherever it goes, so it must be set again on whatever bears the name then. While the
// folder is gone (the betting tool uninstalled, say), the nearest folder above it that is
// there is watched instead, with the one above that, only to see the folder come back; then
// the folder is watched again and a change reported, and the file is followed as before,
// however long the folder was gone. The system reports the changes; nothing is polled, so
// an idle watch costs nothing. A burst of changes (the betting tool writes its keys one at
// a time) is reported once it has been quiet for kQuiet, and at least every kLongest while
// it goes on.
class FileWatch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kQuiet{150};
    static constexpr std::chrono::milliseconds kLongest{1000};

    // Where the file is (a path as Qt names files), looked up afresh at each change of a
    // watched folder and before each report: the settings file lies beside the program,
    // wherever the program's folder is by then.
    using FilePath = std::function<QString()>;

    explicit FileWatch(QObject* parent = nullptr);

    // Watches the file from now on, instead of any other.
    void watch(FilePath file);

    // Reports as if the file had changed, after the same quiet time.
    void poke();

signals:
    // The file may have changed, or gone or come back, since the last report.
    void changed();

private:
    // What tells one folder from another made or put under the same name: its volume and
    // its number there.
    struct FolderIdentity {
        quint64 volume = 0;
        quint64 node = 0;
        friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
    };
    // None where the folder is not there or the system will not tell.
    static std::optional<FolderIdentity> IdentityOf(const QString& folder);

    // Takes the file's path as filePath_ gives it now.
    void lookUpFile();
    void noteChange();
    void report();
    void folderChanged(const QString& folder);
    // Watches the file's folder or, while it is gone, the nearest folder above it that is
    // there, and the folder above the one watched, for the file as looked up now; gives
    // whether the folder watched is another one than before (another name, or another
    // folder under the same name).
    bool watchNearestFolder();
    // Stops watching the folders and the file.
    void stopWatching();

    QFileSystemWatcher watcher_;
    QTimer quiet_;
    QElapsedTimer burst_;  // since the first change not reported yet
    FilePath filePath_;
    QString file_;
    QString folder_;         // the file's folder
    QString watchedFolder_;  // folder_, or the folder above it watched while it is gone
    std::optional<FolderIdentity> watchedIdentity_;  // watchedFolder_'s when its watch began
    QString aboveFolder_;  // the folder above watchedFolder_; empty at the root
};

}  // namespace jnx
