// The profile file on systems without the Windows profile functions: the file's bytes
// are parsed and patched in memory and written back in one atomic replacement.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <random>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "profile_save_platform.h"
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

// Why no temporary file could be made.
enum class CreateFailure { None, FolderNotWritable, Other };

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

// Gives a temporary file the settings file's owner (where we may: as root) and permission
// bits, or those of a new file when there is none, and writes and flushes the bytes.
// `filled` gets the file's status once it is written.
bool FillTemporary(TemporaryFile& temporary, const struct stat* existing,
                   const std::vector<std::string_view>& pieces, struct stat* filled) {
    mode_t mode = NewFileMode();
    if (existing != nullptr) {
        [[maybe_unused]] const int ignored =
            ::fchown(temporary.fd(), existing->st_uid, existing->st_gid);
        mode = existing->st_mode & 07777;
    }
    return ::fchmod(temporary.fd(), mode) == 0 && WritePieces(temporary.fd(), pieces) &&
           ::fsync(temporary.fd()) == 0 && ::fstat(temporary.fd(), filled) == 0 &&
           temporary.closeFd();
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

// Whether the running user may write the existing file: its permission bits allow it, and
// at least one write bit is set at all (a file nobody may write is read-only, even to root,
// as a read-only file is on Windows).
bool MayWrite(const fs::path& target, const struct stat& existing) {
    return (existing.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

using platform::Outcome;

// Puts the pieces in the place of `target` through a new temporary file beside it: made
// private, given the owner and permission bits of the file (`existing`, or those of a new
// file when it is null), written, flushed, shown to the test hook, and renamed over the
// file if `stillTheFile` then agrees. `filled` gets the new file's status; `failure` says
// why no temporary file could be made. Whatever fails, no temporary file remains.
Outcome ReplaceThroughTemporary(const fs::path& target, const struct stat* existing,
                                const std::vector<std::string_view>& pieces,
                                const std::function<bool()>& stillTheFile, CreateFailure& failure,
                                struct stat& filled) {
    RemoveLeftoverTemporaries(target);
    std::optional<TemporaryFile> temporary = CreateTemporaryBeside(target, failure);
    if (!temporary || !FillTemporary(*temporary, existing, pieces, &filled)) {
        return Outcome::Failed;
    }
    if (const auto& hook = ReplaceHookSlot(); hook && !hook(temporary->path())) {
        return Outcome::Failed;
    }
    if (!stillTheFile()) {
        return Outcome::Changed;
    }
    if (::rename(temporary->path().c_str(), target.c_str()) != 0) {
        return Outcome::Failed;
    }
    temporary->keep();
    FlushFolderOf(target);
    return Outcome::Done;
}

// Replaces the file's contents in one step; false when anything failed, in which case
// the file is as it was and no temporary file remains.
bool ReplaceContents(const fs::path& file, const std::vector<std::string_view>& pieces) {
    const fs::path target = ResolveLinks(file);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !MayWrite(target, existing)) {
        return false;
    }
    CreateFailure failure = CreateFailure::None;
    struct stat filled {};
    return ReplaceThroughTemporary(
               target, exists ? &existing : nullptr, pieces, [] { return true; }, failure,
               filled) == Outcome::Done;
}

enum class ReadResult { Read, Missing, Failed, TooLarge };

// Largest file read whole: far beyond any settings file, and well within memory.
constexpr std::size_t kMaxFileSize = std::size_t{1} << 30;

// Whether `bytes` can be made to hold `size` bytes: a file larger than memory (a sparse
// file of many gigabytes, say) cannot be read whole.
bool Reserve(std::string& bytes, std::size_t size) {
    if (size > kMaxFileSize) {
        return false;
    }
    try {
        bytes.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    bytes.clear();
    bytes.shrink_to_fit();
    return false;
}

// Reads the whole of an opened regular file, whose status `info` gives, into `bytes`.
ReadResult ReadOpened(int fd, const struct stat& info, std::string& bytes) {
    // One byte more than the file holds, so that the end shows without growing.
    if (!Reserve(bytes, static_cast<std::size_t>(info.st_size) + 1)) {
        return ReadResult::TooLarge;
    }
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size() && !Reserve(bytes, size + 65536)) {  // the file grew
            return ReadResult::TooLarge;
        }
        const ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            bytes.clear();
            return ReadResult::Failed;
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    bytes.resize(size);
    return ReadResult::Read;
}

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    // Without O_NONBLOCK a named pipe at the path would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info {};
    const ReadResult result = ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
                                  ? ReadResult::Failed
                                  : ReadOpened(fd, info, bytes);
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
        case ReadResult::TooLarge:
            throw ReadError(path_);
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
    ++platform::KeyWrites();
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

namespace platform {

namespace {

FileVersion VersionFromStat(const struct stat& info) {
    constexpr std::int64_t kNanosPerSecond = 1000000000;
    FileVersion version;
    version.exists = true;
    version.volume = static_cast<std::uint64_t>(info.st_dev);
    version.file = static_cast<std::uint64_t>(info.st_ino);
    version.size = static_cast<std::uint64_t>(info.st_size);
    version.modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNanosPerSecond + info.st_mtim.tv_nsec;
    version.changed =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * kNanosPerSecond + info.st_ctim.tv_nsec;
    return version;
}

// Writes the whole file back into itself through one descriptor, for a folder in which no
// temporary file can be made: no longer all or nothing, but the file is the one read.
Outcome WriteInPlace(const fs::path& target, const FileVersion& read,
                     const std::vector<std::string_view>& pieces, FileVersion& written) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Outcome::Failed;
    }
    Outcome outcome = Outcome::Failed;
    struct stat opened {};
    off_t size = 0;
    for (const std::string_view piece : pieces) {
        size += static_cast<off_t>(piece.size());
    }
    const auto& hook = ReplaceHookSlot();
    if (::fstat(fd, &opened) == 0 && VersionFromStat(opened) != read) {
        outcome = Outcome::Changed;
    } else if (!S_ISREG(opened.st_mode) || (hook && !hook(target.string()))) {
        outcome = Outcome::Failed;
    } else if (WritePieces(fd, pieces) && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0 &&
               ::fstat(fd, &opened) == 0) {
        written = VersionFromStat(opened);
        outcome = Outcome::Done;
    }
    if (::close(fd) != 0 && outcome == Outcome::Done) {
        outcome = Outcome::Failed;
    }
    return outcome;
}

}  // namespace

std::string SaveTarget(const std::string& path) {
    return ResolveLinks(fs::path(path)).string();
}

std::optional<FileVersion> VersionOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return FileVersion{};
        }
        return std::nullopt;
    }
    return VersionFromStat(info);
}

