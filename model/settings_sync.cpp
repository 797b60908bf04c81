#include "settings_sync.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "profile_document.h"
#include "profile_file.h"
#include "settings_file.h"

namespace jnx {

void SettingsSync::load(const std::string& path) {
    ProfileFile profile(path);
    // One read of each key gives the model and the base alike, so that they agree even
    // where another program writes between two reads (the Windows functions read the file
    // afresh each time).
    const std::vector<SettingsKey>& keys = SettingsKeys();
    std::vector<std::optional<Text>> values;
    values.reserve(keys.size());
    for (const SettingsKey& key : keys) {
        values.push_back(profile.find(key.section, key.key));
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        LoadValue(model_, keys[i], values[i].value_or(Text()));
    }
    baseModel_ = model_;
    bases_ = std::move(values);
    marked_.assign(keys.size(), false);
}

RefreshResult SettingsSync::refresh(const std::string& path, const BusyTest& busy) {
    RefreshResult result;
    if (!loaded()) {
        return result;
    }
    // One read of the whole file, read as the profile functions read it.
    const std::optional<std::string> bytes = ReadProfileBytes(path);
    if (!bytes) {
        return result;  // gone or unreadable for now: the next change is read again
    }
    ProfileDocument document(*bytes);
    const std::vector<SettingsKey>& keys = SettingsKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const SettingsKey& key = keys[i];
        std::optional<Text> current = document.find(key.section, key.key);
        if (!current || current == bases_[i]) {
            continue;
        }
        const bool changedByUser =
            marked_[i] || !SavesAlike(SavedValue(model_, key), baseModel_, key);
        if (!changedByUser) {
            if (busy(key.place)) {
                // Its base stays, so that the value still counts as the user's untouched
                // one once the control is let go.
                result.passedBusy = true;
                continue;
            }
            TakeValue(model_, key, *current);
            result.taken.push_back(key.place);
        }
        // The user's value, if any, is now judged against the tool's.
        TakeValue(baseModel_, key, *current);
        bases_[i] = std::move(current);
    }
    return result;
}

void SettingsSync::markReset(std::size_t group, std::size_t field) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    const auto found = std::find_if(keys.begin(), keys.end(), [&](const SettingsKey& key) {
        return key.place == ModelPlace{ModelPlace::Kind::Field, group, field};
    });
    if (found == keys.end()) {
        throw std::out_of_range("SettingsSync::markReset: no such field");
    }
    if (loaded()) {
        marked_[static_cast<std::size_t>(found - keys.begin())] = true;
    }
}

std::vector<ModelPlace> SettingsSync::save(const std::string& path) {
    if (!loaded()) {
        // Nothing was loaded, so there is no base to judge by.
        WriteIni(static_cast<const SettingsModel&>(model_), path);
        return {};
    }
    const std::vector<SettingsKey>& keys = SettingsKeys();
    const std::vector<Text> values = StorableValues(model_);

    // The file's value of every key after the save, and which keys the save writes.
    std::vector<std::optional<Text>> after(keys.size());
    std::vector<bool> writes(keys.size(), false);
    std::vector<std::size_t> written;
    std::vector<ProfileWrite> profileWrites;
    const SavePlan plan = [&](ProfileDocument& file) {
        written.clear();
        profileWrites.clear();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const SettingsKey& key = keys[i];
            after[i] = file.find(key.section, key.key);
            writes[i] = marked_[i] || !after[i] || !SavesAlike(values[i], baseModel_, key);
            if (writes[i]) {
                written.push_back(i);
                profileWrites.push_back({key.section, key.key, values[i]});
            }
        }
        return profileWrites;
    };
    std::vector<std::optional<Text>> readBack = SaveProfile(path, plan);

    for (std::size_t j = 0; j < readBack.size(); ++j) {
        after[written[j]] = std::move(readBack[j]);
    }
    std::vector<ModelPlace> kept;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!writes[i] && after[i] != bases_[i]) {
            // The user left this key alone and the tool changed it: the tool's value stays
            // in the file, and the model takes it.
            TakeValue(model_, keys[i], *after[i]);
            kept.push_back(keys[i].place);
        }
    }
    baseModel_ = model_;
    bases_ = std::move(after);
    marked_.assign(keys.size(), false);
    return kept;
}

}  // namespace jnx
