#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings_model.h"
#include "text.h"

namespace jnx {

class ProfileFile;

// Every key of the settings as the file holds it, in the order of SettingsKeys(); none
// where the file lacks the key.
std::vector<std::optional<Text>> ReadKeys(ProfileFile& profile);

// Puts values ReadKeys gave into the model as a load does, in the same order: type codes
// become bet-type names and course numbers course names; a key the file lacks reads as
// the profile functions give back the default " ", the empty text. A "Bb" text that is
// not an integer throws ConversionError; the load then stops there, with that text in
// place and the rest of the model as it was.
void LoadKeys(SettingsModel& model, const std::vector<std::optional<Text>>& values);

// Fills the model from the settings file, once it has settled (see ProfileFile), group by
// group in GroupName order, then the two folders and the pause option, as LoadKeys does.
void ReadIni(SettingsModel& model, const std::string& path);

// Writes the whole model into the settings file key by key through the editor's own save
// (SaveProfile): bet-type names as their codes, course names as their numbers, every other
// text verbatim. Keys and sections it does not write keep their bytes. Throws WriteError;
// the file is then left as it was. A value holding CR, LF or NUL throws UnsafeValueError
// naming its key, and a course the next load could not read back throws ConversionError
// naming the text (CheckLoadsBack), before anything is written.
void WriteIni(const SettingsModel& model, const std::string& path);

}  // namespace jnx
