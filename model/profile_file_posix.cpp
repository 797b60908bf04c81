// The profile file on systems without the Windows profile functions: the file's bytes
// are parsed and patched in memory and written back in one atomic replacement.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "temporary_name.h"

namespace jnx {

namespace {

namespace fs = std::filesystem;

ProfileFile::ReplaceHook& ReplaceHookSlot() {
    static ProfileFile::ReplaceHook hook;
    return hook;
}

// The file a write must replace: the target of a symbolic link, followed link by link,
// so that the link itself stays.
fs::path ResolveLinks(fs::path path) {
    constexpr int kMaxLinks = 40;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) {
            break;
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            break;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

// A temporary file being written: closes its descriptor and removes it unless released.
// It stays locked (through a second descriptor, which the writing one's close leaves
// open) until it is renamed or removed, so that other saves leave it alone.
class TemporaryFile {
public:
    TemporaryFile(int fd, int lockFd, std::string path)
        : fd_(fd), lockFd_(lockFd), path_(std::move(path)) {}
    ~TemporaryFile() {
        closeFd();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
        ::close(lockFd_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile(TemporaryFile&&) = delete;
    TemporaryFile& operator=(TemporaryFile&&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    bool closeFd() {
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }
    void keep() { path_.clear(); }

private:
    int fd_;
    int lockFd_;
    std::string path_;
};

// How long a temporary file may be unlocked while its writer's process id is taken: past
// that the id belongs to another process, for a writer locks its file at once.
constexpr time_t kWriterGraceSeconds = 60;

// Whether the save that wrote a temporary file has ended: its process is gone, or the file
// has long been left. Only asked about a file locked by the asker, so no save is at work on
// it but one that made it a moment ago and is about to lock it; that one lives, and its
// file is new.
bool WriterHasEnded(pid_t pid, const struct stat& file) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) {
        return true;
    }
    struct timespec now {};
    return ::clock_gettime(CLOCK_REALTIME, &now) == 0 &&
           now.tv_sec - file.st_mtim.tv_sec > kWriterGraceSeconds;
}

bool IsSameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporary files that earlier saves of this program left beside `target`
// when they ended between writing and renaming them (killed, or the machine stopped): only
// regular files named exactly as ours for this file, only while locked by this process
// and only when their writer has ended. A writer holds its lock until it renames or
// removes its file, and every remover holds it while it removes, so no file of a save at
// work is touched and no name is removed twice. Failures are ignored: this never stops a
// save.
void RemoveLeftoverTemporaries(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = TemporaryPrefix(target.filename().string());
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return;
    }
    DIR* const entries = ::fdopendir(folderFd);
    if (entries == nullptr) {
        ::close(folderFd);
        return;
    }
    while (const struct dirent* entry = ::readdir(entries)) {
        const char* const name = entry->d_name;
        const std::optional<int> writer = TemporaryFileWriter(name, prefix);
        struct stat named {};
        // Only regular files are opened: opening a device may do something.
        if (!writer || ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(named.st_mode)) {
            continue;
        }
        int fd =
            ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0 && errno == EACCES) {
            // A file with the permission bits of a settings file we may only write.
            fd =
                ::openat(folderFd, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        }
        if (fd < 0) {
            continue;
        }
        struct stat opened {};
        struct stat current {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && WriterHasEnded(*writer, opened) &&
            // The name still leads to the file locked: another remover has not taken it
            // away (and a new save given the name to its own file) in the meantime.
            ::fstatat(folderFd, name, &current, AT_SYMLINK_NOFOLLOW) == 0 &&
            IsSameFile(current, opened)) {
            ::unlinkat(folderFd, name, 0);
        }
        ::close(fd);  // and with it the lock
    }
    ::closedir(entries);
}

// Locks a temporary file just made, waiting while a remover looks at it; false when the
// name no longer leads to it (a remover took it for a leftover: only one that cannot see
// this process does, from another process id namespace).
bool LockNewTemporary(int fd, const std::string& name) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            // No locks on this file system: no remover can lock the file either, and so
            // none removes it.
            return true;
        }
    }
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 &&
           IsSameFile(opened, named);
}

