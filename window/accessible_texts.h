#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "enum_tables.h"
#include "window_layout.h"

namespace jnx::layout {

// What the window's controls tell a screen reader: each row control's name is the group
// word, the group's name and its column's caption ("グループ 3 Total"); the other
// controls' names and descriptions are built from the window's own captions. "%1" … are
// filled in where the text is used. Texts are UTF-8.

inline constexpr std::string_view kGroupWord = "グループ";

// A row control's column as its heading calls it; where one heading stands over two
// columns, or none over a column, the words a heading would use.
struct ColumnCaption {
    Column column;
    std::string_view caption;  // empty: the group label, named by its group alone
};

inline constexpr auto kColumnCaptions = std::to_array<ColumnCaption>({
    {Column::Gr, ""},
    {Column::Act, "Active"},
    {Column::Type, "券種"},
    {Column::Nk, "人気"},
    {Column::Ud, "人気の増減"},
    {Column::Bb, "競馬場"},
    {Column::Race, "R"},
    {Column::Step, "Step"},
    {Column::Total, "Total"},
    {Column::Bet, "最新のBet"},
    {Column::Odd, "最新のOdds"},
    {Column::Plus, "Plus"},
    {Column::Skip, "Skip"},
    {Column::mOdd, "MinOdds"},
    {Column::mStep, "MaxStep"},
    {Column::MaxStepSpin, "MaxStepの増減"},
    {Column::PN, "収支"},
    {Column::BlankLeft, "空欄 左"},
    {Column::BlankRight, "空欄 右"},
});

static_assert(InEnumOrder(kColumnCaptions, &ColumnCaption::column),
              "one caption a column, in the order of Column");

constexpr std::string_view CaptionOf(Column column) {
    return kColumnCaptions[static_cast<std::size_t>(column)].caption;
}

// The arrows of a spin: %1 is the name of the box they work.
inline constexpr std::string_view kSpinUpName = "%1 を増やす";
inline constexpr std::string_view kSpinDownName = "%1 を減らす";

// A page button: %1 the page, %2 and %3 its first and last group.
inline constexpr std::string_view kPageName = "ページ %1 グループ %2 ～ %3";
inline constexpr std::string_view kShownPageDescription = "表示中のページ";
inline constexpr std::string_view kOtherPageDescription = "このページを表示する";

// A reset button: %1 the column's caption, %2 the page shown, %3 and %4 its first and last
// group.
inline constexpr std::string_view kResetDescription =
    "ページ %2 のグループ %3 ～ %4 の %1 を 0 にする";

// A folder's "参照" button: %1 the folder's caption.
inline constexpr std::string_view kBrowseName = "%1 の参照";
inline constexpr std::string_view kBrowseDescription = "%1 をフォルダ選択で選ぶ";

}  // namespace jnx::layout
