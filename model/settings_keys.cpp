#include "settings_keys.h"

#include <algorithm>
#include <optional>

#include "errors.h"
#include "int_conversion.h"
#include "profile_document.h"
#include "tables.h"

namespace jnx {

namespace {

using KeyKind = ModelPlace::Kind;

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

// A field's text as a load puts it into the model. Throws ConversionError for a course
// text that is not an integer.
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

// The position a spin shows for a text of its field: the integer clamped to the spin's
// range; none for a text that is not an integer.
std::optional<int> SpinPosition(const SpinField& spin, const Text& text) {
    try {
        return std::clamp(StrToInt(text), spin.minimum, spin.maximum);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

}  // namespace

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

void CheckLoadsBack(const SettingsKey& key, const Text& saved) {
    if (key.place.kind != KeyKind::Field || key.place.field != kCourseField) {
        return;
    }
    try {
        static_cast<void>(StrToInt(ProfileDocument::asRead(saved)));
    } catch (const ConversionError&) {
        // The text as the user typed it, blanks included.
        throw ConversionError(saved);
    }
}

void TakeValue(SettingsModel& model, const SettingsKey& key, const Text& value) {
    try {
        LoadValue(model, key, value);
    } catch (const ConversionError&) {
        // LoadValue has left the text read in the field.
    }
}

Text SavedAsTaken(const SettingsKey& key, const Text& value) {
    SettingsModel model;
    TakeValue(model, key, value);
    return SavedValue(model, key);
}

bool SavesAlike(const Text& value, const Text& before, const SettingsKey& key) {
    if (value == before) {
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
    return position && position == SpinPosition(*spin, before);
}

}  // namespace jnx
