#pragma once

#include <optional>
#include <string>
#include <vector>

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

// The settings file as the editor last read or wrote it, so that a save can tell the keys
// another program (the betting tool, which runs beside the editor) has changed since.
// For every key a save writes it holds the value a read returned (none when the file
// lacked the key) and the model as it stood then.
class SettingsSnapshot {
public:
    // Makes the next save write the group's field whatever the file holds by then, even
    // when the field's text is the one loaded: the resets set their values on purpose.
    // Throws std::out_of_range for a group or field index out of range.
    void mustWrite(std::size_t group, std::size_t field);

private:
    friend void ReadIni(SettingsModel&, const std::string&, SettingsSnapshot&);
    friend std::size_t WriteIni(SettingsModel&, const std::string&, SettingsSnapshot&);

    SettingsModel model_;
    std::vector<std::optional<Text>> fileValues_;
    std::vector<bool> mustWrite_;
};

// ReadIni that also keeps what it read. The snapshot changes only when the load
// completes.
void ReadIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot);

// WriteIni that leaves alone what another program changed since the snapshot: a key
// whose text the model would write unchanged from the snapshot's model (and that is not
// marked mustWrite) keeps the file's current value when the file holds the key with
// another value than the snapshot's, and the model takes that value as a load would. Every other
// key is written as WriteIni writes it, so with no other writer the file gets the same bytes. After
// the save the snapshot describes the file as written. Gives the number of keys kept from the file.
// Throws WriteError, or UnsafeValueError as WriteIni does; the file, the model and the
// snapshot are then left as they were.
std::size_t WriteIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot);

}  // namespace jnx
