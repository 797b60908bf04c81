// The folder parts of executable paths, on either system; SettingsFilePath itself is in
// settings_path_linux.cpp and settings_path_win32.cpp.

#include "settings_path.h"

#include "cp932.h"

namespace jnx {

std::string WindowsFolderPart(std::string_view path) {
    const std::size_t last = cp932::FindLastChar(path, '\\');
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string PosixFolderPart(std::string_view path) {
    const std::size_t last = path.rfind('/');
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

}  // namespace jnx
