#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "enum_tables.h"
#include "look/colour_names.h"
#include "tables.h"

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

// Row 1's raised panel; each row below stands one pitch lower, its top edge on the
// bottom edge of the row above.
inline constexpr Rect kFirstRowPanel = {8, 48, 785, 33};
inline constexpr int kRowPitch = 32;

// Row r (1 … 12).
constexpr Rect RowRect(int row) {
    return {kFirstRowPanel.x, kFirstRowPanel.y + kRowPitch * (row - 1), kFirstRowPanel.width,
            kFirstRowPanel.height};
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
    Count,  // the number of columns, not a column
};

struct ColumnLayout {
    Column column;
    // The control's name is namePrefix + (nameStep × row + nameOffset): "Type1", "Ud101",
    // "Edit5" …
    std::string_view namePrefix;
    int nameStep = 1;
    int nameOffset = 0;
    int x = 0;
    int width = 0;
    int height = 0;
    std::optional<Colour> colour{};          // background; none for the spin buttons
    std::optional<Colour> firstRowColour{};  // where row 1 differs
    std::optional<Colour> fontColour{};      // where it differs from the row's
    std::string_view startText{};            // before the first fill from the model
    int spinStart = 0;                       // a spin's position before the first fill
};

// Every row control sits at y 8 in its row.
inline constexpr int kRowControlY = 8;

inline constexpr auto kColumns = std::to_array<ColumnLayout>({
    {.column = Column::Gr, .namePrefix = "Gr", .x = 8, .width = 25, .height = 17},
    {.column = Column::Act,
     .namePrefix = "Act",
     .x = 40,
     .width = 17,
     .height = 17,
     .colour = Colour::Yellow},
    {.column = Column::Type,
     .namePrefix = "Type",
     .x = 56,
     .width = 57,
     .height = 20,
     .colour = Colour::Yellow,
     .startText = "単勝"},
    {.column = Column::Nk,
     .namePrefix = "Nk",
     .x = 112,
     .width = 15,
     .height = 20,
     .colour = Colour::Yellow,
     .startText = "1"},
    {.column = Column::Ud, .namePrefix = "Ud", .x = 127, .width = 24, .height = 20, .spinStart = 1},
    {.column = Column::Bb,
     .namePrefix = "Bb",
     .x = 160,
     .width = 57,
     .height = 20,
     .colour = Colour::Yellow,
     .startText = "京都"},
    {.column = Column::Race,
     .namePrefix = "Race",
     .x = 216,
     .width = 25,
     .height = 20,
     .colour = Colour::InactiveCaptionText,
     .startText = "1"},
    {.column = Column::Step,
     .namePrefix = "Step",
     .x = 240,
     .width = 33,
     .height = 20,
     .colour = Colour::ScrollBar,
     .startText = "0"},
    {.column = Column::Total,
     .namePrefix = "Total",
     .x = 272,
     .width = 49,
     .height = 20,
     .colour = Colour::InfoBk,
     .startText = "0"},
    {.column = Column::Bet,
     .namePrefix = "Bet",
     .x = 320,
     .width = 49,
     .height = 20,
     .colour = Colour::InactiveCaptionText,
     .firstRowColour = Colour::BtnFace,
     .startText = "0"},
    {.column = Column::Odd,
     .namePrefix = "Odd",
     .x = 368,
     .width = 49,
     .height = 20,
     .colour = Colour::InactiveCaptionText,
     .startText = "0.0"},
    {.column = Column::Plus,
     .namePrefix = "Plus",
     .x = 416,
     .width = 49,
     .height = 20,
     .colour = Colour::Yellow,
     .fontColour = Colour::BtnText,
     .startText = "500"},
    {.column = Column::Skip,
     .namePrefix = "Skip",
     .x = 464,
     .width = 41,
     .height = 20,
     .colour = Colour::BtnFace,
     .startText = "0"},
    {.column = Column::mOdd,
     .namePrefix = "mOdd",
     .x = 504,
     .width = 41,
     .height = 20,
     .colour = Colour::Yellow,
     .startText = "2.2"},
    {.column = Column::mStep,
     .namePrefix = "mStep",
     .x = 544,
     .width = 41,
     .height = 20,
     .colour = Colour::BtnFace,
     .startText = "100"},
    {.column = Column::MaxStepSpin,
     .namePrefix = "Ud",
     .nameOffset = 100,
     .x = 585,
     .width = 15,
     .height = 20,
     .spinStart = 100},
    {.column = Column::PN,
     .namePrefix = "PN",
     .x = 608,
     .width = 57,
     .height = 20,
     .colour = Colour::BtnFace,
     .startText = "0"},
    {.column = Column::BlankLeft,
     .namePrefix = "Edit",
     .nameStep = 3,
     .nameOffset = 2,
     .x = 672,
     .width = 65,
     .height = 20,
     .colour = Colour::BtnFace},
    {.column = Column::BlankRight,
     .namePrefix = "Edit",
     .nameStep = 3,
     .nameOffset = 3,
     .x = 736,
     .width = 41,
     .height = 20,
     .colour = Colour::BtnFace},
});

static_assert(InEnumOrder(kColumns, &ColumnLayout::column),
              "one entry a column, in the order of Column");

constexpr const ColumnLayout& ColumnOf(Column column) {
    return kColumns[static_cast<std::size_t>(column)];
}

// The order in which Tab moves through a row's controls: every column once.
inline constexpr std::array<Column, kColumns.size()> kRowTabOrder = {
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
inline constexpr LabelColours kWhiteLabel = {Colour::White, Colour::Black};
inline constexpr LabelColours kBlackLabel = {Colour::Black, Colour::White};
inline constexpr LabelColours kRedLabel = {Colour::Red, Colour::White};
inline constexpr LabelColours kBlueLabel = {Colour::Blue, Colour::White};
inline constexpr LabelColours kYellowLabel = {Colour::Yellow, Colour::Black};
inline constexpr LabelColours kGreenLabel = {Colour::Green, Colour::White};
inline constexpr LabelColours kOrangeLabel = {Colour::Orange, Colour::White};
inline constexpr LabelColours kPinkLabel = {Colour::Pink, Colour::Black};
// Rows 1 to 4 each of its own colour, then two rows a colour.
inline constexpr std::array<LabelColours, kRowCount> kGroupLabelColours = {
    kWhiteLabel, kBlackLabel, kRedLabel,    kBlueLabel,   kYellowLabel, kYellowLabel,
    kGreenLabel, kGreenLabel, kOrangeLabel, kOrangeLabel, kPinkLabel,   kPinkLabel,
};

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
    int x = 0;
    int width = 0;
    std::optional<Colour> fontColour{};  // where it is not the desktop's
};
inline constexpr int kTopBarY = 0;
inline constexpr int kTopBarHeight = 25;
inline constexpr std::array<BarButton, 5> kTopBar = {{
    {.name = "page1", .caption = "０ ～ Ｂ", .x = 8, .width = 73},
    {.name = "page2", .caption = "Ｃ ～ Ｎ", .x = 88, .width = 73},
    {.name = "page3", .caption = "Ｏ ～ Ｚ", .x = 168, .width = 73},
    {.name = "TotalZero",
     .caption = "Total->0",
     .x = 278,
     .width = 59,
     .fontColour = Colour::Black},
    {.name = "Button1", .caption = "収支->0", .x = 616, .width = 57},
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
