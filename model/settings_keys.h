#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings_model.h"
#include "text.h"

namespace jnx {

// Where one key of the settings lives in the model.
struct ModelPlace {
    enum class Kind { Active, Field, BetAutoRead, PatData, Pause };
    Kind kind = Kind::Active;
    std::size_t group = 0;  // Active and Field
    std::size_t field = 0;  // Field: the field's index in FieldKey

    friend bool operator==(const ModelPlace&, const ModelPlace&) = default;
};

// One key of the settings file that the editor reads and writes.
struct SettingsKey {
    std::string section;
    std::string_view key;
    ModelPlace place;
};

// Every key of the settings, in the order a load reads them and a save writes them: for
// each group "Active" and the thirteen fields, then the two folders and the pause option.
const std::vector<SettingsKey>& SettingsKeys();

// The value a save writes for the key: a bet-type name as its code, a course name as its
// number, the flags as "True" or "False", every other text verbatim.
Text SavedValue(const SettingsModel& model, const SettingsKey& key);

// The value of every key as a save writes it, in table order. Throws UnsafeValueError for
// the first value holding CR, LF or NUL: it would start lines of its own in the file, which
// the betting tool would read as keys or sections, or be cut short.
std::vector<Text> StorableValues(const SettingsModel& model);

// Throws ConversionError naming `saved`, the key's value as a save writes it, when the next
// load would stop at it: a course that is neither one of the ten names nor an integer once
// read back (a misspelt name, a name with a blank after it, an empty box). The betting tool
// reads the key as a number too.
void CheckLoadsBack(const SettingsKey& key, const Text& saved);

// Puts a value read from the file into the model as a load does: a bet-type code becomes
// its name, a course number its course; numbers without a course and any other text stay
// as read. A course text that is not an integer throws ConversionError and is left in the
// model as read.
void LoadValue(SettingsModel& model, const SettingsKey& key, const Text& value);

// LoadValue for a value another program wrote while the editor was open: a course that is
// not an integer stays as text instead of stopping anything.
void TakeValue(SettingsModel& model, const SettingsKey& key, const Text& value);

// What a save writes for the key once `value`, read from the file, has been taken into the
// model (TakeValue): the text a value read from the file stands for.
Text SavedAsTaken(const SettingsKey& key, const Text& value);

// Whether `value`, the key's text as a save would write it, is `before` (another such
// text), or for a spin's field an integer that the spin shows at the same position (012
// and 12, or 1200 and 1000 for the maximum step): storing a page turns the one into the
// other, and nobody asked for that.
bool SavesAlike(const Text& value, const Text& before, const SettingsKey& key);

}  // namespace jnx
