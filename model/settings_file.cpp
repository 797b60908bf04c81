#include "settings_file.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "errors.h"
#include "int_conversion.h"
#include "profile_document.h"
#include "profile_file.h"
#include "tables.h"

namespace jnx {

namespace {

// Every read passes one blank as its default.
constexpr std::string_view kDefault = " ";

using KeyKind = ModelPlace::Kind;

struct SettingsKey {
    std::string section;
    std::string_view key;
    ModelPlace place;
};

// Every key of the settings, in the order a load reads them and a save writes them: for
// each group "Active" and the thirteen fields, then the two folders and the pause option.
const std::vector<SettingsKey>& SettingsKeys() {
    static const std::vector<SettingsKey> keys = [] {
        std::vector<SettingsKey> all;
        all.reserve(kGroupCount * (1 + kFieldCount) + 3);
        for (std::size_t g = 0; g < kGroupCount; ++g) {
            const std::string section = GroupSection(g);
            all.push_back({section, kActiveKey, {KeyKind::Active, g, 0}});
            for (std::size_t k = 0; k < kFieldCount; ++k) {
                all.push_back({section, FieldKey[k], {KeyKind::Field, g, k}});
            }
        }
        all.push_back({"Dir", "BetAutoRead", {KeyKind::BetAutoRead, 0, 0}});
        all.push_back({"Dir", "PatData", {KeyKind::PatData, 0, 0}});
        all.push_back({"Options", "OKStep", {KeyKind::Pause, 0, 0}});
        return all;
    }();
    return keys;
}

// A field's text as a save writes it: a bet-type name as its code, a course name as its
// number, any other text verbatim.
Text SavedField(std::size_t k, const Text& text) {
    if (k == kTypeField) {
        if (const auto code = BetTypeCodeByName(text)) {
            return Text(*code);
        }
    } else if (k == kCourseField) {
        if (const auto number = CourseNumberByName(text)) {
            return IntToStr(*number);
        }
    }
    return text;
}

// The value a key is left with by WriteIni: the fields as SavedField gives them, the flags
// as "True" or "False", the folders verbatim.
Text SavedValue(const SettingsModel& model, const SettingsKey& key) {
    const ModelPlace& place = key.place;
    switch (place.kind) {
        case KeyKind::Active:
            return Text(model.group(place.group).active ? kTrueText : kFalseText);
        case KeyKind::Field:
            return SavedField(place.field, model.group(place.group).fields[place.field]);
        case KeyKind::BetAutoRead:
            return model.betAutoReadFolder;
        case KeyKind::PatData:
            return model.patFolder;
        case KeyKind::Pause:
            return Text(model.pauseText == kTrueText ? kTrueText : kFalseText);
    }
    return {};  // not reached: every kind returns above
}

// The value of every key as WriteIni writes it, in table order. Refuses a save whose
// values cannot be stored as they are, before anything is written: CR or LF in a value
// would start lines of their own in the file, which the betting tool would read as keys
// or sections, and a NUL would cut the value short. Every value the model would have
// written is checked, whichever keys a save then keeps from the file.
std::vector<Text> StorableValues(const SettingsModel& model) {
    constexpr std::string_view kUnstorable("\r\n\0", 3);
    const std::vector<SettingsKey>& keys = SettingsKeys();
    std::vector<Text> values;
    values.reserve(keys.size());
    for (const SettingsKey& key : keys) {
        Text& value = values.emplace_back(SavedValue(model, key));
        if (value.find_first_of(kUnstorable) != Text::npos) {
            throw UnsafeValueError(key.section, key.key);
        }
    }
    return values;
}

// A field's text as a load puts it into the model: a bet-type code becomes its name, a
// course number its course; numbers without a course (0, 11, -3 …) and any other text
// stay as read. Throws ConversionError for a course text that is not an integer.
Text LoadedField(std::size_t k, Text value) {
    if (k == kTypeField) {
        if (const auto name = BetTypeNameByCode(value)) {
            return Text(*name);
        }
    } else if (k == kCourseField) {
        if (const auto name = CourseNameByNumber(StrToInt(value))) {
            return Text(*name);
        }
    }
    return value;
}

// Puts a value read from the file into the model as a load does. A course text that is
// not an integer throws ConversionError and is left in the model as read.
void LoadValue(SettingsModel& model, const SettingsKey& key, const Text& value) {
    const ModelPlace& place = key.place;
    switch (place.kind) {
        case KeyKind::Active:
            model.group(place.group).active = value == kTrueText;
            return;
        case KeyKind::Field: {
            Text& field = model.group(place.group).fields[place.field];
            field = value;
            field = LoadedField(place.field, field);
            return;
        }
        case KeyKind::BetAutoRead:
            model.betAutoReadFolder = value;
            return;
        case KeyKind::PatData:
            model.patFolder = value;
            return;
        case KeyKind::Pause:
            model.pauseText = value;
            return;
    }
}

// Puts a value read from the file into the model as a load does, except that a course
// value that is not an integer stays as read instead of stopping anything: it came from
// another program during a save, and is kept in the file as it is.
void TakeValue(SettingsModel& model, const SettingsKey& key, const Text& value) {
    try {
        LoadValue(model, key, value);
    } catch (const ConversionError&) {
        // LoadValue has left the text read in the field.
    }
}

// The position a spin shows for a text of its field: the integer clamped to the spin's
// range; none for a text that is not an integer.
std::optional<int> SpinPosition(const SpinField& spin, const Text& text) {
    try {
        return std::clamp(StrToInt(text), spin.minimum, spin.maximum);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

// Whether `value`, the key's text as the model would save it, is the text the snapshot's
// model would save, or for a spin's field an integer that the spin shows as the same
// position.
bool Unchanged(const Text& value, const SettingsModel& before, const SettingsKey& key) {
    const Text old = SavedValue(before, key);
    if (value == old) {
        return true;
    }
    if (key.place.kind != KeyKind::Field) {
        return false;
    }
    const std::optional<SpinField> spin = SpinOfField(key.place.field);
    if (!spin) {
        return false;
    }
    const std::optional<int> position = SpinPosition(*spin, value);
    return position && position == SpinPosition(*spin, old);
}

std::vector<std::optional<Text>> FindAll(ProfileFile& profile) {
    std::vector<std::optional<Text>> values;
    values.reserve(SettingsKeys().size());
    for (const SettingsKey& key : SettingsKeys()) {
        values.push_back(profile.find(key.section, key.key));
    }
    return values;
}

// Reads the keys in table order; a course that is not a number stops the load there, with
// the text read in place and every later key of the model as it was.
void ReadInto(ProfileFile& profile, SettingsModel& model) {
    for (const SettingsKey& key : SettingsKeys()) {
        LoadValue(model, key, profile.read(key.section, key.key, kDefault));
    }
}

}  // namespace

void ReadIni(SettingsModel& model, const std::string& path) {
    ProfileFile profile(path);
    ReadInto(profile, model);
}

void ReadIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot) {
    ProfileFile profile(path);
    // One read of each key gives the model and the snapshot alike, so that they agree
    // even where another program writes between two reads (the Windows functions read
    // the file afresh each time): a missing key reads as the default's text without its
    // blank, empty. A course that is not a number stops the load as ReadInto does.
    const std::vector<SettingsKey>& keys = SettingsKeys();
    std::vector<std::optional<Text>> values = FindAll(profile);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        LoadValue(model, keys[i], values[i].value_or(Text()));
    }
    snapshot.model_ = model;
    snapshot.fileValues_ = std::move(values);
    snapshot.mustWrite_.assign(SettingsKeys().size(), false);
}

void SettingsSnapshot::mustWrite(std::size_t group, std::size_t field) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    const auto found = std::find_if(keys.begin(), keys.end(), [&](const SettingsKey& key) {
        return key.place == ModelPlace{KeyKind::Field, group, field};
    });
    if (found == keys.end()) {
        throw std::out_of_range("SettingsSnapshot::mustWrite: no such field");
    }
    if (!mustWrite_.empty()) {  // empty until a load
        mustWrite_[static_cast<std::size_t>(found - keys.begin())] = true;
    }
}

