// The profile file on Windows: the system's own profile functions read and write the file
// in the ANSI code page (932 on a Japanese system). A save does not write into the file
// itself: it copies the file into a new file beside it, writes the keys into the copy and
// puts the copy in the file's place in one step, so that a save that fails or is killed
// part way leaves the file as it was.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "cp932.h"
#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "profile_save_platform.h"
#include "temporary_name.h"

namespace jnx {

namespace {

// One key's value as the profile functions read it from the file, or the default.
Text ReadKey(const std::string& file, std::string_view section, std::string_view key,
             std::string_view defaultValue) {
    std::vector<char> buffer(ProfileFile::kReadBufferSize);
    const DWORD length = GetPrivateProfileStringA(
        std::string(section).c_str(), std::string(key).c_str(), std::string(defaultValue).c_str(),
        buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    // A value cut at the end of the buffer counts as kReadBufferSize - 1 bytes even where
    // a double-byte character was left out whole: the text ends at the terminating NUL.
    const std::string_view text(buffer.data(), length);
    return Text(text.substr(0, text.find('\0')));
}

// The profile functions give a missing key's default back and tell nothing else; a value
// that is there reads the same whatever the default, and no value equals both of two. A
// default no settings value holds answers most keys in one read.
std::optional<Text> FindKey(const std::string& file, std::string_view section,
                            std::string_view key) {
    constexpr std::string_view kUnlikely = "\x01";
    Text value = ReadKey(file, section, key, kUnlikely);
    if (value == kUnlikely && ReadKey(file, section, key, "\x02") == "\x02") {
        return std::nullopt;
    }
    return value;
}

// Puts what the system's profile cache holds for the file into it. Never throws.
void Flush(const std::string& path) noexcept {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

// A path in the ANSI code page as the wide functions take it; none when it holds bytes
// that stand for no character there.
std::optional<std::wstring> Wide(std::string_view path) {
    if (path.empty()) {
        return std::wstring();
    }
    if (path.size() > INT_MAX) {
        return std::nullopt;
    }
    const int size = static_cast<int>(path.size());
    const int length =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), length) !=
        length) {
        return std::nullopt;
    }
    return wide;
}

// A file name in the ANSI code page; none when a character of it has no code there.
std::optional<std::string> Narrow(const wchar_t* name) {
    BOOL lossy = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) {
        return std::nullopt;
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, narrow.data(), length, nullptr,
                            &lossy) != length ||
        lossy) {
        return std::nullopt;
    }
    narrow.pop_back();  // the terminating NUL
    return narrow;
}

