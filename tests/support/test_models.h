#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "settings_model.h"
#include "settings_sync.h"
#include "tables.h"

#include "support/printing.h"  // how a failed comparison shows a model

namespace jnx::test {

// Code page 932 texts the settings tests use.
inline const std::string kTansho = "\x92\x50\x8F\x9F";   // 単勝
inline const std::string kWakuren = "\x98\x67\x98\x41";  // 枠連
inline const std::string kSapporo = "\x8E\x44\x96\x79";  // 札幌
inline const std::string kKyoto = "\x8B\x9E\x93\x73";    // 京都
inline const std::string kKokura = "\x8F\xAC\x91\x71";   // 小倉
inline const std::string kHyo = "\x95\x5C";              // 表, whose trail byte is "\"
// What follows the text in a conversion error: " は整数ではありません"
inline const std::string kNotAnInteger =
    "\x20\x82\xCD\x90\xAE\x90\x94\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// What follows the path in a read error: " を読み込めません"
inline const std::string kCannotRead =
    "\x20\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";
// What follows the path in a write error: " に書き込めません"
inline const std::string kCannotWrite =
    "\x20\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";

// A model and what keeps it in step with its file, as the window holds them.
struct SyncedModel {
    SettingsModel model;
    SettingsSync sync{model};
};

// A full model in which every group differs from the others and every value from the same
// value of another variant, most of them in length too. The bet types run through all five,
// the courses through all ten and "0", a number without a course; the other fields hold 表
// and the PAT folder ends in ソ (83 5C), both with the trail byte "\".
inline SettingsModel TestModel(int variant = 0) {
    SettingsModel model;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const std::size_t n = g + static_cast<std::size_t>(variant);
        GroupSettings& group = model.group(g);
        group.active = n % 2 == 0;
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            group.fields[k] =
                "v" + std::to_string(variant) + std::string(n % 3, '-') + std::to_string(k) + kHyo;
        }
        group.fields[kTypeField] = BetTypeCode[n % BetTypeCode.size()].name;
        group.fields[kPopularityField] = std::to_string(n);
        group.fields[kCourseField] = n % 4 == 0 ? "0" : std::string(CourseCode[n % 10]);
    }
    model.betAutoReadFolder = "C:\\Jnx\\" + kHyo + std::to_string(variant) + "\\";
    model.patFolder =
        "D:\\PAT" + std::string(static_cast<std::size_t>(variant), 'x') + "\\\x83\x5C\\";
    model.pauseText = variant % 2 == 0 ? "True" : "False";
    return model;
}

// Group g of TestModel() as a save lays it out in a new file: its keys in the order a save
// writes them, the bet type as its code and the course as its number.
inline std::string NewGroupSection(std::size_t g, const std::string& newline) {
    static constexpr std::array<const char*, kFieldCount> kKeys = {
        "Type", "Popularity", "Bb",   "R",      "Step",    "Total", "Bet",
        "Odd",  "Plus",       "Skip", "MinOdd", "Maxstep", "PN"};
    const GroupSettings group = TestModel().group(g);
    std::array<std::string, kFieldCount> values = group.fields;
    values[kTypeField] = BetTypeCode[g % BetTypeCode.size()].code;
    values[kCourseField] = g % 4 == 0 ? "0" : std::to_string(g % 10 + 1);

    std::string text = "[Group" + std::string(GroupName[g]) + "]" + newline;
    text += std::string("Active=") + (group.active ? "True" : "False") + newline;
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        text += std::string(kKeys[k]) + "=" + values[k] + newline;
    }
    return text;
}

}  // namespace jnx::test
