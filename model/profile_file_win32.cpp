// The profile file on Windows: the system's own profile functions read and write the file
// in the ANSI code page (932 on a Japanese system). A save does not write into the file
// itself: it copies the file into a new file beside it, gives the copy the file's owner and
// access list, writes the keys into the copy and puts the copy in the file's place in one
// step, so that a save that fails or is killed part way leaves the file as it was. Where
// the copy could not be the same file to everyone (a file with more than one name, an owner
// or access list the copy cannot be given), or no copy can be made beside it, the keys go
// into the file itself, once it is sure of room for them.

#include <windows.h>

#include <aclapi.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
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
    // Closes the handle held, if any, and holds `handle` instead.
    void reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

// Memory the security functions hand out; given back with LocalFree.
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() {
        if (memory_ != nullptr) {
            LocalFree(memory_);
        }
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    LocalMemory(LocalMemory&&) = delete;
    LocalMemory& operator=(LocalMemory&&) = delete;

    [[nodiscard]] PSECURITY_DESCRIPTOR get() const { return memory_; }
    PSECURITY_DESCRIPTOR* out() { return &memory_; }

private:
    PSECURITY_DESCRIPTOR memory_ = nullptr;
};

// Opens a file to remove it, without following a link; a folder does not open. `access`
// asks for more than removal needs.
HANDLE OpenForRemoval(const std::wstring& path, DWORD share, DWORD access = 0) {
    return CreateFileW(path.c_str(), access | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                       share, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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

// Whether `sid` is this process's user, or the owner its token gives the files it makes (an
// elevated administrator's files belong to the Administrators group).
bool IsThisUser(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    const Handle held(token);
    for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::vector<BYTE> buffer(size);
        if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) {
            continue;
        }
        const PSID user = kind == TokenUser
                              ? reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid
                              : reinterpret_cast<const TOKEN_OWNER*>(buffer.data())->Owner;
        if (EqualSid(user, sid)) {
            return true;
        }
    }
    return false;
}

