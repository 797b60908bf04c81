// Loads the settings file that lies beside the executable and reports what it holds.

#include <cstdio>
#include <exception>

#include "settings_file.h"
#include "settings_model.h"

int main() {
    const std::string path = jnx::SettingsFilePath();
    std::printf("Settings file: %s\n", path.c_str());
    jnx::SettingsModel model;
    try {
        jnx::ReadIni(model, path);
    } catch (const std::exception& error) {
        // The message is in code page 932, as the settings file is.
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    int active = 0;
    for (const jnx::GroupSettings& group : model.groups) {
        active += group.active ? 1 : 0;
    }
    std::printf("36 groups read, %d active\n", active);
    return 0;
}
