#pragma once

// The temporary file a save on a POSIX system writes beside the settings file and renames
// over it, and the clean-up of those that ended saves left behind.

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jnx::platform {

// A temporary file being written: closes its descriptor and removes it unless released.
// It stays locked (through a second descriptor, which the writing one's close leaves
// open) until it is renamed or removed, so that other saves leave it alone.
class TemporaryFile {
public:
    TemporaryFile(int fd, int lockFd, std::string path)
        : fd_(fd), lockFd_(lockFd), path_(std::move(path)) {}
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile(TemporaryFile&&) = delete;
    TemporaryFile& operator=(TemporaryFile&&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    bool closeFd();
    void keep() { path_.clear(); }

private:
    int fd_;
    int lockFd_;
    std::string path_;
};

// Removes the temporary files that earlier saves of this program left beside `target`
// when they ended between writing and renaming them (killed, or the machine stopped): only
// the running user's regular files named exactly as ours for this file, only while locked
// by this process and only when their writer has ended. Failures are ignored: this never
// stops a save.
void RemoveLeftoverTemporaries(const std::filesystem::path& target);

// Why no temporary file could be made.
enum class CreateFailure { None, FolderNotWritable, Other };

// Makes and locks a new temporary file beside `target`, readable and writable by its owner
// only, so that nobody else can open it before the caller gives it its mode.
std::optional<TemporaryFile> CreateTemporaryBeside(const std::filesystem::path& target,
                                                   CreateFailure& failure);

// A second name for `target` beside it, named as our temporary files are (so that one a
// save ended before removing it is cleaned up as they are); empty when none can be made.
std::string LinkBeside(const std::filesystem::path& target);

// Writes the pieces one after the other; false when a write fails.
bool WritePieces(int fd, const std::vector<std::string_view>& pieces);

enum class Fill {
    Done,        // written and flushed
    NotTheSame,  // it cannot be given the settings file's owner, group or attributes
    Failed,      // it cannot be written
};

// Gives a temporary file the identity of the settings file `target`, whose status is
// `existing` (TakeIdentity), or the permission bits of a new file when there is none, and
// writes and flushes the bytes. `filled` gets the file's status once it is written.
Fill FillTemporary(TemporaryFile& temporary, const std::filesystem::path& target,
                   const struct stat* existing, const std::vector<std::string_view>& pieces,
                   struct stat* filled);

// Makes the rename of a file into `target`'s folder durable. The file is already replaced,
// so a failure here changes nothing the user could act on.
void FlushFolderOf(const std::filesystem::path& target);

}  // namespace jnx::platform