std::int64_t FileClockNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Outcome ReadVersion(const std::string& path, const FileVersion& expected, std::string& bytes) {
    // Without O_NONBLOCK a named pipe at the path would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? Outcome::Changed : Outcome::Failed;
    }
    struct stat before {};
    struct stat after {};
    Outcome outcome = Outcome::Changed;
    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
        outcome = Outcome::Failed;
    } else if (VersionFromStat(before) == expected) {
        if (ReadOpened(fd, before, bytes) != ReadResult::Read) {
            outcome = Outcome::Failed;
        } else if (::fstat(fd, &after) == 0 && VersionFromStat(after) == expected &&
                   VersionOf(path) == expected) {
            outcome = Outcome::Done;
        }
    }
    ::close(fd);
    return outcome;
}

Outcome PutWrites(const std::string& path, const FileVersion& read, ProfileDocument& document,
                  const std::vector<ProfileWrite>& writes,
                  std::vector<std::optional<Text>>& readBack, FileVersion& written) {
    for (const ProfileWrite& write : writes) {
        ++KeyWrites();
        document.write(write.section, write.key, write.value);
        // The document answers a read from what was written to it.
        readBack.emplace_back(ProfileDocument::asRead(write.value));
    }
    const fs::path target(path);
    struct stat existing {};
    if (read.exists) {
        if (::stat(target.c_str(), &existing) != 0 || VersionFromStat(existing) != read) {
            return Outcome::Changed;
        }
        if (!MayWrite(target, existing)) {
            return Outcome::Failed;
        }
    }
    CreateFailure failure = CreateFailure::None;
    struct stat filled {};
    // The file read, and only that, is replaced: a write of the other program's since the
    // read sends the save back to read it again.
    const Outcome outcome = ReplaceThroughTemporary(
        target, read.exists ? &existing : nullptr, document.pieces(),
        [&] { return VersionOf(path) == read; }, failure, filled);
    if (failure == CreateFailure::FolderNotWritable && read.exists) {
        // A file the user may write in a folder the user may not: written in place, as the
        // profile functions would write it.
        return WriteInPlace(target, read, document.pieces(), written);
    }
    if (outcome == Outcome::Done) {
        written = VersionFromStat(filled);
    }
    return outcome;
}

}  // namespace platform

}  // namespace jnx