// Whether the volume of an opened file keeps owners and access lists (FAT keeps none).
bool KeepsSecurity(HANDLE file) {
    DWORD flags = 0;
    return !GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

// Whether an opened file (open with READ_CONTROL) could have been made by this user: it
// belongs to this user, or its volume keeps no owners.
bool MadeByThisUser(HANDLE file) {
    if (!KeepsSecurity(file)) {
        return true;
    }
    PSID owner = nullptr;
    LocalMemory descriptor;
    return GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                           nullptr, nullptr, descriptor.out()) == ERROR_SUCCESS &&
           owner != nullptr && IsThisUser(owner);
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
// as ours for this file, only those this user could have made (another user's file is left
// alone whatever its name says), only when their writer's process has ended, and only when
// no one has them open. A copy is written only by the process its name gives, so no save at
// work loses its copy (a process whose id was taken over keeps its leftovers until the id is
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
        // This process's own names are never leftovers, and one of them may be a second
        // name of the file in place, which the open below would keep the tool from writing.
        if (!writer || static_cast<DWORD>(*writer) == GetCurrentProcessId() ||
            (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
                0) {
            continue;
        }
        // Opened alone, so that the checks and the removal are about one file that no one
        // else is using.
        const Handle file(OpenForRemoval(*wideFolder + found.cFileName, 0, READ_CONTROL));
        DWORD attributes = 0;
        if (file.valid() && IsRegularFile(file.get(), attributes) && MadeByThisUser(file.get()) &&
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

// Removes a copy of the settings file, if it is there. Never throws.
void RemoveCopyFile(const std::wstring& copy) noexcept {
    const Handle file(OpenForRemoval(copy, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    DWORD attributes = 0;
    if (file.valid() && IsRegularFile(file.get(), attributes)) {
        RemoveOpenedFile(file.get(), attributes);
    }
}

// The start of the names of this process's copies of the settings file, and of the second
// names its saves give the file (a number follows): the leftovers of a save that was killed
// are known by it.
std::string CopyStem(const std::string& folder, std::string_view fileName) {
    return folder + TemporaryPrefix(fileName) + std::to_string(GetCurrentProcessId()) + "-";
}

// A copy of the settings file made beside it under a name of its own, its attributes (read
// only, hidden …) with it; a new empty file when there is no settings file. None when
// neither could be made.

std::optional<std::string> CreateCopy(const std::string& folder, std::string_view fileName,
                                      const std::wstring& file) {
    const std::string stem = CopyStem(folder, fileName);
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
            // A copy that failed part way (the disk full) may have been made all the same,
            // empty or cut short: a name of this process's own, which no one else makes.
            RemoveCopyFile(*wideCopy);
            SetLastError(error);
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
// the file; held only for the one look or read (see the rename in PutWrites).
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
    RemoveCopyFile(wideCopy);
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
    void discard() { DiscardCopy(path, wide); }
};

}  // namespace

struct ProfileFile::State {
    std::optional<platform::FileVersion> opened;  // the file's version once it had settled
    ProfileDocument document;                     // its bytes then; empty when it was missing
    bool fromDocument = false;  // whether reads answer from them (readMadeVersion)
    // Whether a read of the profile functions answered otherwise than those bytes. The
    // file's version alone does not tell that it changed: its modification time moves in
    // steps of milliseconds, and a rewrite to the same length within one is not seen.
    bool differed = false;
};

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)), state_(new State) {
    // Reads go to the profile functions; the bytes tell that the file has settled, and
    // answer the reads when the file changes between them.
    if (std::optional<std::string> bytes = platform::ReadForLoad(path_, &state_->opened)) {
        state_->document = ProfileDocument(std::move(*bytes));
    }
}

// Flushes the profile cache on every way out, so that nothing read or written through the
// profile functions waits in the cache after the object is gone.
ProfileFile::~ProfileFile() {
    Flush(path_);
}

Text ProfileFile::readInFile(std::string_view section, std::string_view key,
                             std::string_view defaultValue) {
    Text made = state_->document.read(section, key, defaultValue);
    if (state_->fromDocument) {
        return made;
    }
    Text read = ReadKey(path_, section, key, defaultValue);
    state_->differed = state_->differed || read != made;
    return read;
}

std::optional<Text> ProfileFile::findInFile(std::string_view section, std::string_view key) {
    std::optional<Text> made = state_->document.find(section, key);
    if (state_->fromDocument) {
        return made;
    }
    std::optional<Text> read = FindKey(path_, section, key);
    state_->differed = state_->differed || read != made;
    return read;
}

bool ProfileFile::readOneVersion() const {
    return state_->fromDocument ||
           (!state_->differed && state_->opened && platform::VersionOf(path_) == state_->opened);
}

void ProfileFile::readMadeVersion() {
    state_->fromDocument = true;
}

bool ProfileFile::changedSinceMade() const {
    bool writing = false;
    const std::optional<std::string> now = ReadProfileBytes(path_, &writing);
    return writing || now.value_or(std::string()) != state_->document.original();
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

// The version of the file at a name; a missing file has exists == false. None when the
// system will not tell. The look opens the file for its attributes only, which no other
// program's open is refused for.
std::optional<FileVersion> VersionOfName(const std::wstring& path) {
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

// Whether the file at a name has the size and modification time of `expected` (or is missing
// as `expected` is), asked without opening it: the quickest look there is, and one that holds
// nothing open that the rename after it would have to wait for.
bool LooksUnchanged(const std::wstring& path, const FileVersion& expected) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return !expected.exists && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return expected.exists && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           size == expected.size && Nanoseconds(data.ftLastWriteTime) == expected.modified;
}

// Removes a second name of the settings file; true once it is gone. Removal opens the name
// for deletion, which another program's open that shares no deletion is refused for, and
// the other way round. Never throws.
bool TryRemoveSecondName(const std::wstring& name) noexcept {
    const Handle file(OpenForRemoval(name, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    DWORD attributes = 0;
    if (!file.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return IsRegularFile(file.get(), attributes) && RemoveOpenedFile(file.get(), attributes);
}

// The second names this process has not seen go yet. Those of the file in place are parked
// there by a save that did not rename: removing one opens the file for deletion, and the
// tool's write, which shares nothing, fails while that is open; the next try of a save uses
// one again, and it goes once the file it names has been replaced. Those of a file replaced
// could not be removed while another program had it open, or Wine, which takes a removed
// name away only once no one has the file open, still shows them. None of them counts as
// one of the file's other names. Those still there when the program ends are tried once
// more then.
struct PendingNames {
    std::mutex lock;
    std::vector<std::wstring> names;

    PendingNames() = default;
    ~PendingNames() {
        for (const std::wstring& name : names) {
            TryRemoveSecondName(name);
        }
    }
    PendingNames(const PendingNames&) = delete;
    PendingNames& operator=(const PendingNames&) = delete;
    PendingNames(PendingNames&&) = delete;
    PendingNames& operator=(PendingNames&&) = delete;
};

PendingNames& Pending() {
    static PendingNames pending;
    return pending;
}

// Keeps a name among the pending ones. Never throws.
void KeepPending(const std::wstring& name) noexcept {
    try {
        const std::lock_guard<std::mutex> held(Pending().lock);
        Pending().names.push_back(name);
    } catch (...) {
        // Left for the leftovers' removal once this process has ended.
    }
}

// Removes a second name of a file replaced, waiting while another program has that file
// open so that the name cannot be removed, up to a fifth of a second; one that is still
// there then is kept pending. Never throws.
void RemoveSecondName(const std::wstring& name) noexcept {
    constexpr int kAttempts = 200;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (TryRemoveSecondName(name) || GetLastError() != ERROR_SHARING_VIOLATION) {
            break;
        }
        Sleep(1);
    }
    if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
        KeepPending(name);
    }
}

// Whether two versions are of one file.
bool SameFile(const FileVersion& one, const FileVersion& other) {
    return one.exists && other.exists && one.volume == other.volume && one.file == other.file;
}

// A parked second name of the file `expected`, taken out of the pending ones; none when
// there is none.
std::optional<std::wstring> TakeParkedName(const FileVersion& expected) {
    const std::lock_guard<std::mutex> held(Pending().lock);
    std::vector<std::wstring>& names = Pending().names;
    for (auto name = names.begin(); name != names.end(); ++name) {
        if (VersionOfName(*name) == expected) {
            std::wstring taken = std::move(*name);
            names.erase(name);
            return taken;
        }
    }
    return std::nullopt;
}

// Removes the pending second names of files no longer in `target`'s place, and forgets
// those that are gone.
void RemovePendingNames(const std::wstring& target) {
    const std::optional<FileVersion> live = VersionOfName(target);
    const std::lock_guard<std::mutex> held(Pending().lock);
    std::erase_if(Pending().names, [&](const std::wstring& name) {
        const std::optional<FileVersion> version = VersionOfName(name);
        if (!version || (live && SameFile(*version, *live))) {
            return false;
        }
        return !version->exists || (TryRemoveSecondName(name) &&
                                    GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES);
    });
}

// How many second names left by earlier saves name the file with this number.
DWORD PendingNamesOf(const BY_HANDLE_FILE_INFORMATION& info) {
    const std::uint64_t number =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    const std::lock_guard<std::mutex> held(Pending().lock);
    DWORD count = 0;
    for (const std::wstring& name : Pending().names) {
        const std::optional<FileVersion> version = VersionOfName(name);
        if (version && version->exists && version->volume == info.dwVolumeSerialNumber &&
            version->file == number) {
            ++count;
        }
    }
    return count;
}

// What became of a rename over the settings file.
enum class Swap {
    Done,     // in place; nothing was written into the file replaced since it was looked at
    Landed,   // in place, but a write landed in the file replaced after the last look
    Changed,  // not renamed: the file is no longer the version expected
    Busy,     // not renamed: another program has the file open
    Failed,   // not renamed: the system refused otherwise
};

// Renames `source` over `target`, provided `target` is still `expected`.
//
// No look can be the last thing before the rename: on Wine the look and the rename are
// each a few round trips to the server, and the tool's whole write (WritePrivateProfileStringA
// opening the file with CREATE_ALWAYS and no sharing) fits between them. Holding the file open
// meanwhile is no answer, for it makes the tool's write fail. So the file replaced is given
// a second name first (named as the copies are, `stem` and a number), which the rename
// leaves it under; what was written into it up to the rename is there to see afterwards. The
// last look before the rename asks for size and time without opening the file.
//
// Landed: a write landed in the moment between the last look and the rename; `kept` names
// the file replaced, with that write in it, and `source` is in `target`'s place. Otherwise
// `kept` is empty. Where no second name can be made (a volume without hard links), the
// rename goes ahead after the looks alone.
Swap SwapIn(const std::wstring& source, const std::wstring& target, const FileVersion& expected,
            const std::string& stem, std::wstring& kept) {
    kept.clear();
    // Not renamed: the second name, which may name the file in place, is parked.
    const auto parkKept = [&] {
        if (!kept.empty()) {
            KeepPending(kept);
            kept.clear();
        }
    };
    if (expected.exists) {
        if (std::optional<std::wstring> parked = TakeParkedName(expected)) {
            kept = std::move(*parked);
        } else if (const std::optional<std::wstring> name =
                       Wide(stem + std::to_string(NextCopyNumber()));
                   name && CreateHardLinkW(name->c_str(), target.c_str(), nullptr)) {
            // The link opens the file for nothing but itself, which no other program's open
            // is refused for.
            kept = *name;
        }
    }
    // The file must still be the one expected: looked at through its second name, which
    // names the file that was in place when it was made, or by its name where it has none.
    if (!kept.empty() ? VersionOfName(kept) != expected : VersionOfName(target) != expected) {
        parkKept();
        return Swap::Changed;
    }
    if (!LooksUnchanged(target, expected)) {
        parkKept();
        return Swap::Changed;
    }
    if (const auto& hook = RenameHook(); hook) {
        hook(Narrow(target.c_str()).value_or(std::string()));
    }
    // A file that was missing is not replaced: one another program made since stops the
    // rename.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (expected.exists ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(source.c_str(), target.c_str(), flags)) {
        // A rename over a file fails while any program has it open, whatever it shares (a
        // reader too, on Windows as on Wine): that program lets go in a moment.
        const DWORD error = GetLastError();
        parkKept();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            return Swap::Changed;
        }
        return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? Swap::Busy
                                                                                : Swap::Failed;
    }
    if (kept.empty()) {
        return Swap::Done;
    }
    const std::optional<FileVersion> replaced = VersionOfName(kept);
    if (replaced && replaced->sameContents(expected)) {
        RemoveSecondName(kept);
        kept.clear();
        return Swap::Done;
    }
    return Swap::Landed;
}

// Another program wrote into the file a save replaced, after the save's last look and before
// its rename; `kept` names that file. It is put back in place, provided the file there is still
// `put`, the one the save put there, and the save reads the file again and makes its writes
// anew (Changed); a write that lands in the moment before that rename is put back in turn.
// Where the other program has already written into the file the save put in place, its write
// is made on the save's and stays, and the save is done; what it wrote into the file replaced
// is lost then, unless it wrote it again. Such a program writes twice within the few
// milliseconds of a rename, which a program that writes every 30 ms does not.
Outcome PutBack(const std::wstring& target, const std::string& stem, std::wstring kept,
                FileVersion put) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(2);
    bool saved = true;  // the file in place holds the save's writes
    for (;;) {
        const std::optional<FileVersion> landed = VersionOfName(kept);
        std::wstring next;
        const Swap swap = landed ? SwapIn(kept, target, put, stem, next) : Swap::Failed;
        if (swap == Swap::Done) {
            return Outcome::Changed;
        }
        if (swap == Swap::Landed) {
            put = *landed;
            kept = std::move(next);
            saved = false;
            continue;
        }
        if (swap == Swap::Busy && Clock::now() < giveUp) {
            Sleep(1);
            continue;
        }
        RemoveSecondName(kept);
        return saved ? Outcome::Done : Outcome::Changed;
    }
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

// Writes the keys into the file through the profile functions; false when they fail. The
// room `room` holds for the file is let go and the first write made again when that write
// fails: a profile function that shares no writing with the handle that holds the room
// cannot open the file, and nothing of it has changed yet.
bool WriteKeys(const std::string& file, const std::vector<ProfileWrite>& writes,
               Handle* room = nullptr) {
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const ProfileWrite& write = writes[i];
        if (WriteKey(file, write.section, write.key, write.value)) {
            continue;
        }
        if (i == 0 && room != nullptr && room->valid()) {
            room->reset();
            if (WriteKey(file, write.section, write.key, write.value)) {
                continue;
            }
        }
        return false;
    }
    return true;
}

// Gives in `readBack`, write by write, what the profile functions read back for each key
// written: they may read a value otherwise than it was written.
void ReadBack(const std::string& file, const std::vector<ProfileWrite>& writes,
              std::vector<std::optional<Text>>& readBack) {
    readBack.clear();
    for (const ProfileWrite& write : writes) {
        readBack.push_back(FindKey(file, write.section, write.key));
    }
    Flush(file);
}

// Makes sure the file can grow to `length` bytes before the profile functions write into it,
// changing none of its bytes: the volume is asked for the room, which `room` then holds for
// the file until it is let go, or, where the volume takes no room ahead (Wine's), the free
// room of the disk must hold the growth. A file written anew (as Wine's profile functions
// write it, emptied first) gives its room back before it takes the new, so room it already
// has counts. Done when there is room, Failed when there is not or it cannot be told,
// Changed while another program holds the file without sharing its writes.
//
// Wine's profile functions, short of room, write what fits and report success: the file,
// or the copy that takes its place, would be left cut short.
Outcome MakeRoom(const std::wstring& path, const std::string& folder, std::uint64_t length,
                 Handle& room) {
    room.reset(OpenShared(path, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES));
    if (!room.valid()) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? Outcome::Changed : Outcome::Failed;
    }
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(room.get(), FileStandardInfo, &standard, sizeof standard) ||
        standard.EndOfFile.QuadPart < 0 || standard.AllocationSize.QuadPart < 0) {
        return Outcome::Failed;
    }
    const auto size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    const auto allocated = static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
    if (length <= size || length <= allocated) {
        room.reset();  // no growth, or into room the file has
        return Outcome::Done;
    }
    if (length > static_cast<std::uint64_t>(INT64_MAX)) {
        return Outcome::Failed;
    }
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(length);
    if (SetFileInformationByHandle(room.get(), FileAllocationInfo, &allocation,
                                   sizeof allocation)) {
        return Outcome::Done;
    }
    // Refused for want of room (a quota refuses so too, as ERROR_DISK_QUOTA_EXCEEDED, and
    // the free room counted below is what the quota leaves), or not done at all.
    const DWORD error = GetLastError();
    room.reset();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) {
        return Outcome::Failed;
    }
    const std::optional<std::wstring> wideFolder = Wide(folder);
    ULARGE_INTEGER available{};  // to this user, quotas counted
    if (!wideFolder || !GetDiskFreeSpaceExW(wideFolder->c_str(), &available, nullptr, nullptr)) {
        return Outcome::Failed;
    }
    return available.QuadPart >= length - allocated ? Outcome::Done : Outcome::Failed;
}