void WriteIni(const SettingsModel& model, const std::string& path) {
    const std::vector<Text> values = StorableValues(model);
    ProfileFile profile(path);
    const std::vector<SettingsKey>& keys = SettingsKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        profile.write(keys[i].section, keys[i].key, values[i]);
    }
    profile.commit();
}

std::size_t WriteIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    if (snapshot.fileValues_.size() != keys.size()) {
        // Nothing was loaded: there is nothing another program could have changed.
        WriteIni(static_cast<const SettingsModel&>(model), path);
        return 0;
    }
    const std::vector<Text> values = StorableValues(model);
    ProfileFile profile(path);
    std::vector<std::optional<Text>> fileValues(keys.size());
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const SettingsKey& key = keys[i];
        const Text& value = values[i];
        if (!snapshot.mustWrite_[i] && Unchanged(value, snapshot.model_, key)) {
            std::optional<Text> current = profile.find(key.section, key.key);
            // The user left this key alone and another program changed it. A key that has
            // gone (or a file that has) is written again: losing it helps nobody.
            if (current && current != snapshot.fileValues_[i]) {
                fileValues[i] = std::move(current);
                kept.push_back(i);
                continue;
            }
        }
        profile.write(key.section, key.key, value);
    }
    // What a read gives back for the written keys, quotes and blanks dropped as a read
    // drops them.
    std::size_t next = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (next < kept.size() && kept[next] == i) {
            ++next;
        } else {
            fileValues[i] = profile.findWritten(keys[i].section, keys[i].key, values[i]);
        }
    }
    profile.commit();

    for (const std::size_t i : kept) {
        // A missing key reads as the default's text without its blank: empty.
        TakeValue(model, keys[i], fileValues[i].value_or(Text()));
    }
    snapshot.model_ = model;
    snapshot.fileValues_ = std::move(fileValues);
    snapshot.mustWrite_.assign(keys.size(), false);
    return kept.size();
}

RefreshResult RefreshIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot,
                         const std::function<bool(const ModelPlace&)>& busy) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    RefreshResult result;
    if (snapshot.fileValues_.size() != keys.size()) {
        return result;  // nothing was loaded
    }
    // One read of the whole file, read as the profile functions read it.
    const std::optional<std::string> bytes = ReadProfileBytes(path);
    if (!bytes) {
        return result;  // gone or unreadable for now: the next change is read again
    }
    ProfileDocument document(*bytes);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const SettingsKey& key = keys[i];
        if (snapshot.mustWrite_[i] || !Unchanged(SavedValue(model, key), snapshot.model_, key)) {
            continue;  // the user's value: the next save writes it
        }
        std::optional<Text> current = document.find(key.section, key.key);
        if (!current || current == snapshot.fileValues_[i]) {
            continue;
        }
        if (busy(key.place)) {
            result.passedBusy = true;
            continue;
        }
        TakeValue(model, key, *current);
        TakeValue(snapshot.model_, key, *current);
        snapshot.fileValues_[i] = std::move(current);
        result.taken.push_back(key.place);
    }
    return result;
}

}  // namespace jnx
