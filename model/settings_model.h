#pragma once

#include <array>
#include <cstddef>

#include "tables.h"
#include "text.h"

namespace jnx {

// One betting group: its active flag and its thirteen values in FieldKey order.
// The model keeps every value as the text the file or the window gave it.
struct GroupSettings {
    bool active = false;
    std::array<Text, kFieldCount> fields{};

    friend bool operator==(const GroupSettings&, const GroupSettings&) = default;
};

// Everything the editor edits: the 36 groups in GroupName order, the two folders and
// the pause option. Starts empty and inactive until the settings file fills it.
struct SettingsModel {
    std::array<GroupSettings, kGroupCount> groups{};
    Text betAutoReadFolder;  // Dir/BetAutoRead
    Text patFolder;          // Dir/PatData
    Text pauseText;          // Options/OKStep; "True" when set

    GroupSettings& group(std::size_t g) { return groups.at(g); }
    [[nodiscard]] const GroupSettings& group(std::size_t g) const { return groups.at(g); }

    friend bool operator==(const SettingsModel&, const SettingsModel&) = default;
};

}  // namespace jnx
