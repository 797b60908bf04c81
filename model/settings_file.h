#pragma once

#include <cstddef>
#include <functional>
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

// Where one key of the settings lives in the model.
struct ModelPlace {
    enum class Kind { Active, Field, BetAutoRead, PatData, Pause };
    Kind kind = Kind::Active;
    std::size_t group = 0;  // Active and Field
    std::size_t field = 0;  // Field: the field's index in FieldKey

    friend bool operator==(const ModelPlace&, const ModelPlace&) = default;
};

// What a refresh changed.
struct RefreshResult {
    std::vector<ModelPlace> taken;  // the keys whose file value the model took, in table order
    bool passedBusy = false;        // a changed key was left for later: its control was busy
};

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
    friend RefreshResult RefreshIni(SettingsModel&, const std::string&, SettingsSnapshot&,
                                    const std::function<bool(const ModelPlace&)>&);

    SettingsModel model_;
    std::vector<std::optional<Text>> fileValues_;
    std::vector<bool> mustWrite_;
};

// ReadIni that also keeps what it read. The snapshot changes only when the load
// completes.
void ReadIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot);

// Whether the user has changed a value since the snapshot is judged by the text a save would
// write, except that two texts of a spin's field that show as the same position (012 and
// 12, or 1200 and 1000 for the maximum step) count as the same: storing a page turns the
// one into the other, and nobody asked for that.

// WriteIni that leaves alone what another program changed since the snapshot: a key
// whose text the model would write unchanged from the snapshot's model (and that is not
// marked mustWrite) keeps the file's current value when the file holds the key with
// another value than the snapshot's, and the model takes that value as a load would. Every other
// key is written as WriteIni writes it, so with no other writer the file gets the same bytes. After
// the save the snapshot describes the file as written. Gives the number of keys kept from the file.
// Throws WriteError, or UnsafeValueError as WriteIni does; the file, the model and the
// snapshot are then left as they were.
std::size_t WriteIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot);

// Follows another program's writes while the editor is open. Reads the file once, as a
// ProfileDocument (so never holding up another program's write of it), and for every key
// that the user has not changed since the snapshot (as a save judges it) and that the file
// now holds with another value than the snapshot's, takes the file's value into the model
// and into the snapshot's model, converted as a load converts it (a course that is not an
// integer stays as text; nothing throws for it). A key the file lacks (or a file that is
// gone or cannot be read) changes nothing, and so does a key for which `busy` answers true;
// its file value is taken by a later refresh or kept by a save. The snapshot then records
// the file values taken, so that the echo of the editor's own save takes nothing and a
// later save keeps the rule exact. Does nothing before a load.
RefreshResult RefreshIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot,
                         const std::function<bool(const ModelPlace&)>& busy);

}  // namespace jnx