std::optional<TemporaryFile> CreateTemporaryBeside(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string stem =
        TemporaryPrefix(target.filename().string()).append(std::to_string(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = (folder / (stem + "-" + std::to_string(attempt))).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            break;
        }
        const int lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (lockFd < 0) {
            ::close(fd);
            ::unlink(name.c_str());
            break;
        }
        if (LockNewTemporary(lockFd, name)) {
            return std::optional<TemporaryFile>(std::in_place, fd, lockFd, name);
        }
        // The name is no longer ours: try the next one and leave it alone.
        ::close(fd);
        ::close(lockFd);
    }
    return std::nullopt;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writes the pieces one after the other: small ones gathered into a buffer, large ones
// (a long stretch of the file between two written values) straight from where they are.
bool WritePieces(int fd, const std::vector<std::string_view>& pieces) {
    constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
    std::string buffer;
    buffer.reserve(kBufferSize);
    for (const std::string_view piece : pieces) {
        if (buffer.size() + piece.size() > kBufferSize) {
            if (!WriteAll(fd, buffer)) {
                return false;
            }
            buffer.clear();
        }
        if (piece.size() >= kBufferSize) {
            if (!WriteAll(fd, piece)) {
                return false;
            }
        } else {
            buffer += piece;
        }
    }
    return WriteAll(fd, buffer);
}

// Replaces the file's contents in one step; false when anything failed, in which case
// the file is as it was and no temporary file remains.
bool ReplaceContents(const fs::path& file, const std::vector<std::string_view>& pieces) {
    const fs::path target = ResolveLinks(file);
    RemoveLeftoverTemporaries(target);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;

    std::optional<TemporaryFile> temporary = CreateTemporaryBeside(target);
    if (!temporary) {
        return false;
    }
    if (exists) {
        // Keep the owner where we may (as root) and the permission bits always.
        [[maybe_unused]] const int ignored =
            ::fchown(temporary->fd(), existing.st_uid, existing.st_gid);
        if (::fchmod(temporary->fd(), existing.st_mode & 07777) != 0) {
            return false;
        }
    }
    if (!WritePieces(temporary->fd(), pieces) || ::fsync(temporary->fd()) != 0 ||
        !temporary->closeFd()) {
        return false;
    }
    if (const auto& hook = ReplaceHookSlot(); hook && !hook(temporary->path())) {
        return false;
    }
    if (::rename(temporary->path().c_str(), target.c_str()) != 0) {
        return false;
    }
    temporary->keep();

    // Make the rename itself durable; the file is already replaced, so a failure here
    // changes nothing the user could act on.
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

enum class ReadResult { Read, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    // Without O_NONBLOCK a named pipe at the path would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info {};
    ReadResult result = ReadResult::Read;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result = ReadResult::Failed;
    } else {
        // One byte more than the file holds, so that the end shows without growing.
        bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
        std::size_t size = 0;
        for (;;) {
            if (size == bytes.size()) {
                bytes.resize(size + 65536);  // the file grew while we read it
            }
            const ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                result = ReadResult::Failed;
                break;
            }
            if (got == 0) {
                break;
            }
            size += static_cast<std::size_t>(got);
        }
        bytes.resize(size);
    }
    ::close(fd);
    return result;
}

}  // namespace

struct ProfileFile::State {
    ProfileDocument document;
    bool unreadable = false;  // the file exists but could not be read: never replace it
    bool dirty = false;
};

void ProfileFile::setReplaceHookForTesting(ReplaceHook hook) {
    ReplaceHookSlot() = std::move(hook);
}

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)), state_(new State) {
    std::string bytes;
    switch (ReadWholeFile(path_, bytes)) {
        case ReadResult::Read:
            state_->document = ProfileDocument(std::move(bytes));
            break;
        case ReadResult::Missing:
            break;
        case ReadResult::Failed:
            state_->unreadable = true;
            break;
    }
}

ProfileFile::~ProfileFile() = default;

Text ProfileFile::read(std::string_view section, std::string_view key,
                       std::string_view defaultValue) {
    return state_->document.read(section, key, defaultValue);
}

std::optional<Text> ProfileFile::find(std::string_view section, std::string_view key) {
    return state_->document.find(section, key);
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    state_->document.write(section, key, value);
    state_->dirty = true;
}

std::optional<Text> ProfileFile::findWritten(std::string_view /*section*/, std::string_view /*key*/,
                                             std::string_view value) {
    // The document answers a read from what was written to it.
    return ProfileDocument::asRead(value);
}

void ProfileFile::commit() {
    if (!state_->dirty) {
        return;
    }
    if (state_->unreadable || !ReplaceContents(fs::path(path_), state_->document.pieces())) {
        throw WriteError(path_);
    }
    state_->dirty = false;
}

std::optional<std::string> ReadProfileBytes(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, bytes) != ReadResult::Read) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace jnx
