#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace jnx {

// The fixed tables of the settings. Every text is in code page 932.

inline constexpr std::size_t kGroupCount = 36;
inline constexpr std::size_t kFieldCount = 13;

// The group names "0" … "9", "A" … "Z"; group g lives in the section "Group" + name.
inline constexpr std::array<std::string_view, kGroupCount> GroupName = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C", "D", "E", "F", "G", "H",
    "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
};

// The file keys of a group's thirteen fields (exact case: "MinOdd", "Maxstep").
inline constexpr std::array<std::string_view, kFieldCount> FieldKey = {
    "Type", "Popularity", "Bb",   "R",      "Step",    "Total", "Bet",
    "Odd",  "Plus",       "Skip", "MinOdd", "Maxstep", "PN",
};

// The index of each of a group's thirteen fields, in the order of FieldKey.
enum FieldIndex : std::size_t {
    kTypeField = 0,
    kPopularityField = 1,
    kCourseField = 2,
    kRaceField = 3,
    kStepField = 4,
    kTotalField = 5,
    kBetField = 6,
    kOddField = 7,
    kPlusField = 8,
    kSkipField = 9,
    kMinOddField = 10,
    kMaxStepField = 11,
    kBalanceField = 12,
};

// The range of a spin that shows a field; a stored integer outside it shows clamped to it.
struct SpinField {
    FieldIndex field;
    int minimum;
    int maximum;
};

// The fields the window shows in spins: popularity 1 … 5, maximum step 1 … 1000.
inline constexpr std::array<SpinField, 2> kSpinFields = {{
    {kPopularityField, 1, 5},
    {kMaxStepField, 1, 1000},
}};

// The spin of field k, or none when a plain box or a list shows it.
std::optional<SpinField> SpinOfField(std::size_t k);

// The key of a group's active flag.
inline constexpr std::string_view kActiveKey = "Active";

// The texts of a flag in the file (a group's "Active", the pause option): only kTrueText,
// byte for byte, is set; a save writes one of the two.
inline constexpr std::string_view kTrueText = "True";
inline constexpr std::string_view kFalseText = "False";

struct BetType {
    std::string_view code;  // as stored in the file: "T", "F", "W", "U", "K"
    std::string_view name;  // as shown: 単勝, 複勝, 枠連, 馬連, ワイド
};

// The five bet types in the order of the file comparisons and the drop-down list.
inline constexpr std::array<BetType, 5> BetTypeCode = {{
    {"T", "\x92\x50\x8F\x9F"},          // 単勝
    {"F", "\x95\xA1\x8F\x9F"},          // 複勝
    {"W", "\x98\x67\x98\x41"},          // 枠連
    {"U", "\x94\x6E\x98\x41"},          // 馬連
    {"K", "\x83\x8F\x83\x43\x83\x68"},  // ワイド
}};

// The ten racecourses; course number n (1 … 10) is CourseCode[n - 1].
inline constexpr std::array<std::string_view, 10> CourseCode = {
    "\x8E\x44\x96\x79",  // 札幌
    "\x94\x9F\x8A\xD9",  // 函館
    "\x95\x9F\x93\x87",  // 福島
    "\x90\x56\x8A\x83",  // 新潟
    "\x93\x8C\x8B\x9E",  // 東京
    "\x92\x86\x8E\x52",  // 中山
    "\x92\x86\x8B\x9E",  // 中京
    "\x8B\x9E\x93\x73",  // 京都
    "\x8D\xE3\x90\x5F",  // 阪神
    "\x8F\xAC\x91\x71",  // 小倉
};

// Section name of group g: "Group0" … "GroupZ".
std::string GroupSection(std::size_t group);

// Bet-type display name for a file code, compared byte for byte.
std::optional<std::string_view> BetTypeNameByCode(std::string_view code);
// File code for a bet-type display name, compared byte for byte.
std::optional<std::string_view> BetTypeCodeByName(std::string_view name);
// Course display name for a number 1 … 10; nothing outside that range.
std::optional<std::string_view> CourseNameByNumber(long long number);
// Course number 1 … 10 for a display name, compared byte for byte.
std::optional<int> CourseNumberByName(std::string_view name);

}  // namespace jnx
