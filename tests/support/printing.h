#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "settings_model.h"

namespace jnx::test {

// Raw bytes as printable ASCII for failure messages: "\" and every byte outside 20-7E as
// \xNN, so that code page 932 text, line breaks and NUL bytes can be told apart. Past
// `limit` bytes the rest is left out and the whole length given.
std::string Escaped(std::string_view bytes, std::size_t limit = 300);

}  // namespace jnx::test

namespace jnx {

// How GoogleTest shows a group or a whole model in a failed comparison: each value as
// Escaped gives it, by its file key, instead of the object's bytes.
void PrintTo(const GroupSettings& group, std::ostream* out);
void PrintTo(const SettingsModel& model, std::ostream* out);

}  // namespace jnx