// Where the file name of a path begins: after its last "\", "/" or drive colon. A "\"
// that is the trail byte of a double-byte character, as in "ソ", is none.
std::size_t FileNameStart(std::string_view path) {
    std::size_t start = 0;
    for (const char separator : {'\\', '/', ':'}) {
        const std::size_t found = cp932::FindLastChar(path, separator);
        if (found != std::string_view::npos && found + 1 > start) {
            start = found + 1;
        }
    }
    return start;
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&&) = delete;
    Handle& operator=(Handle&&) = delete;

    [[nodiscard]] bool valid() const {
        return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr;
    }
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Opens a file to remove it, without following a link; a folder does not open.
HANDLE OpenForRemoval(const std::wstring& path, DWORD share) {
    return CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, share,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsRegularFile(HANDLE file, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
        return false;
    }
    attributes = info.dwFileAttributes;
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Removes the file an OpenForRemoval handle leads to. A read-only attribute, which a copy of
// a read-only settings file has, would stop the removal and is cleared first.
bool RemoveOpenedFile(HANDLE file, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO basic{};  // times of 0 stay as they are
        basic.FileAttributes =
            attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
        if (basic.FileAttributes == 0) {
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) {
            return false;
        }
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Whether the process that wrote a copy has ended: no process has its id, or the one that
// has it has exited. One that may not be opened (another user's) lives.
bool WriterHasEnded(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        return GetLastError() == ERROR_INVALID_PARAMETER;
    }
    const bool exited = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return exited;
}

// Removes the copies that earlier saves of the file left in `folder` when they ended between
// copying and replacing (killed, or the machine stopped): only regular files named exactly
// as ours for this file, only when their writer's process has ended, and only when no one
// has them open. A copy is written only by the process its name gives, so no save at work
// loses its copy (a process whose id was taken over keeps its leftovers until the id is
// free again). Failures are ignored: this never stops a save.
void RemoveLeftoverCopies(const std::string& folder, std::string_view fileName) {
    const std::optional<std::wstring> wideFolder = Wide(folder);
    if (!wideFolder) {
        return;
    }
    const std::string prefix = TemporaryPrefix(fileName);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW((*wideFolder + L"*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::optional<std::string> name = Narrow(found.cFileName);
        const std::optional<int> writer =
            name ? TemporaryFileWriter(*name, prefix) : std::optional<int>();
        if (!writer || (found.dwFileAttributes &
                        (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
            continue;
        }
        // Opened alone, so that the checks and the removal are about one file that no one
        // else is using.
        const Handle file(OpenForRemoval(*wideFolder + found.cFileName, 0));
        DWORD attributes = 0;
        if (file.valid() && IsRegularFile(file.get(), attributes) &&
            WriterHasEnded(static_cast<DWORD>(*writer))) {
            RemoveOpenedFile(file.get(), attributes);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Numbers for copies, never used twice in one process, so that no profile cache can answer
// for a new copy with what it held for an earlier one of the same name.
unsigned NextCopyNumber() {
    static std::atomic<unsigned> next{0};
    return next++;
}

// A copy of the settings file made beside it under a name of its own, its attributes (read
// only, hidden …) with it; a new empty file when there is no settings file. None when
// neither could be made.
std::optional<std::string> CreateCopy(const std::string& folder, std::string_view fileName,
                                      const std::wstring& file) {
    const std::string stem =
        folder + TemporaryPrefix(fileName) + std::to_string(GetCurrentProcessId()) + "-";
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string copy = stem + std::to_string(NextCopyNumber());
        const std::optional<std::wstring> wideCopy = Wide(copy);
        if (!wideCopy) {
            return std::nullopt;
        }
        if (CopyFileW(file.c_str(), wideCopy->c_str(), TRUE)) {
            return copy;
        }
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            const Handle created(CreateFileW(wideCopy->c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (created.valid()) {
                return copy;
            }
            error = GetLastError();
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Puts the file's bytes, all of them written through the profile functions, on the disk.
bool FlushToDisk(const std::wstring& path) {
    const Handle file(CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && FlushFileBuffers(file.get());
}

// Opened to be looked at and read, never holding up another program's write or removal of
// the file. A rename over the file fails while it is open all the same: hold it briefly.
HANDLE OpenShared(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The same by the file's name in the system's code page; a name that does not convert
// opens nothing (ERROR_INVALID_NAME).
HANDLE OpenShared(const std::string& path, DWORD access) {
    const std::optional<std::wstring> wide = Wide(path);
    if (!wide) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return OpenShared(*wide, access);
}

// The whole of an opened file; none when it cannot be read.
std::optional<std::string> ReadHandle(HANDLE file) {
    std::string bytes;
    constexpr DWORD kChunk = 65536;
    for (;;) {
        const std::size_t size = bytes.size();
        try {
            bytes.resize(size + kChunk);
        } catch (const std::exception&) {
            return std::nullopt;  // larger than memory
        }
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + size, kChunk, &got, nullptr)) {
            return std::nullopt;
        }
        bytes.resize(size + got);
        if (got == 0) {
            return bytes;
        }
    }
}

// Writes one key into the file through the profile functions; false when they fail.
bool WriteKey(const std::string& file, std::string_view section, std::string_view key,
              std::string_view value) {
    ++platform::KeyWrites();
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), file.c_str()) != 0;
}

// Removes a copy, whatever it holds, and forgets its name. Never throws.
void DiscardCopy(std::string& copy, std::wstring& wideCopy) noexcept {
    if (copy.empty()) {
        return;
    }
    // Nothing of the copy may stay in the profile cache, to be written back later.
    Flush(copy);
    const Handle file(
        OpenForRemoval(wideCopy, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    DWORD attributes = 0;
    if (file.valid() && IsRegularFile(file.get(), attributes)) {
        RemoveOpenedFile(file.get(), attributes);
    }
    copy.clear();
    wideCopy.clear();
}

// A copy being written for a save: removed when it goes, unless it was put in place.
struct PendingCopy {
    std::string path;
    std::wstring wide;

    PendingCopy() = default;
    ~PendingCopy() { DiscardCopy(path, wide); }
    PendingCopy(const PendingCopy&) = delete;
    PendingCopy& operator=(const PendingCopy&) = delete;
    PendingCopy(PendingCopy&&) = delete;
    PendingCopy& operator=(PendingCopy&&) = delete;

    void putInPlace() {
        path.clear();
        wide.clear();
    }
};

}  // namespace

struct ProfileFile::State {
    std::optional<platform::FileVersion> opened;  // the file's version once it had settled
};

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)), state_(new State) {
    // Reads go to the profile functions; the bytes only tell that the file has settled.
    platform::ReadForLoad(path_, &state_->opened);
}

// Flushes the profile cache on every way out, so that nothing read or written through the
// profile functions waits in the cache after the object is gone.
ProfileFile::~ProfileFile() {
    Flush(path_);
}

Text ProfileFile::readInFile(std::string_view section, std::string_view key,
                             std::string_view defaultValue) {
    return ReadKey(path_, section, key, defaultValue);
}

std::optional<Text> ProfileFile::findInFile(std::string_view section, std::string_view key) {
    return FindKey(path_, section, key);
}

bool ProfileFile::readOneVersion() const {
    return state_->opened && platform::VersionOf(path_) == state_->opened;
}

namespace platform {

namespace {

// 100-nanosecond intervals from 1601 to 1970, the epochs of file times and of Unix times.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

std::int64_t Nanoseconds(const FILETIME& time) {
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - kEpochDifference) * 100;
}

std::optional<FileVersion> VersionOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        return std::nullopt;
    }
    FileVersion version;
    version.exists = true;
    version.volume = info.dwVolumeSerialNumber;
    version.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    version.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    version.modified = Nanoseconds(info.ftLastWriteTime);
    return version;
}

// Whether the file may be written by this user: not read-only, and opened for writing
// when asked. A file another program holds without sharing its writes is busy, not
// refused: that program lets go in a moment.
Outcome MayWrite(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return Outcome::Failed;
    }
    const Handle file(OpenShared(path, GENERIC_WRITE));
    if (file.valid()) {
        return Outcome::Done;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? Outcome::Changed : Outcome::Failed;
}

// Writes the keys into the file through the profile functions, and gives in `readBack`,
// write by write, what they read back for each key: they may read a value otherwise than
// it was written. False when a write fails.
bool WriteAndReadBack(const std::string& file, const std::vector<ProfileWrite>& writes,
                      std::vector<std::optional<Text>>& readBack) {
    for (const ProfileWrite& write : writes) {
        if (!WriteKey(file, write.section, write.key, write.value)) {
            return false;
        }
    }
    for (const ProfileWrite& write : writes) {
        readBack.push_back(FindKey(file, write.section, write.key));
    }
    Flush(file);
    return true;
}

// Writes into the file itself, as the profile functions do, for a folder in which no copy
// can be made: no longer all or nothing.
Outcome WriteInPlace(const std::string& path, const std::wstring& widePath, const FileVersion& read,
                     const std::vector<ProfileWrite>& writes,
                     std::vector<std::optional<Text>>& readBack, FileVersion& written) {
    if (VersionOf(path) != read) {
        return Outcome::Changed;
    }
    if (const auto& hook = ReplaceHook(); hook && !hook(path)) {
        return Outcome::Failed;
    }
    if (!WriteAndReadBack(path, writes, readBack)) {
        return Outcome::Failed;
    }
    if (!FlushToDisk(widePath)) {
        return Outcome::Failed;
    }
    written = VersionOf(path).value_or(FileVersion{});
    return Outcome::Done;
}

}  // namespace

std::string SaveTarget(const std::string& path) {
    return path;
}

std::optional<FileVersion> VersionOf(const std::string& path) {
    const Handle file(OpenShared(path, FILE_READ_ATTRIBUTES));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return FileVersion{};
        }
        return std::nullopt;
    }
    return VersionOfHandle(file.get());
}

std::int64_t FileClockNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return Nanoseconds(now);
}

Outcome ReadVersion(const std::string& path, const FileVersion& expected, std::string& bytes) {
    const Handle file(OpenShared(path, GENERIC_READ));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_SHARING_VIOLATION ? Outcome::Changed
                                                                                 : Outcome::Failed;
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        return Outcome::Failed;
    }
    if (VersionOfHandle(file.get()) != expected) {
        return Outcome::Changed;
    }
    std::optional<std::string> read = ReadHandle(file.get());
    if (!read) {
        return Outcome::Failed;
    }
    if (VersionOfHandle(file.get()) != expected || VersionOf(path) != expected) {
        return Outcome::Changed;
    }
    bytes = std::move(*read);
    return Outcome::Done;
}

std::optional<std::string> ReadWhole(const std::string& path) {
    const Handle file(OpenShared(path, GENERIC_READ));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) {
        return std::nullopt;
    }
    return ReadHandle(file.get());
}

