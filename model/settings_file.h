#pragma once

#include <string>

#include "settings_model.h"

namespace jnx {

// The settings file's name; it lies in the folder of the program's own executable.
inline constexpr std::string_view kSettingsFileName = "Jnx.ini";

// The folder of the running executable, with its trailing separator ("\" on Windows,
// found double-byte aware; "/" elsewhere), followed by "Jnx.ini". Computed afresh on
// every call.
std::string SettingsFilePath();

// The folder part of a path: everything up to and including its last separator, a "\"
// that is the trail byte of a double-byte character not counting. Empty when there is
// no separator.
std::string FolderPart(std::string_view path, char separator);

// Fills the model from the settings file, group by group in GroupName order, then the
// two folders and the pause option. Type codes become bet-type names and course numbers
// course names. A "Bb" text that is not an integer throws ConversionError; the load then
// stops there, leaving the rest of the model as it was.
void ReadIni(SettingsModel& model, const std::string& path);

// Writes the whole model into the settings file key by key: bet-type names as their
// codes, course names as their numbers, every other text verbatim. Keys and sections it
// does not write keep their bytes. Throws WriteError; the file is then left as it was.
void WriteIni(const SettingsModel& model, const std::string& path);

}  // namespace jnx
