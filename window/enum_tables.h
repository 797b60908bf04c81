#pragma once

#include <array>
#include <cstddef>

namespace jnx {

// Whether a table with one entry for each value of an enumeration (which ends in Count),
// each entry naming its value in `key`, lists every value once and in the enumeration's
// order, so that the table can be indexed by the value.
template <typename Entry, std::size_t N, typename Enum>
constexpr bool InEnumOrder(const std::array<Entry, N>& table, Enum Entry::*key) {
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i].*key != static_cast<Enum>(i)) {
            return false;
        }
    }
    return N == static_cast<std::size_t>(Enum::Count);
}

}  // namespace jnx
