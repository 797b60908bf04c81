// The profile file on systems without the Windows profile functions: the file's bytes
// are parsed and patched in memory and written back in one atomic replacement.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <utility>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"

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

// Closes a descriptor and removes a temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~TemporaryFile() {
        closeFd();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
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
    std::string path_;
};

std::optional<TemporaryFile> CreateTemporaryBeside(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string stem = std::string(".")
                                 .append(target.filename().string())
                                 .append(".tmp-")
                                 .append(std::to_string(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = (folder / (stem + "-" + std::to_string(attempt))).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return std::optional<TemporaryFile>(std::in_place, fd, name);
        }
        if (errno != EEXIST) {
            break;
        }
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

// Replaces the file's contents in one step; false when anything failed, in which case
// the file is as it was and no temporary file remains.
bool ReplaceContents(const fs::path& file, std::string_view bytes) {
    const fs::path target = ResolveLinks(file);
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
    if (!WriteAll(temporary->fd(), bytes) || ::fsync(temporary->fd()) != 0 ||
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

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    state_->document.write(section, key, value);
    state_->dirty = true;
}

void ProfileFile::commit() {
    if (!state_->dirty) {
        return;
    }
    if (state_->unreadable || !ReplaceContents(fs::path(path_), state_->document.bytes())) {
        throw WriteError(path_);
    }
    state_->dirty = false;
}

}  // namespace jnx
