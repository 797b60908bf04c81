#pragma once

#include <string>

#include "settings_model.h"

namespace jnx {

// Fills the model from the settings file, group by group in GroupName order, then the
// two folders and the pause option. Type codes become bet-type names and course numbers
// course names. A "Bb" text that is not an integer throws ConversionError; the load then
// stops there, leaving the rest of the model as it was.
void ReadIni(SettingsModel& model, const std::string& path);

// Writes the whole model into the settings file key by key: bet-type names as their
// codes, course names as their numbers, every other text verbatim. Keys and sections it
// does not write keep their bytes. Throws WriteError; the file is then left as it was.
// A value holding CR, LF or NUL throws UnsafeValueError naming its key before anything is
// written.
void WriteIni(const SettingsModel& model, const std::string& path);

}  // namespace jnx