// The file's length once the writes are in, as the project's reader writes them into
// `document`: the profile functions write the same lines.
std::uint64_t LengthAfter(ProfileDocument& document, const std::vector<ProfileWrite>& writes) {
    for (const ProfileWrite& write : writes) {
        document.write(write.section, write.key, write.value);
    }
    std::uint64_t length = 0;
    for (const std::string_view piece : document.pieces()) {
        length += piece.size();
    }
    return length;
}

// Writes into the file itself, as the profile functions do, where a copy cannot take its
// place: no longer all or nothing. A file that cannot have room for its new length is not
// touched.
Outcome WriteInPlace(const std::string& path, const std::wstring& widePath,
                     const std::string& folder, const FileVersion& read, std::uint64_t length,
                     const std::vector<ProfileWrite>& writes,
                     std::vector<std::optional<Text>>& readBack, FileVersion& written) {
    if (VersionOf(path) != read) {
        return Outcome::Changed;
    }
    Handle room(INVALID_HANDLE_VALUE);
    if (const Outcome made = MakeRoom(widePath, folder, length, room); made != Outcome::Done) {
        return made;
    }
    if (const auto& hook = ReplaceHook(); hook && !hook(path)) {
        return Outcome::Failed;
    }
    if (!WriteKeys(path, writes, &room)) {
        return Outcome::Failed;
    }
    Flush(path);
    room.reset();
    ReadBack(path, writes, readBack);
    if (!FlushToDisk(widePath)) {
        return Outcome::Failed;
    }
    written = VersionOf(path).value_or(FileVersion{});
    return Outcome::Done;
}

