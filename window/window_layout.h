#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "colour_names.h"

namespace jnx::layout {

// What the editor window holds and where, in pixels at 96 dots per inch relative to the
// client area below the menu bar (inside a group row: relative to the row). Texts are
// UTF-8. Every table here is the only place its values are written down.

struct Rect {
    int x;
    int y;
    int width;
    int height;
};

inline constexpr std::string_view kCaption = "Dorvel　「Jnx.ini」設定ツール version 2.01";
inline constexpr int kClientWidth = 797;
inline constexpr int kClientHeight = 527;

// Fonts: the Windows family first, then the nearest Japanese fonts of other desktops.
inline constexpr std::array<std::string_view, 4> kProportionalFonts = {
    "ＭＳ Ｐゴシック", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP"};
inline constexpr std::array<std::string_view, 3> kFixedFonts = {"ＭＳ ゴシック", "IPAGothic",
                                                                "Noto Sans Mono CJK JP"};
inline constexpr int kFontHeight = 12;

// ---- Group rows ----------------------------------------------------------------------

inline constexpr int kRowCount = 12;

// Row r (1 … 12): a raised panel of 785 × 33 at x 8, y 48 + 32 × (r − 1).
constexpr Rect RowRect(int row) {
    return {8, 48 + 32 * (row - 1), 785, 33};
}

// The controls of a row, left to right.
enum class Column : std::size_t {
    Gr,           // group label
    Act,          // active check box
    Type,         // bet type combo box
    Nk,           // popularity edit box
    Ud,           // popularity spin buttons
    Bb,           // racecourse combo box
    Race,         // race, read-only
    Step,         // step
    Total,        // total
    Bet,          // latest bet
    Odd,          // latest odds
    Plus,         // plus
    Skip,         // skip
    mOdd,         // minimum odds
    mStep,        // maximum step edit box
    MaxStepSpin,  // maximum step spin buttons
    PN,           // balance
    BlankLeft,    // two boxes that are never read or written
    BlankRight,
};
inline constexpr std::size_t kColumnCount = 19;

struct SpinRange {
    int minimum;
    int maximum;
    int start;
};

struct ColumnLayout {
    // The control's name is namePrefix + (nameStep × row + nameOffset): "Type1", "Ud101",
    // "Edit5" …
    std::string_view namePrefix;
    int nameStep;
    int nameOffset;
    int x;
    int width;
    int height;
    std::optional<Colour> colour;          // background; none for the spin buttons
    std::optional<Colour> firstRowColour;  // where row 1 differs
    std::optional<Colour> fontColour;      // where it differs from the row's
    std::string_view startText;            // before the first fill from the model
    std::optional<SpinRange> spin;
};

// Every row control sits at y 8 in its row.
inline constexpr int kRowControlY = 8;

inline constexpr std::array<ColumnLayout, kColumnCount> kColumns = {{
    {"Gr", 1, 0, 8, 25, 17, std::nullopt, std::nullopt, std::nullopt, "", std::nullopt},
    {"Act", 1, 0, 40, 17, 17, Colour::Yellow, std::nullopt, std::nullopt, "", std::nullopt},
    {"Type", 1, 0, 56, 57, 20, Colour::Yellow, std::nullopt, std::nullopt, "単勝", std::nullopt},
    {"Nk", 1, 0, 112, 15, 20, Colour::Yellow, std::nullopt, std::nullopt, "1", std::nullopt},
    {"Ud", 1, 0, 127, 24, 20, std::nullopt, std::nullopt, std::nullopt, "", SpinRange{1, 5, 1}},
    {"Bb", 1, 0, 160, 57, 20, Colour::Yellow, std::nullopt, std::nullopt, "京都", std::nullopt},
    {"Race", 1, 0, 216, 25, 20, Colour::InactiveCaptionText, std::nullopt, std::nullopt, "1",
     std::nullopt},
    {"Step", 1, 0, 240, 33, 20, Colour::ScrollBar, std::nullopt, std::nullopt, "0", std::nullopt},
    {"Total", 1, 0, 272, 49, 20, Colour::InfoBk, std::nullopt, std::nullopt, "0", std::nullopt},
    {"Bet", 1, 0, 320, 49, 20, Colour::InactiveCaptionText, Colour::BtnFace, std::nullopt, "0",
     std::nullopt},
    {"Odd", 1, 0, 368, 49, 20, Colour::InactiveCaptionText, std::nullopt, std::nullopt, "0.0",
     std::nullopt},
    {"Plus", 1, 0, 416, 49, 20, Colour::Yellow, std::nullopt, Colour::BtnText, "500", std::nullopt},
    {"Skip", 1, 0, 464, 41, 20, Colour::BtnFace, std::nullopt, std::nullopt, "0", std::nullopt},
    {"mOdd", 1, 0, 504, 41, 20, Colour::Yellow, std::nullopt, std::nullopt, "2.2", std::nullopt},
    {"mStep", 1, 0, 544, 41, 20, Colour::BtnFace, std::nullopt, std::nullopt, "100", std::nullopt},
    {"Ud", 1, 100, 585, 15, 20, std::nullopt, std::nullopt, std::nullopt, "",
     SpinRange{1, 1000, 100}},
    {"PN", 1, 0, 608, 57, 20, Colour::BtnFace, std::nullopt, std::nullopt, "0", std::nullopt},
    {"Edit", 3, 2, 672, 65, 20, Colour::BtnFace, std::nullopt, std::nullopt, "", std::nullopt},
    {"Edit", 3, 3, 736, 41, 20, Colour::BtnFace, std::nullopt, std::nullopt, "", std::nullopt},
}};

constexpr const ColumnLayout& ColumnOf(Column column) {
    return kColumns[static_cast<std::size_t>(column)];
}

// The order in which Tab moves through a row's controls.
inline constexpr std::array<Column, kColumnCount> kRowTabOrder = {
    Column::Type, Column::Nk,   Column::Ud,        Column::Bb,         Column::Total,
    Column::Plus, Column::mOdd, Column::mStep,     Column::Gr,         Column::Race,
    Column::Step, Column::Bet,  Column::Odd,       Column::Skip,       Column::MaxStepSpin,
    Column::Act,  Column::PN,   Column::BlankLeft, Column::BlankRight,
};

// The group label's colours belong to the row position, not to the group.
struct LabelColours {
    Colour background;
    Colour text;
};
inline constexpr int kGroupLabelFontHeight = 19;
inline constexpr std::array<LabelColours, kRowCount> kGroupLabelColours = {{
    {Colour::White, Colour::Black},
    {Colour::Black, Colour::White},
    {Colour::Red, Colour::White},
    {Colour::Blue, Colour::White},
    {Colour::Yellow, Colour::Black},
    {Colour::Yellow, Colour::Black},
    {Colour::Green, Colour::White},
    {Colour::Green, Colour::White},
    {Colour::Orange, Colour::White},
    {Colour::Orange, Colour::White},
    {Colour::Pink, Colour::Black},
    {Colour::Pink, Colour::Black},
}};

// ---- Column headings -----------------------------------------------------------------

struct Heading {
    std::string_view caption;
    int x;
    int width;
    int fontHeight;
    bool centred;
    Colour fontColour;
};
// Captions as shown: the heading over bet and odds shows one "&".
inline constexpr int kHeadingY = 32;
inline constexpr std::array<Heading, 12> kHeadings = {{
    {"Group", 8, 30, 12, false, Colour::WindowText},
    {"Active", 48, 33, 12, false, Colour::WindowText},
    {"人気", 120, 26, 13, false, Colour::BtnText},
    {"R", 224, 10, 16, true, Colour::BtnText},
    {"Step", 248, 32, 16, true, Colour::BtnText},
    {"Total", 288, 34, 16, false, Colour::BtnText},
    {"最新のBet&Odds", 328, 94, 12, false, Colour::BtnText},
    {"Plus", 424, 27, 15, false, Colour::BtnText},
    {"Skip", 472, 26, 15, false, Colour::BtnText},
    {"MinOdds", 512, 44, 12, false, Colour::BtnText},
    {"MaxStep", 560, 44, 12, false, Colour::BtnText},
    {"収支", 616, 26, 13, false, Colour::BtnText},
}};

// ---- Top bar ---------------------------------------------------------------------------

struct BarButton {
    std::string_view name;
    std::string_view caption;
    int x;
    int width;
    std::optional<Colour> fontColour;
};
inline constexpr int kTopBarY = 0;
inline constexpr int kTopBarHeight = 25;
inline constexpr std::array<BarButton, 5> kTopBar = {{
    {"page1", "０ ～ Ｂ", 8, 73, std::nullopt},
    {"page2", "Ｃ ～ Ｎ", 88, 73, std::nullopt},
    {"page3", "Ｏ ～ Ｚ", 168, 73, std::nullopt},
    {"TotalZero", "Total->0", 278, 59, Colour::Black},
    {"Button1", "収支->0", 616, 57, std::nullopt},
}};

// ---- Bottom area -----------------------------------------------------------------------

// A folder: its label (sized to its caption), its edit box and its "参照" button.
struct FolderRow {
    std::string_view labelName;
    std::string_view labelCaption;
    int labelX;
    int y;
    std::string_view editName;
    Colour editColour;
    std::string_view buttonName;
};
inline constexpr int kFolderLabelFontHeight = 16;
inline constexpr int kFolderEditX = 280;
inline constexpr int kFolderEditWidth = 369;
inline constexpr int kFolderButtonX = 648;
inline constexpr int kFolderButtonWidth = 41;
inline constexpr int kFolderRowHeight = 20;
inline constexpr std::string_view kFolderButtonCaption = "参照";
inline constexpr std::array<FolderRow, 2> kFolderRows = {{
    {"Label1", "Bet Auto 自動読み込みﾌｧｲﾙ用フォルダ", 8, 440, "Edit2", Colour::Yellow, "FindDir1"},
    {"Label2", "PAT用フォルダ", 176, 464, "Edit3", Colour::BtnFace, "FindDir2"},
}};

// The pause option: a check box inside a yellow panel.
inline constexpr Rect kPausePanel = {8, 488, 81, 33};
inline constexpr Rect kPauseBox = {8, 8, 65, 17};  // inside the panel
inline constexpr std::string_view kPauseCaption = "一時停止";

// The save-and-exit button, in the fixed-pitch font.
inline constexpr Rect kSaveEnd = {96, 488, 265, 33};
inline constexpr std::string_view kSaveEndCaption = "保存終了";
inline constexpr int kSaveEndFontHeight = 16;

// ---- Menu ----------------------------------------------------------------------------

inline constexpr std::string_view kFileMenu = "ファイル(&F)";
inline constexpr std::string_view kSaveItem = "上書き保存(&S)";
inline constexpr std::string_view kExitItem = "終了(&X)";

}  // namespace jnx::layout
