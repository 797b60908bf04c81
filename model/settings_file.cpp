#include "settings_file.h"

#include <vector>

#include "errors.h"
#include "profile_file.h"
#include "settings_keys.h"

namespace jnx {

namespace {

// Every read passes one blank as its default.
constexpr std::string_view kDefault = " ";

}  // namespace

void ReadIni(SettingsModel& model, const std::string& path) {
    ProfileFile profile(path);
    // A course that is not a number stops the load there, with the text read in place and
    // every later key of the model as it was.
    for (const SettingsKey& key : SettingsKeys()) {
        LoadValue(model, key, profile.read(key.section, key.key, kDefault));
    }
}

void WriteIni(const SettingsModel& model, const std::string& path) {
    const std::vector<Text> values = StorableValues(model);
    try {
        ProfileFile profile(path);
        const std::vector<SettingsKey>& keys = SettingsKeys();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            profile.write(keys[i].section, keys[i].key, values[i]);
        }
        profile.commit();
    } catch (const ReadError&) {
        // A file that cannot be read cannot be written key by key either.
        throw WriteError(path);
    }
}

}  // namespace jnx
