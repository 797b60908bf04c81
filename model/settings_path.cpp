// The folder part of a POSIX executable path and the longest settings path on Windows;
// SettingsFilePath itself is in settings_path_linux.cpp and settings_path_win32.cpp.

#include "settings_path.h"

#include "temporary_name.h"

namespace jnx {

std::size_t LongestWindowsSettingsPath() {
    // MAX_PATH counts the terminating NUL. A path in the ANSI code page has at least as
    // many bytes as UTF-16 units, so a limit in bytes holds whichever the system counts.
    constexpr std::size_t kLongestPath = 260 - 1;
    return kLongestPath - LongestTemporaryName(kSettingsFileName) + kSettingsFileName.size();
}

std::string PosixFolderPart(std::string_view path) {
    const std::size_t last = path.rfind('/');
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

}  // namespace jnx
