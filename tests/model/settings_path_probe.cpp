// Writes the settings file path that this program computes for itself into the file named
// by its one argument. The path tests copy it into folders with awkward names.

#include <fstream>

#include "settings_path.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << jnx::SettingsFilePath();
    out.close();
    return out ? 0 : 1;
}
