// The settings file's place on Windows: the folder of the module's own file name, cut
// after its last "\" (a "\" that is the trail byte of a double-byte character, as in
// "ソ", does not count).

#include <windows.h>

#include "settings_path.h"

namespace jnx {

std::string SettingsFilePath() {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return WindowsFolderPart(buffer) + std::string(kSettingsFileName);
}

}  // namespace jnx
