// The settings file's place on Windows: the folder of the module's own file name, cut
// after its last "\", and the file's name in the ANSI code page, as the profile functions
// take it.
//
// The module's name is asked for in UTF-16, where a "\" is always a separator (in code
// page 932 it may be the trail byte of "ソ" or "表"), and converted whole or not at all.
// The ANSI name the system itself would give stands in for a character the code page lacks
// with "?" or with a look-alike ("é" as "e", "¥" as "\"): a path to no file, or to another
// file, which a save would write.

#include <windows.h>

#include <climits>
#include <optional>
#include <string>

#include "errors.h"
#include "settings_path.h"

namespace jnx {

namespace {

// The running executable's full name; empty when the system does not give it.
std::wstring ModuleFileName() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() > 0x10000) {
            return std::wstring();  // longer than any name the system has
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The name in the ANSI code page with the flags given, and whether a character of it had
// no code there.
std::string ToAnsi(const std::wstring& name, DWORD flags, BOOL& lossy) {
    lossy = FALSE;
    if (name.empty() || name.size() > INT_MAX / 2) {
        lossy = !name.empty();
        return std::string();
    }
    const int size = static_cast<int>(name.size());
    const int length =
        WideCharToMultiByte(CP_ACP, flags, name.data(), size, nullptr, 0, nullptr, &lossy);
    std::string ansi(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length <= 0 || WideCharToMultiByte(CP_ACP, flags, name.data(), size, ansi.data(), length,
                                           nullptr, &lossy) != length) {
        lossy = TRUE;
    }
    return ansi;
}

// The name as it was, converted back from the ANSI code page.
bool ReadsBackAs(const std::string& ansi, const std::wstring& name) {
    const int size = static_cast<int>(ansi.size());
    const int length =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::wstring back(static_cast<std::size_t>(length), L'\0');
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), size, back.data(),
                               length) == length &&
           back == name;
}

// The name in the ANSI code page, character for character; none when a character has no
// code there.
std::optional<std::string> ExactAnsi(const std::wstring& name) {
    BOOL lossy = FALSE;
    std::string ansi = ToAnsi(name, WC_NO_BEST_FIT_CHARS, lossy);
    if (lossy || !ReadsBackAs(ansi, name)) {
        return std::nullopt;
    }
    return ansi;
}

}  // namespace

std::string SettingsFilePath() {
    const std::wstring module = ModuleFileName();
    // Without the module's name the file is looked up in the current folder.
    const std::size_t separator = module.rfind(L'\\');
    const std::wstring folder =
        separator == std::wstring::npos ? std::wstring() : module.substr(0, separator + 1);
    const std::wstring path =
        folder + std::wstring(kSettingsFileName.begin(), kSettingsFileName.end());
    const std::optional<std::string> ansi = ExactAnsi(path);
    if (!ansi || ansi->size() > LongestWindowsSettingsPath()) {
        // Named in the message by what the code page has of it, "?" for the rest.
        BOOL lossy = FALSE;
        throw ReadError(ansi ? *ansi : ToAnsi(path, WC_NO_BEST_FIT_CHARS, lossy),
                        std::u16string(path.begin(), path.end()));
    }
    return *ansi;
}

}  // namespace jnx
