#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "settings_model.h"
#include "tables.h"

namespace jnx::test {

// Code page 932 texts the settings tests use.
inline const std::string kTansho = "\x92\x50\x8F\x9F";   // 単勝
inline const std::string kWakuren = "\x98\x67\x98\x41";  // 枠連
inline const std::string kSapporo = "\x8E\x44\x96\x79";  // 札幌
inline const std::string kKyoto = "\x8B\x9E\x93\x73";    // 京都
inline const std::string kKokura = "\x8F\xAC\x91\x71";   // 小倉
// " は整数ではありません"
inline const std::string kNotAnInteger =
    "\x20\x82\xCD\x90\xAE\x90\x94\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// " に書き込めません"
inline const std::string kCannotWrite =
    "\x20\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";

// A group's keys in the order a save writes them.
inline constexpr std::array<const char*, 14> kKeyOrder = {
    "Active", "Type", "Popularity", "Bb",   "R",      "Step",    "Total",
    "Bet",    "Odd",  "Plus",       "Skip", "MinOdd", "Maxstep", "PN"};

// One group section as a save lays it out in a new file.
inline std::string NewGroupSection(const std::string& name,
                                   const std::array<std::string, 14>& values,
                                   const std::string& newline) {
    std::string text = "[Group" + name + "]" + newline;
    for (std::size_t i = 0; i < kKeyOrder.size(); ++i) {
        text += std::string(kKeyOrder[i]) + "=" + values[i] + newline;
    }
    return text;
}

// Group g of PlainModel().
inline GroupSettings PlainGroup(int g) {
    GroupSettings group;
    group.active = g % 2 == 0;
    group.fields = {kTansho, "1",   kSapporo, std::to_string(g), "0", "0", "0", "0.0", "500",
                    "0",     "2.2", "100",    std::to_string(-g)};
    return group;
}

// The values of PlainGroup(g) as a save stores them, in kKeyOrder.
inline std::array<std::string, 14> PlainGroupInFile(int g) {
    return {g % 2 == 0 ? "True" : "False",
            "T",
            "1",
            "1",
            std::to_string(g),
            "0",
            "0",
            "0",
            "0.0",
            "500",
            "0",
            "2.2",
            "100",
            std::to_string(-g)};
}

// A full model in which every group differs, with a folder ending in ソ (83 5C).
inline SettingsModel PlainModel() {
    SettingsModel model;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        model.group(g) = PlainGroup(static_cast<int>(g));
    }
    model.betAutoReadFolder = "C:\\Bet\\";
    model.patFolder = "C:\\\x83\x5C\\";  // C:\ソ\ .
    model.pauseText = "True";
    return model;
}

}  // namespace jnx::test
