#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "tables.h"
#include "window_layout.h"

namespace jnx {

// How a row control shows a value of its group.
enum class ControlKind {
    Text,   // a text box: the value's bytes as they are
    List,   // a drop-down list: the bet type's or racecourse's name
    Spin,   // up-down buttons on an edit box: an integer, clamped to the field's range
    Check,  // a check box: the group's active flag
};

// Which control of a row shows which value of the row's group. The fill of a page, its
// store and "which control is this value's" are loops over this table.
struct FieldBinding {
    layout::Column column;
    ControlKind kind;
    std::optional<FieldIndex> field;  // none: the active flag, which is no field
};

inline constexpr auto kFieldBindings = std::to_array<FieldBinding>({
    {layout::Column::Act, ControlKind::Check, std::nullopt},
    {layout::Column::Type, ControlKind::List, kTypeField},
    {layout::Column::Ud, ControlKind::Spin, kPopularityField},
    {layout::Column::Bb, ControlKind::List, kCourseField},
    {layout::Column::Race, ControlKind::Text, kRaceField},
    {layout::Column::Step, ControlKind::Text, kStepField},
    {layout::Column::Total, ControlKind::Text, kTotalField},
    {layout::Column::Bet, ControlKind::Text, kBetField},
    {layout::Column::Odd, ControlKind::Text, kOddField},
    {layout::Column::Plus, ControlKind::Text, kPlusField},
    {layout::Column::Skip, ControlKind::Text, kSkipField},
    {layout::Column::mOdd, ControlKind::Text, kMinOddField},
    {layout::Column::MaxStepSpin, ControlKind::Spin, kMaxStepField},
    {layout::Column::PN, ControlKind::Text, kBalanceField},
});

// Whether every field and the active flag have exactly one binding.
constexpr bool BindsEveryValueOnce() {
    std::array<int, kFieldCount + 1> seen{};  // the last one counts the active flag
    for (const FieldBinding& binding : kFieldBindings) {
        ++seen[binding.field ? static_cast<std::size_t>(*binding.field) : kFieldCount];
    }
    for (const int count : seen) {
        if (count != 1) {
            return false;
        }
    }
    return true;
}
static_assert(BindsEveryValueOnce(), "one control a value");

// The binding of the column's control, or null for a control that shows no value.
constexpr const FieldBinding* FindBinding(layout::Column column) {
    for (const FieldBinding& binding : kFieldBindings) {
        if (binding.column == column) {
            return &binding;
        }
    }
    return nullptr;
}

// The binding of field k.
constexpr const FieldBinding& BindingOfField(std::size_t k) {
    for (const FieldBinding& binding : kFieldBindings) {
        if (binding.field == k) {
            return binding;
        }
    }
    return kFieldBindings.front();  // unreachable: every field has one (above)
}

// The binding of the active flag.
inline constexpr const FieldBinding& kActiveBinding = kFieldBindings.front();
static_assert(kActiveBinding.kind == ControlKind::Check);

}  // namespace jnx
