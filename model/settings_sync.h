#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings_keys.h"
#include "settings_model.h"
#include "text.h"

namespace jnx {

// What a refresh changed.
struct RefreshResult {
    std::vector<ModelPlace> taken;  // the keys whose file value the model took, in table order
    bool passedBusy = false;        // a changed key was left for later: its control was busy
    bool fileBusy = false;  // another program was writing the file: nothing read; read again
};

// Keeps the settings model in step with the settings file while the betting tool, running
// beside the editor, writes the same file: loads it, follows the tool's writes, and saves
// only what the user changed.
//
// Each key has a base: the file's value the user's value is judged against. A load and a
// save set it; a refresh that finds the tool changed the key moves it to the file's new
// value, whether the model takes that value too (the user has not changed the key) or
// keeps the user's. The user has changed a key when the value a save would write differs
// from what its base loads as (SavesAlike: a spin's position counts, not its text), or
// when the user typed or chose its value or reset it since the last load or save, even
// back to the value it had. The window reports what the user did by storing the rows into
// the model and by marking the keys the user edited and the resets; it never decides what
// a save writes.
class SettingsSync {
public:
    // Whether the control that shows a key is in the user's hands (focused, its list
    // open, an input-method composition in it).
    using BusyTest = std::function<bool(const ModelPlace&)>;

    explicit SettingsSync(SettingsModel& model) : model_(model) {}

    // Fills the model from the file as ReadIni does, once the file has settled (a file
    // another program is writing is waited for, up to SaveSettleTimes().limit), and takes
    // the values read as the bases. Throws ConversionError as ReadIni does; the bases are
    // then left as they were.
    void load(const std::string& path);

    // Whether a load has completed.
    [[nodiscard]] bool loaded() const { return !bases_.empty(); }

    // Follows the other program's writes: reads the file once (never holding up the other
    // program's writes, and never waiting: a file another program has open for writing is
    // not read, and `fileBusy` says to read it again in a moment), and for every key the file holds
    // with another value than its base, moves the base there, and takes the value into the model
    // (converted as a load converts it; a course that is not an integer stays as text) unless the
    // user has changed the key. A key whose control `busy` says is in the user's hands and that the
    // user has not changed keeps its base and its value, and is taken by a later refresh, once the
    // user has let go of it, or kept by a save. A key the file lacks, or a file that is gone or
    // cannot be read, changes nothing. Never throws for the file; does nothing before a
    // load.
    RefreshResult refresh(const std::string& path, const BusyTest& busy);

    // Makes the next save write the group's field whatever the file holds by then: the
    // resets set their values on purpose. Throws std::out_of_range for a group or field
    // index out of range.
    void markReset(std::size_t group, std::size_t field);

    // Makes the key the user's until the next load or save: the user typed or chose its
    // value, even one equal to the file's. A refresh no longer takes the tool's value of it,
    // and the next save writes it whatever the file holds by then. Throws std::out_of_range
    // for a place no key has. Does nothing before a load.
    void markEdited(const ModelPlace& place);

    // Writes exactly the keys the user has changed, the keys marked by the resets and the
    // keys the file lacks, into the file as it is once it has settled (SaveProfile); every
    // other key keeps the file's bytes, and the model takes its value where the tool
    // changed it. A save with nothing to write leaves the file untouched. Gives the keys
    // whose file value the model took. Afterwards the bases are the file's values.
    // Throws UnsafeValueError before anything is written when a value holds CR, LF or
    // NUL, ConversionError when a course it would write could not be loaded back
    // (CheckLoadsBack), and WriteError when the file cannot be written; the file, the model and the
    // bases are then left as they were. Before a load it writes every key, as WriteIni.
    std::vector<ModelPlace> save(const std::string& path);

private:
    // Whether the user has changed the key: marked by a reset, or its value saves otherwise
    // than its base loads and saves.
    [[nodiscard]] bool changedByUser(std::size_t i, const Text& saved) const;

    // One key's base.
    struct Base {
        std::optional<Text> inFile;  // as the file holds it; none where the file lacked it
        Text saved;                  // what a save would write for it, as the model takes it
    };

    SettingsModel& model_;
    std::vector<Base> bases_;   // by key, in table order; empty until a load completes
    std::vector<bool> marked_;  // by key: edited or reset, written by the next save
};

}  // namespace jnx
