#include "support/printing.h"

#include <ostream>

#include "tables.h"

namespace jnx::test {

std::string Escaped(std::string_view bytes, std::size_t limit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<char>(c);
        } else {
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
    }
    if (bytes.size() > limit) {
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return text;
}

}  // namespace jnx::test

namespace jnx {

void PrintTo(const GroupSettings& group, std::ostream* out) {
    *out << "{Active=" << (group.active ? "true" : "false");
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        *out << ' ' << FieldKey[k] << "=\"" << test::Escaped(group.fields[k]) << '"';
    }
    *out << '}';
}

void PrintTo(const SettingsModel& model, std::ostream* out) {
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        *out << '\n' << GroupSection(g) << ' ';
        PrintTo(model.group(g), out);
    }
    *out << "\nBetAutoRead=\"" << test::Escaped(model.betAutoReadFolder) << "\" PatData=\""
         << test::Escaped(model.patFolder) << "\" OKStep=\"" << test::Escaped(model.pauseText)
         << '"';
}

}  // namespace jnx