// The owner and the access list of a file, as the system gives them.
struct Security {
    LocalMemory descriptor;  // where `owner` and `accessList` are
    PSID owner = nullptr;    // none where the volume keeps no owners
    PACL accessList = nullptr;
    bool listPresent = false;  // with accessList none, a null list: it lets everyone in
    bool isProtected = false;  // the list takes nothing from the folder
};

// Reads the owner and access list of a file opened with READ_CONTROL.
bool ReadSecurity(HANDLE file, Security& security) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (GetSecurityInfo(file, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &security.owner,
                        nullptr, &security.accessList, nullptr,
                        security.descriptor.out()) != ERROR_SUCCESS ||
        !GetSecurityDescriptorControl(security.descriptor.get(), &control, &revision)) {
        return false;
    }
    security.listPresent = (control & SE_DACL_PRESENT) != 0;
    security.isProtected = (control & SE_DACL_PROTECTED) != 0;
    return true;
}

// Whether an access list holds entries of its own, not passed on from the folder.
bool HasOwnEntries(PACL list) {
    ACL_SIZE_INFORMATION size{};
    if (!GetAclInformation(list, &size, sizeof size, AclSizeInformation)) {
        return true;  // cannot tell: kept as it is
    }
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry) ||
            (static_cast<const ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE) == 0) {
            return true;
        }
    }
    return false;
}

