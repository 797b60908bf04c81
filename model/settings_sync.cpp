#include "settings_sync.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "settings_file.h"

namespace jnx {

void SettingsSync::load(const std::string& path) {
    // One read of each key gives the model and the base alike, so that they agree; where
    // the reads go to the file one by one (the Windows functions read it afresh each time)
    // and another program wrote it in between, they are made again from the one version
    // read when the file had settled. Reading them again from the file would not do: a tool
    // that writes every 100 ms writes during every pass of the reads.
    //
    // A value that converts to nothing, in a file another program has rewritten since, is
    // read again: the version read may have been caught half written where the system
    // cannot tell (a rewrite within one step of the modification time), once at least and
    // then until SaveSettleTimes().limit has passed: only a file that keeps changing gives
    // the error then.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point giveUp = Clock::now() + SaveSettleTimes().limit;
    std::vector<std::optional<Text>> values;
    for (bool again = false;; again = true) {
        ProfileFile profile(path);
        values = ReadKeys(profile);
        if (!profile.readOneVersion()) {
            profile.readMadeVersion();
            values = ReadKeys(profile);
        }
        try {
            LoadKeys(model_, values);
            break;
        } catch (const ConversionError&) {
            if ((again && Clock::now() > giveUp) || !profile.changedSinceMade()) {
                throw;
            }
        }
    }
    const std::vector<SettingsKey>& keys = SettingsKeys();
    bases_.clear();
    bases_.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        bases_.push_back({std::move(values[i]), SavedValue(model_, keys[i])});
    }
    marked_.assign(keys.size(), false);
}

bool SettingsSync::changedByUser(std::size_t i, const Text& saved) const {
    return marked_[i] || !SavesAlike(saved, bases_[i].saved, SettingsKeys()[i]);
}

RefreshResult SettingsSync::refresh(const std::string& path, const BusyTest& busy) {
    RefreshResult result;
    if (!loaded()) {
        return result;
    }
    // One read of the whole file, read as the profile functions read it.
    const std::optional<std::string> bytes = ReadProfileBytes(path, &result.fileBusy);
    if (!bytes) {
        return result;  // gone, unreadable or being written for now: read again later
    }
    ProfileDocument document(*bytes);
    const std::vector<SettingsKey>& keys = SettingsKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const SettingsKey& key = keys[i];
        std::optional<Text> current = document.find(key.section, key.key);
        if (!current || current == bases_[i].inFile) {
            continue;
        }
        if (!changedByUser(i, SavedValue(model_, key))) {
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
        Text saved = SavedAsTaken(key, *current);
        bases_[i] = {std::move(current), std::move(saved)};
    }
    return result;
}

void SettingsSync::markReset(std::size_t group, std::size_t field) {
    markEdited({ModelPlace::Kind::Field, group, field});
}

void SettingsSync::markEdited(const ModelPlace& place) {
    const std::vector<SettingsKey>& keys = SettingsKeys();
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&](const SettingsKey& key) { return key.place == place; });
    if (found == keys.end()) {
        throw std::out_of_range("SettingsSync: no key at that place");
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

    // The file's value of every key after the save, and the keys the save writes, in table
    // order: those the user changed and those the file lacks.
    std::vector<std::optional<Text>> after(keys.size());
    std::vector<std::size_t> written;
    const SavePlan plan = [&](ProfileDocument& file) {
        written.clear();
        std::vector<ProfileWrite> writes;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            after[i] = file.find(keys[i].section, keys[i].key);
            if (!after[i] || changedByUser(i, values[i])) {
                // Nothing is written that the next load could not read back.
                CheckLoadsBack(keys[i], values[i]);
                written.push_back(i);
                writes.push_back({keys[i].section, keys[i].key, values[i]});
            }
        }
        return writes;
    };
    std::vector<std::optional<Text>> readBack = SaveProfile(path, plan);

    std::vector<ModelPlace> kept;
    auto nextWritten = written.begin();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (nextWritten != written.end() && *nextWritten == i) {
            after[i] = std::move(readBack[static_cast<std::size_t>(nextWritten - written.begin())]);
            ++nextWritten;
        } else if (after[i] != bases_[i].inFile) {
            // The user left this key alone and the tool changed it: the tool's value stays
            // in the file, and the model takes it.
            TakeValue(model_, keys[i], *after[i]);
            kept.push_back(keys[i].place);
        }
        bases_[i] = {std::move(after[i]), SavedValue(model_, keys[i])};
    }
    marked_.assign(keys.size(), false);
    return kept;
}

}  // namespace jnx
