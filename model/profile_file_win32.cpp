// The profile file on Windows: every call goes to the system's own profile functions,
// which read and write the file in the ANSI code page (932 on a Japanese system).

#include <windows.h>

#include <string_view>
#include <vector>

#include "errors.h"
#include "profile_file.h"

namespace jnx {

namespace {

// Puts what the system's profile cache holds for the file into it. Never throws.
void Flush(const std::string& path) noexcept {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

}  // namespace

struct ProfileFile::State {};

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

// Flushes the profile cache on every way out, the failed writes and loads included, so
// that nothing this object wrote waits in the cache after it is gone.
ProfileFile::~ProfileFile() {
    Flush(path_);
}

void ProfileFile::setReplaceHookForTesting(ReplaceHook /*hook*/) {}

Text ProfileFile::read(std::string_view section, std::string_view key,
                       std::string_view defaultValue) {
    std::vector<char> buffer(kReadBufferSize);
    const DWORD length = GetPrivateProfileStringA(
        std::string(section).c_str(), std::string(key).c_str(), std::string(defaultValue).c_str(),
        buffer.data(), static_cast<DWORD>(buffer.size()), path_.c_str());
    // A value cut at the end of the buffer counts as kReadBufferSize - 1 bytes even where
    // a double-byte character was left out whole: the text ends at the terminating NUL.
    const std::string_view text(buffer.data(), length);
    return Text(text.substr(0, text.find('\0')));
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    if (!WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                    std::string(value).c_str(), path_.c_str())) {
        throw WriteError(path_);
    }
}

void ProfileFile::commit() {
    Flush(path_);
}

}  // namespace jnx
