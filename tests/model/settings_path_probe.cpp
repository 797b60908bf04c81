// Writes the settings file path that this program computes for itself into the file named
// by its one argument. The path tests copy it into folders with awkward names.
//
// A folder whose settings file cannot be reached ends it with 3, having written the read
// error's message, a line break and the UTF-16 name it names the file by (two bytes a unit,
// low byte first).

#include <fstream>

#include "errors.h"
#include "settings_path.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    int status = 0;
    try {
        out << jnx::SettingsFilePath();
    } catch (const jnx::ReadError& error) {
        out << error.message() << '\n';
        for (const char16_t unit : error.widePath()) {
            out.put(static_cast<char>(unit & 0xFF)).put(static_cast<char>(unit >> 8));
        }
        status = 3;
    }
    out.close();
    return out ? status : 1;
}