// Whether two access lists are the same, entry for entry, both taking from their folder
// or neither.
bool SameList(const Security& one, const Security& other) {
    if (one.listPresent != other.listPresent || one.isProtected != other.isProtected) {
        return false;
    }
    if (one.accessList == nullptr || other.accessList == nullptr) {
        return one.accessList == other.accessList;
    }
    if (one.accessList->AceCount != other.accessList->AceCount) {
        return false;
    }
    for (DWORD i = 0; i < one.accessList->AceCount; ++i) {
        void* mine = nullptr;
        void* theirs = nullptr;
        if (!GetAce(one.accessList, i, &mine) || !GetAce(other.accessList, i, &theirs)) {
            return false;
        }
        const WORD size = static_cast<const ACE_HEADER*>(mine)->AceSize;
        if (static_cast<const ACE_HEADER*>(theirs)->AceSize != size ||
            std::memcmp(mine, theirs, size) != 0) {
            return false;
        }
    }
    return true;
}

// What a copy of the file must be given to take its place as the same file to everyone
// but a reader of its bytes: the file's owner and, where the file has one of its own, its
// access list. A copy belongs to the user who made it, and its access list is what its
// folder passes on to new files.
struct FileIdentity {
    bool known = false;  // false where the volume keeps no owners or access lists
    Security security;
    bool ownAccessList = false;  // protected, or holding entries of its own
};