// Windows has no lease, but it tells whether anyone has the file open for writing: an open
// that does not share writing is refused then. The look is held for no longer than it
// takes, so that the tool's own opens are not refused; a rename over the file fails while
// another program has it open, which sends a save back to read the file again.
WriterLease::WriterLease(const std::string& path) {
    if (!SaveSettleTimes().askWriters) {
        return;
    }
    const std::optional<std::wstring> wide = Wide(path);
    if (!wide) {
        return;
    }
    const HANDLE look =
        CreateFileW(wide->c_str(), FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (look != INVALID_HANDLE_VALUE) {
        CloseHandle(look);
        return;
    }
    if (GetLastError() == ERROR_SHARING_VIOLATION) {
        answer_ = Answer::Writing;
    }
}

WriterLease::~WriterLease() = default;

WriterLease::WriterLease(WriterLease&& other) noexcept = default;

WriterLease& WriterLease::operator=(WriterLease&& other) noexcept = default;

bool WriterLease::writerWaiting() const {
    return false;
}

void WriterLease::release() noexcept {
    answer_ = Answer::Unknown;
}

Outcome PutWrites(const std::string& path, const FileVersion& read, ProfileDocument& document,
                  const std::vector<ProfileWrite>& writes, WriterLease& /*lease*/,
                  std::vector<std::optional<Text>>& readBack, FileVersion& written) {
    const std::optional<std::wstring> widePath = Wide(path);
    if (!widePath) {
        return Outcome::Failed;
    }
    if (read.exists) {
        if (const Outcome may = MayWrite(*widePath); may != Outcome::Done) {
            return may;
        }
    }
    const std::size_t nameStart = FileNameStart(path);
    const std::string folder = nameStart == 0 ? std::string(".\\") : path.substr(0, nameStart);
    const std::string fileName = path.substr(nameStart);
    std::optional<std::string> made = CreateCopy(folder, fileName, *widePath);
    if (!made) {
        return GetLastError() == ERROR_ACCESS_DENIED && read.exists
                   ? WriteInPlace(path, *widePath, read, writes, readBack, written)
                   : Outcome::Failed;
    }
    PendingCopy copy;
    copy.path = std::move(*made);
    const std::optional<std::wstring> wideCopy = Wide(copy.path);
    if (!wideCopy) {
        return Outcome::Failed;
    }
    copy.wide = *wideCopy;
    // The copy must hold the bytes the plan was made from; the file may have changed
    // between the read and the copy.
    {
        const Handle copied(OpenShared(copy.wide, GENERIC_READ));
        const std::optional<std::string> bytes =
            copied.valid() ? ReadHandle(copied.get()) : std::nullopt;
        if (!bytes) {
            return Outcome::Failed;
        }
        if (*bytes != document.original()) {
            return Outcome::Changed;
        }
    }
    if (!WriteAndReadBack(copy.path, writes, readBack)) {
        return Outcome::Failed;
    }
    RemoveLeftoverCopies(folder, fileName);
    const auto& hook = ReplaceHook();
    if (!FlushToDisk(copy.wide) || (hook && !hook(copy.path))) {
        return Outcome::Failed;
    }
    // A rename keeps the file and its times: this is the version the file will have.
    written = VersionOf(copy.path).value_or(FileVersion{});
    // The file read, and only that, is replaced: a write of the other program's since the
    // read sends the save back to read it again.
    if (VersionOf(path) != read) {
        return Outcome::Changed;
    }
    if (!MoveFileExW(copy.wide.c_str(), widePath->c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        // Held open by another program (a reader too, whatever it shares): it lets go in a
        // moment.
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? Outcome::Changed
                                                                                : Outcome::Failed;
    }
    copy.putInPlace();
    return Outcome::Done;
}

}  // namespace platform

}  // namespace jnx
