// The temporary files a save on a POSIX system writes beside the settings file: made
// private and locked, given the file's owner and mode, written and flushed; and the
// clean-up of those that saves ended before their rename left behind.

#include "temporary_file_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <random>
#include <thread>

#include "file_identity_posix.h"
#include "temporary_name.h"

namespace jnx::platform {

namespace {

namespace fs = std::filesystem;

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

// How long a save waits for the lock of a temporary file it has just made while a remover
// of leftovers holds it (a remover holds it for a moment only).
constexpr auto kLockWait = std::chrono::seconds(1);

// Locks a temporary file just made, waiting (a bounded time) while a remover looks at it;
// false when the name no longer leads to it (a remover took it for a leftover: only one
// that cannot see this process does, from another process id namespace) or the lock stays
// taken.
bool LockNewTemporary(int fd, const std::string& name) {
    const auto giveUp = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            // No locks on this file system: no remover can lock the file either, and so
            // none removes it.
            return true;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 &&
           IsSameFile(opened, named);
}

// A number for a temporary file's name that others cannot guess, so that names planted
// in a folder others may write (symbolic links, say) cannot block the save.
unsigned RandomNameNumber() {
    static std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<unsigned>{1, 0x7FFFFFFF}(generator);
}

// The mode a new file gets: read and write for everyone, less the process's umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
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

}  // namespace

TemporaryFile::~TemporaryFile() {
    closeFd();
    if (!path_.empty()) {
        ::unlink(path_.c_str());
    }
    ::close(lockFd_);
}

bool TemporaryFile::closeFd() {
    const bool ok = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

// Removes the temporary files that earlier saves of this program left beside `target`
// when they ended between writing and renaming them (killed, or the machine stopped): only
// the running user's regular files named exactly as ours for this file, only while locked
// by this process and only when their writer has ended. A writer holds its lock until it
// renames or removes its file, and every remover holds it while it removes, so no file of a
// save at work is touched and no name is removed twice. Failures are ignored: this never
// stops a save.
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
        // Only regular files are opened: opening a device may do something. Only the
        // user's own are removed: another user's file is not ours to take away, whatever
        // its name says.
        if (!writer || ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(named.st_mode) || named.st_uid != ::geteuid()) {
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
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
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

// Makes and locks a new temporary file beside `target`, readable and writable by its owner
// only, so that nobody else can open it before the caller gives it its mode.
std::optional<TemporaryFile> CreateTemporaryBeside(const fs::path& target, CreateFailure& failure) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string stem =
        TemporaryPrefix(target.filename().string()).append(std::to_string(::getpid()));
    failure = CreateFailure::Other;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            (folder / (stem + "-" + std::to_string(RandomNameNumber()))).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            if (errno == EACCES || errno == EPERM) {
                failure = CreateFailure::FolderNotWritable;
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
            failure = CreateFailure::None;
            return std::optional<TemporaryFile>(std::in_place, fd, lockFd, name);
        }
        // The name is no longer ours, or its lock stays taken: try the next one and leave
        // it alone.
        ::close(fd);
        ::close(lockFd);
    }
    return std::nullopt;
}

std::string LinkBeside(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string stem =
        TemporaryPrefix(target.filename().string()).append(std::to_string(::getpid()));
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string name = (folder / (stem + "-" + std::to_string(RandomNameNumber()))).string();
        if (::link(target.c_str(), name.c_str()) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
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

Fill FillTemporary(TemporaryFile& temporary, const fs::path& target, const struct stat* existing,
                   const std::vector<std::string_view>& pieces, struct stat* filled) {
    if (existing != nullptr) {
        if (!TakeIdentity(temporary.fd(), target.string(), *existing)) {
            return Fill::NotTheSame;
        }
    } else if (::fchmod(temporary.fd(), NewFileMode()) != 0) {
        return Fill::Failed;
    }
    return WritePieces(temporary.fd(), pieces) && ::fsync(temporary.fd()) == 0 &&
                   ::fstat(temporary.fd(), filled) == 0 && temporary.closeFd()
               ? Fill::Done
               : Fill::Failed;
}

// Makes the rename of a file into `target`'s folder durable. The file is already replaced,
// so a failure here changes nothing the user could act on.
void FlushFolderOf(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

}  // namespace jnx::platform
