#include "settings_file.h"

#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "settings_keys.h"

namespace jnx {

std::vector<std::optional<Text>> ReadKeys(ProfileFile& profile) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    std::vector<std::optional<Text>> values;
    values.reserve(keys.size());
    for (const SettingsKey& key : keys) {
        values.push_back(profile.find(key.section, key.key));
    }
    return values;
}

void LoadKeys(SettingsModel& model, const std::vector<std::optional<Text>>& values) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
        // Every read passes one blank as its default, which the profile functions give back
        // without its trailing blanks: empty.
        LoadValue(model, keys[i], values[i].value_or(Text()));
    }
}

void ReadIni(SettingsModel& model, const std::string& path) {
    ProfileFile profile(path);
    LoadKeys(model, ReadKeys(profile));
}

void WriteIni(const SettingsModel& model, const std::string& path) {
    const std::vector<Text> values = StorableValues(model);
    const std::vector<SettingsKey>& keys = SettingsKeys();
    SaveProfile(path, [&](ProfileDocument& /*file*/) {
        std::vector<ProfileWrite> writes;
        writes.reserve(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            CheckLoadsBack(keys[i], values[i]);
            writes.push_back({keys[i].section, keys[i].key, values[i]});
        }
        return writes;
    });
}

}  // namespace jnx