// Whether a copy put in the file's place by a rename can be the same file to everyone; if
// so, `identity` gets what the copy must be given of it. Not so for a file with more than
// one name (the other names would keep the old file), for one this user may not take away
// from its folder (the rename would fail every time), and for one whose owner and access
// list cannot be read.
bool CopyCanStandIn(const std::wstring& path, FileIdentity& identity) {
    const Handle file(OpenShared(path, FILE_READ_ATTRIBUTES | READ_CONTROL));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info) ||
        info.nNumberOfLinks > 1 + PendingNamesOf(info)) {
        return false;
    }
    {
        const Handle removable(OpenShared(path, DELETE));
        if (!removable.valid() && GetLastError() == ERROR_ACCESS_DENIED) {
            return false;
        }
    }
    if (!KeepsSecurity(file.get())) {
        return true;
    }
    Security& security = identity.security;
    if (!ReadSecurity(file.get(), security)) {
        return false;
    }
    identity.known = true;
    identity.ownAccessList =
        security.listPresent && (security.isProtected || security.accessList == nullptr ||
                                 HasOwnEntries(security.accessList));
    return true;
}

// Gives the copy the file's owner and its own access list where the copy has others. False
// when the system refuses either, or says it has given them and the copy does not have them
// (Wine makes both up from the Unix owner and permissions, and a list set on a file only
// changes those).
bool GiveIdentity(const FileIdentity& identity, const std::wstring& copy) {
    if (!identity.known) {
        return true;
    }
    const Security& file = identity.security;
    Security current;
    {
        const Handle look(OpenShared(copy, READ_CONTROL));
        if (!look.valid() || !ReadSecurity(look.get(), current)) {
            return false;
        }
    }
    const bool newOwner =
        file.owner != nullptr && (current.owner == nullptr || !EqualSid(current.owner, file.owner));
    const bool newList = identity.ownAccessList && !SameList(current, file);
    if (!newOwner && !newList) {
        return true;
    }
    // Opened once for both, while the copy is still this user's: neither change takes away
    // the right to make the other.
    const Handle change(
        OpenShared(copy, READ_CONTROL | (newOwner ? WRITE_OWNER : 0) | (newList ? WRITE_DAC : 0)));
    if (!change.valid()) {
        return false;
    }
    if (newOwner && SetSecurityInfo(change.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                    file.owner, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const SECURITY_INFORMATION list =
        DACL_SECURITY_INFORMATION | (file.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (newList && SetSecurityInfo(change.get(), SE_FILE_OBJECT, list, nullptr, nullptr,
                                   file.accessList, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    Security given;
    return ReadSecurity(change.get(), given) &&
           (file.owner == nullptr ||
            (given.owner != nullptr && EqualSid(given.owner, file.owner))) &&
           (!identity.ownAccessList || SameList(given, file));
}

}  // namespace

std::string SaveTarget(const std::string& path) {
    return path;
}

std::optional<FileVersion> VersionOf(const std::string& path) {
    const std::optional<std::wstring> wide = Wide(path);
    if (!wide) {
        return std::nullopt;
    }
    return VersionOfName(*wide);
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

// A path that converts to no name names no file. Anything else that is there and cannot be
// read as a file is an error, not an empty settings file: a folder (which opens as access
// denied), a file this user may not read, and one another program keeps to itself (a load
// gets here only once it has waited for that program as long as it waits).
std::optional<std::string> ReadWhole(const std::string& path) {
    const Handle file(OpenShared(path, GENERIC_READ));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME) {
            return std::nullopt;
        }
        throw ReadError(path);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        throw ReadError(path);
    }
    std::optional<std::string> bytes = ReadHandle(file.get());
    if (!bytes) {
        throw ReadError(path);
    }
    return bytes;
}

// Windows has no lease, but it tells whether anyone has the file open for writing: an open
// that does not share writing is refused then. The look is held for no longer than it
// takes, so that the tool's own opens are not refused.
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
    const std::size_t nameStart = FileNameStart(path);
    const std::string folder = nameStart == 0 ? std::string(".\\") : path.substr(0, nameStart);
    const std::string fileName = path.substr(nameStart);
    const std::uint64_t length = LengthAfter(document, writes);
    const auto writeInPlace = [&] {
        const Outcome outcome =
            WriteInPlace(path, *widePath, folder, read, length, writes, readBack, written);
        // A second name a killed save left counts as one of the file's names: gone, it lets
        // the next save write a copy again.
        RemoveLeftoverCopies(folder, fileName);
        return outcome;
    };
    FileIdentity identity;
    if (read.exists) {
        if (const Outcome may = MayWrite(*widePath); may != Outcome::Done) {
            return may;
        }
        if (!CopyCanStandIn(*widePath, identity)) {
            return writeInPlace();
        }
    }
    std::optional<std::string> made = CreateCopy(folder, fileName, *widePath);
    if (!made) {
        return GetLastError() == ERROR_ACCESS_DENIED && read.exists ? writeInPlace()
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
    // Given before the writes: this user may read, write and remove the file, and so the
    // copy under the file's owner and access list.
    if (read.exists && !GiveIdentity(identity, copy.wide)) {
        copy.discard();
        return writeInPlace();
    }
    {
        Handle room(INVALID_HANDLE_VALUE);
        if (const Outcome roomMade = MakeRoom(copy.wide, folder, length, room);
            roomMade != Outcome::Done) {
            return roomMade;
        }
        if (!WriteKeys(copy.path, writes, &room)) {
            return Outcome::Failed;
        }
        Flush(copy.path);
    }
    ReadBack(copy.path, writes, readBack);
    // Not between the read and the copy, where the tool's next write would come first.
    RemovePendingNames(*widePath);
    RemoveLeftoverCopies(folder, fileName);
    const auto& hook = ReplaceHook();
    if (!FlushToDisk(copy.wide) || (hook && !hook(copy.path))) {
        return Outcome::Failed;
    }
    // A rename keeps the file and its times: this is the version the file will have.
    written = VersionOf(copy.path).value_or(FileVersion{});
    // The file read, and only that, is replaced: a write of the other program's since the
    // read sends the save back to read it again, and so does another program that has the
    // file open (every open of ours is held for one look or read only, so that no save, of
    // ours or of the tool's, waits for the editor).
    const std::string stem = CopyStem(folder, fileName);
    std::wstring kept;
    switch (SwapIn(copy.wide, *widePath, read, stem, kept)) {
        case Swap::Done:
            copy.putInPlace();
            return Outcome::Done;
        case Swap::Landed:
            copy.putInPlace();
            return PutBack(*widePath, stem, std::move(kept), written);
        case Swap::Changed:
        case Swap::Busy:
            return Outcome::Changed;
        case Swap::Failed:
            break;
    }
    return Outcome::Failed;
}

}  // namespace platform

}  // namespace jnx
