// The settings file's place on Linux: the folder of /proc/self/exe's target, cut at its
// last "/" byte. Linux paths are UTF-8, many of whose bytes look like code page 932 lead
// bytes; read as code page 932, "設定/" would hide its "/" inside a character.

#include <filesystem>
#include <system_error>

#include "settings_path.h"

namespace jnx {

std::string SettingsFilePath() {
    std::error_code error;
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe", error).string();
    // Without the executable's path the file is looked up in the current folder, as the
    // Windows function does when the module name cannot be had.
    return PosixFolderPart(error ? std::string() : executable) + std::string(kSettingsFileName);
}

}  // namespace jnx
