#include "settings_file.h"

#include <utility>

#include "errors.h"
#include "int_conversion.h"
#include "profile_file.h"
#include "tables.h"

namespace jnx {

namespace {

// Every read passes one blank as its default.
constexpr std::string_view kDefault = " ";

constexpr std::string_view kDirSection = "Dir";
constexpr std::string_view kBetAutoReadKey = "BetAutoRead";
constexpr std::string_view kPatDataKey = "PatData";
constexpr std::string_view kOptionsSection = "Options";
constexpr std::string_view kPauseKey = "OKStep";

// Every key a save writes, in the order it writes them: for each group "Active" and the
// thirteen fields, then the two folders and the pause option.
constexpr std::size_t kKeysPerGroup = 1 + kFieldCount;
constexpr std::size_t kBetAutoReadIndex = kGroupCount * kKeysPerGroup;
constexpr std::size_t kPatDataIndex = kBetAutoReadIndex + 1;
constexpr std::size_t kPauseIndex = kPatDataIndex + 1;
constexpr std::size_t kSavedKeyCount = kPauseIndex + 1;

struct SavedKey {
    std::string section;
    std::string_view key;
};

const std::vector<SavedKey>& SavedKeys() {
    static const std::vector<SavedKey> keys = [] {
        std::vector<SavedKey> all;
        all.reserve(kSavedKeyCount);
        for (std::size_t g = 0; g < kGroupCount; ++g) {
            all.push_back({GroupSection(g), kActiveKey});
            for (const std::string_view key : FieldKey) {
                all.push_back({GroupSection(g), key});
            }
        }
        all.push_back({std::string(kDirSection), kBetAutoReadKey});
        all.push_back({std::string(kDirSection), kPatDataKey});
        all.push_back({std::string(kOptionsSection), kPauseKey});
        return all;
    }();
    return keys;
}

// The value a key is left with by WriteIni: bet-type names as their codes, course names
// as their numbers, the flags as "True" or "False", every other text verbatim.
Text SavedValue(const SettingsModel& model, std::size_t index) {
    if (index == kBetAutoReadIndex) {
        return model.betAutoReadFolder;
    }
    if (index == kPatDataIndex) {
        return model.patFolder;
    }
    if (index == kPauseIndex) {
        return Text(model.pauseText == kTrueText ? kTrueText : kFalseText);
    }
    const GroupSettings& group = model.group(index / kKeysPerGroup);
    const std::size_t slot = index % kKeysPerGroup;
    if (slot == 0) {
        return Text(group.active ? kTrueText : kFalseText);
    }
    const std::size_t k = slot - 1;
    const Text& field = group.fields[k];
    if (k == kTypeField) {
        if (const auto code = BetTypeCodeByName(field)) {
            return Text(*code);
        }
    } else if (k == kCourseField) {
        if (const auto number = CourseNumberByName(field)) {
            return IntToStr(*number);
        }
    }
    return field;
}

// Refuses a save whose values cannot be stored as they are, before anything is written:
// CR or LF in a value would start lines of their own in the file, which the betting tool
// would read as keys or sections, and a NUL would cut the value short. Every value the
// model would have written is checked, whichever keys a save then keeps from the file.
void CheckStorable(const SettingsModel& model) {
    constexpr std::string_view kUnstorable("\r\n\0", 3);
    const std::vector<SavedKey>& keys = SavedKeys();
    for (std::size_t i = 0; i < kSavedKeyCount; ++i) {
        if (SavedValue(model, i).find_first_of(kUnstorable) != Text::npos) {
            throw UnsafeValueError(keys[i].section, keys[i].key);
        }
    }
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

// Puts a value read from the file into the model as a load does, except that a course
// value that is not an integer stays as read instead of stopping anything: it came from
// another program during a save, and is kept in the file as it is.
void TakeValue(SettingsModel& model, std::size_t index, const Text& value) {
    if (index == kBetAutoReadIndex) {
        model.betAutoReadFolder = value;
        return;
    }
    if (index == kPatDataIndex) {
        model.patFolder = value;
        return;
    }
    if (index == kPauseIndex) {
        model.pauseText = value;
        return;
    }
    GroupSettings& group = model.group(index / kKeysPerGroup);
    const std::size_t slot = index % kKeysPerGroup;
    if (slot == 0) {
        group.active = value == kTrueText;
        return;
    }
    const std::size_t k = slot - 1;
    try {
        group.fields[k] = LoadedField(k, value);
    } catch (const ConversionError&) {
        group.fields[k] = value;
    }
}

std::vector<std::optional<Text>> FindAll(ProfileFile& profile) {
    std::vector<std::optional<Text>> values;
    values.reserve(kSavedKeyCount);
    for (const SavedKey& key : SavedKeys()) {
        values.push_back(profile.find(key.section, key.key));
    }
    return values;
}

void ReadInto(ProfileFile& profile, SettingsModel& model) {
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const std::string section = GroupSection(g);
        GroupSettings& group = model.group(g);
        group.active = profile.read(section, kActiveKey, kDefault) == kTrueText;
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            // A course that is not a number stops the load with the text read in place.
            Text& field = group.fields[k];
            field = profile.read(section, FieldKey[k], kDefault);
            field = LoadedField(k, field);
        }
    }
    model.betAutoReadFolder = profile.read(kDirSection, kBetAutoReadKey, kDefault);
    model.patFolder = profile.read(kDirSection, kPatDataKey, kDefault);
    model.pauseText = profile.read(kOptionsSection, kPauseKey, kDefault);
}

}  // namespace

