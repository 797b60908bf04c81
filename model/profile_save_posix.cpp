// The platform half of a save on POSIX systems: the file's versions, its reads, the lease
// that tells whether another process is writing it, and the replacement of the file by a
// temporary file renamed over it (or, where no new file could stand for it, the write into
// the file itself).

#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): sigaction() is POSIX
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "errors.h"
#include "file_identity_posix.h"
#include "profile_document.h"
#include "profile_file.h"
#include "profile_save_platform.h"
#include "temporary_file_posix.h"

namespace jnx::platform {

namespace {

namespace fs = std::filesystem;

// Whether a symbolic link may be followed, as the kernel's protection for links in shared
// folders would follow it: in a folder other users may write, a link another of them made
// could lead the save into any file of ours, so only a link of our own or of the folder's
// owner is followed there. `owner` gets the link's owner.
bool MayFollow(const fs::path& link, uid_t& owner) {
    struct stat own {};
    struct stat folder {};
    const fs::path parent = link.has_parent_path() ? link.parent_path() : fs::path(".");
    if (::lstat(link.c_str(), &own) != 0 || ::stat(parent.c_str(), &folder) != 0) {
        return false;
    }
    owner = own.st_uid;
    const bool othersMayWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersMayWrite || own.st_uid == ::geteuid() || own.st_uid == folder.st_uid;
}

// The file a write must replace: the target of a symbolic link, followed link by link, so
// that the link itself stays. None for a link that may not be followed (MayFollow), for a
// chain of links that never ends, and for a link of another user's that leads to a file
// that user does not own: whoever made it could not write that file, and may not have the
// save write it for them.
std::optional<fs::path> ResolveLinks(fs::path path) {
    constexpr int kMaxLinks = 40;
    std::vector<uid_t> othersLinks;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) {
            struct stat reached {};
            for (const uid_t owner : othersLinks) {
                if (::lstat(path.c_str(), &reached) == 0 && reached.st_uid != owner) {
                    return std::nullopt;
                }
            }
            return path;
        }
        uid_t owner = 0;
        if (!MayFollow(path, owner)) {
            return std::nullopt;
        }
        if (owner != ::geteuid() && owner != 0) {
            othersLinks.push_back(owner);
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            return std::nullopt;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

// Whether the running user may write the existing file: its permission bits allow it, and
// at least one write bit is set at all (a file nobody may write is read-only, even to root,
// as a read-only file is on Windows).
bool MayWrite(const fs::path& target, const struct stat& existing) {
    return (existing.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// What a replacement through a temporary file came to.
enum class Replaced {
    Done,     // the new file is in place
    Changed,  // the file is no longer the version read: read it again
    Failed,   // it cannot be written
    InPlace,  // no new file can be the file (see FillTemporary) or be made beside it: write
              // into the file itself
};

// Puts the pieces in the place of `target` through a new temporary file beside it: made
// private, given the identity of the file (`existing`, or the permission bits of a new file
// when it is null), written, flushed, shown to the test hook, and renamed over the file if
// it is still the version `read` and no writer waits for `lease`. `filled` gets the new
// file's status. Whatever fails, no temporary file remains.
Replaced ReplaceThroughTemporary(const fs::path& target, const FileVersion& read,
                                 const struct stat* existing,
                                 const std::vector<std::string_view>& pieces, WriterLease& lease,
                                 struct stat& filled) {
    CreateFailure failure = CreateFailure::None;
    std::optional<TemporaryFile> temporary = CreateTemporaryBeside(target, failure);
    if (!temporary) {
        return failure == CreateFailure::FolderNotWritable ? Replaced::InPlace : Replaced::Failed;
    }
    switch (FillTemporary(*temporary, target, existing, pieces, &filled)) {
        case Fill::Done:
            break;
        case Fill::NotTheSame:
            return Replaced::InPlace;
        case Fill::Failed:
            return Replaced::Failed;
    }
    if (const auto& hook = ReplaceHook(); hook && !hook(temporary->path())) {
        return Replaced::Failed;
    }
    // The file read, and only that, is replaced: a write of another program's since the
    // read, or one that has begun (a writer waiting for the lease), sends the save back to
    // read it again.
    if (VersionOf(target.string()) != read || lease.writerWaiting()) {
        return Replaced::Changed;
    }
    // A writer may start to open the file between that look and the rename: its open has
    // found the file read and waits for the lease, and would write into that file once it
    // is no longer the settings file. A second name for the file read puts it back then.
    const std::string second =
        lease.answer() == WriterLease::Answer::NoWriter ? LinkBeside(target) : std::string();
    if (::rename(temporary->path().c_str(), target.c_str()) != 0) {
        if (!second.empty()) {
            ::unlink(second.c_str());
        }
        return Replaced::Failed;
    }
    temporary->keep();
    Replaced outcome = Replaced::Done;
    if (!second.empty()) {
        if (lease.writerWaiting() && ::rename(second.c_str(), target.c_str()) == 0) {
            // The file read is the settings file again, and the writer writes into it; the
            // save reads it again once the writer is done.
            outcome = Replaced::Changed;
        } else {
            ::unlink(second.c_str());
        }
    }
    FlushFolderOf(target);
    return outcome;
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

// Opens the file at `path` for reading, provided it is a regular file: anything else is
// left unopened, for opening a device may do something. Should one be put there between
// the look and the open, O_NONBLOCK keeps a named pipe from waiting for a writer, and the
// caller's look at what it opened refuses it. -1, with errno set, when the file is missing
// or is no regular file (EINVAL then).
int OpenRegular(const std::string& path) {
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) {
        return -1;
    }
    if (!S_ISREG(named.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    const int fd = OpenRegular(path);
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

// Makes sure the file open as `fd` has room to grow from `size` to `newSize` bytes before
// any of it is changed: the blocks are reserved without changing the file, or, where the
// file system cannot reserve them, its free space is asked.
bool MakeRoom(int fd, off_t size, off_t newSize) {
    if (newSize <= size) {
        return true;
    }
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, size, newSize - size) == 0) {
        return true;
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return false;  // no room (ENOSPC), over the user's quota (EDQUOT), …
    }
    struct statvfs volume {};
    if (::fstatvfs(fd, &volume) != 0) {
        return false;
    }
    // A block more than the growth, for the last block the file has may be full.
    const auto block = static_cast<unsigned long long>(volume.f_frsize);
    const auto needed = static_cast<unsigned long long>(newSize - size) + block;
    return static_cast<unsigned long long>(volume.f_bavail) * block >= needed;
}

// Writes `bytes` into the file open as `fd` from byte `from` on.
bool WriteFrom(int fd, std::string_view bytes, std::size_t from) {
    return from >= bytes.size() || (::lseek(fd, static_cast<off_t>(from), SEEK_SET) >= 0 &&
                                    WritePieces(fd, {bytes.substr(from)}));
}

// Where two texts begin to differ: the length of their common beginning.
std::size_t FirstDifference(std::string_view a, std::string_view b) {
    const auto [inA, inB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return static_cast<std::size_t>(inA - a.begin());
}

// Writes the file's new bytes into the file itself through one descriptor, where no new
// file can take its place: in a folder the user may not write, and for a file that a new
// one could not be in all but its bytes. Room for the new length is made first, so that a
// full disk refuses the save with the file untouched; then only what follows the first
// changed byte is written, flushed, and the file cut to its new length. No longer all or
// nothing should the machine stop half-way, but the file is the one read.
Outcome WriteInPlace(const fs::path& target, const FileVersion& read, std::string_view before,
                     const std::vector<std::string_view>& pieces, WriterLease& lease,
                     FileVersion& written) {
    // Our own open for writing would wait for our own lease.
    lease.release();
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Outcome::Failed;
    }
    std::string after;
    for (const std::string_view piece : pieces) {
        after += piece;
    }
    const auto newSize = static_cast<off_t>(after.size());
    Outcome outcome = Outcome::Failed;
    struct stat opened {};
    const auto& hook = ReplaceHook();
    const bool hookAgrees = !hook || hook(target.string());
    if (hookAgrees && ::fstat(fd, &opened) == 0 && VersionFromStat(opened) != read) {
        outcome = Outcome::Changed;
    } else if (hookAgrees && S_ISREG(opened.st_mode) && MakeRoom(fd, opened.st_size, newSize) &&
               WriteFrom(fd, after, FirstDifference(before, after)) &&
               ::ftruncate(fd, newSize) == 0 && ::fsync(fd) == 0 && ::fstat(fd, &opened) == 0) {
        written = VersionFromStat(opened);
        outcome = Outcome::Done;
    }
    if (::close(fd) != 0 && outcome == Outcome::Done) {
        outcome = Outcome::Failed;
    }
    return outcome;
}

void IgnoreSignal(int /*signal*/) {}

// The system tells a lease's holder that a writer waits for it with SIGIO, which ends a
// process that does not handle it. The holder asks the lease itself instead, so the signal
// is only kept from ending the program (unless someone else handles it already).
void HandleLeaseBreaks() {
    static const bool handled = [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = IgnoreSignal;
            ignore.sa_flags = SA_RESTART;
            sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGIO, &ignore, nullptr);
        }
        return true;
    }();
    static_cast<void>(handled);
}

}  // namespace

std::string SaveTarget(const std::string& path) {
    const std::optional<fs::path> target = ResolveLinks(fs::path(path));
    if (!target) {
        throw WriteError(path);
    }
    return target->string();
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
    const int fd = OpenRegular(path);
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

std::optional<std::string> ReadWhole(const std::string& path) {
    std::string bytes;
    switch (ReadWholeFile(path, bytes)) {
        case ReadResult::Read:
            return bytes;
        case ReadResult::Missing:
            return std::nullopt;
        case ReadResult::Failed:
        case ReadResult::TooLarge:
            break;
    }
    throw ReadError(path);
}

WriterLease::WriterLease(const std::string& path) {
    if (!SaveSettleTimes().askWriters) {
        return;
    }
    HandleLeaseBreaks();
    fd_ = OpenRegular(path);
    if (fd_ < 0) {
        return;
    }
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        release();
        return;
    }
    if (::fcntl(fd_, F_SETLEASE, F_RDLCK) == 0) {
        answer_ = Answer::NoWriter;
        version_ = VersionFromStat(opened);
        return;
    }
    // EAGAIN: open for writing somewhere. Anything else (another user's file, a file system
    // without leases): no answer.
    const bool writing = errno == EAGAIN;
    release();
    if (writing) {
        answer_ = Answer::Writing;
    }
}

WriterLease::~WriterLease() {
    release();
}

WriterLease::WriterLease(WriterLease&& other) noexcept
    : answer_(other.answer_), version_(other.version_), fd_(other.fd_) {
    other.fd_ = -1;
    other.answer_ = Answer::Unknown;
}

WriterLease& WriterLease::operator=(WriterLease&& other) noexcept {
    if (this != &other) {
        release();
        answer_ = other.answer_;
        version_ = other.version_;
        fd_ = other.fd_;
        other.fd_ = -1;
        other.answer_ = Answer::Unknown;
    }
    return *this;
}

bool WriterLease::writerWaiting() const {
    // While a writer waits, the lease reads as going, no longer as a read lease.
    return fd_ >= 0 && ::fcntl(fd_, F_GETLEASE) != F_RDLCK;
}

void WriterLease::release() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);  // and with it the lease
        fd_ = -1;
    }
    answer_ = Answer::Unknown;
}

Outcome PutWrites(const std::string& path, const FileVersion& read, ProfileDocument& document,
                  const std::vector<ProfileWrite>& writes, WriterLease& lease,
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
    RemoveLeftoverTemporaries(target);
    const std::vector<std::string_view> pieces = document.pieces();
    // A file with other names, or one a new file of ours could not stand for, is written
    // in place: every name sees the save, and the file keeps what makes it that file.
    if (!read.exists || MayBeReplaced(existing)) {
        struct stat filled {};
        switch (ReplaceThroughTemporary(target, read, read.exists ? &existing : nullptr, pieces,
                                        lease, filled)) {
            case Replaced::Done:
                written = VersionFromStat(filled);
                return Outcome::Done;
            case Replaced::Changed:
                return Outcome::Changed;
            case Replaced::Failed:
                return Outcome::Failed;
            case Replaced::InPlace:
                if (!read.exists) {
                    return Outcome::Failed;  // no file to write into
                }
                break;
        }
    }
    return WriteInPlace(target, read, document.original(), pieces, lease, written);
}

}  // namespace jnx::platform