void ReadIni(SettingsModel& model, const std::string& path) {
    ProfileFile profile(path);
    ReadInto(profile, model);
}

void ReadIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot) {
    ProfileFile profile(path);
    // The file's values first: should another program write between these reads and
    // the model's (the Windows functions read the file afresh each time), the next save
    // sees its value as a change and keeps it.
    std::vector<std::optional<Text>> values = FindAll(profile);
    ReadInto(profile, model);
    snapshot.model_ = model;
    snapshot.fileValues_ = std::move(values);
    snapshot.mustWrite_.assign(kSavedKeyCount, false);
}

void SettingsSnapshot::mustWrite(std::size_t group, std::size_t field) {
    if (!mustWrite_.empty()) {
        mustWrite_.at(group * kKeysPerGroup + 1 + field) = true;
    }
}

void WriteIni(const SettingsModel& model, const std::string& path) {
    CheckStorable(model);
    ProfileFile profile(path);
    const std::vector<SavedKey>& keys = SavedKeys();
    for (std::size_t i = 0; i < kSavedKeyCount; ++i) {
        profile.write(keys[i].section, keys[i].key, SavedValue(model, i));
    }
    profile.commit();
}

std::size_t WriteIni(SettingsModel& model, const std::string& path, SettingsSnapshot& snapshot) {
    if (snapshot.fileValues_.size() != kSavedKeyCount) {
        // Nothing was loaded: there is nothing another program could have changed.
        WriteIni(static_cast<const SettingsModel&>(model), path);
        return 0;
    }
    CheckStorable(model);
    const std::vector<SavedKey>& keys = SavedKeys();
    ProfileFile profile(path);
    std::vector<std::optional<Text>> fileValues(kSavedKeyCount);
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < kSavedKeyCount; ++i) {
        const Text value = SavedValue(model, i);
        if (!snapshot.mustWrite_[i] && value == SavedValue(snapshot.model_, i)) {
            std::optional<Text> current = profile.find(keys[i].section, keys[i].key);
            // The user left this key alone and another program changed it. A key that has
            // gone (or a file that has) is written again: losing it helps nobody.
            if (current && current != snapshot.fileValues_[i]) {
                fileValues[i] = std::move(current);
                kept.push_back(i);
                continue;
            }
        }
        profile.write(keys[i].section, keys[i].key, value);
    }
    // What a read gives back for the written keys, quotes and blanks dropped as a read
    // drops them.
    std::size_t next = 0;
    for (std::size_t i = 0; i < kSavedKeyCount; ++i) {
        if (next < kept.size() && kept[next] == i) {
            ++next;
        } else {
            fileValues[i] = profile.find(keys[i].section, keys[i].key);
        }
    }
    profile.commit();

    for (const std::size_t i : kept) {
        // A missing key reads as the default's text without its blank: empty.
        TakeValue(model, i, fileValues[i].value_or(Text()));
    }
    snapshot.model_ = model;
    snapshot.fileValues_ = std::move(fileValues);
    snapshot.mustWrite_.assign(kSavedKeyCount, false);
    return kept.size();
}

}  // namespace jnx
