// The platform's code page 932 converter that the window's text conversion stands on:
// glibc's "CP932" here, MultiByteToWideChar and WideCharToMultiByte on Windows (Wine).
// Both must agree with the Windows mapping and refuse what they could only approximate.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cp932_codepoint.h"

#include "support/printing.h"

namespace jnx::cp932 {
namespace {

struct Mapping {
    const char* bytes;
    char32_t codePoint;
};

// Characters whose mapping differs between code page 932 and other Shift-JIS tables, or
// whose trail byte is "\" or an ASCII letter.
constexpr Mapping kMappings[] = {
    {"A", U'A'},
    {"\\", U'\\'},            // 5C: a backslash, not a yen sign
    {"~", U'~'},              // 7E: a tilde, not an overline
    {"\xB1", U'\uFF71'},      // ｱ half-width katakana
    {"\x81\x5F", U'\uFF3C'},  // ＼
    {"\x81\x60", U'\uFF5E'},  // ～, where JIS has 〜 U+301C
    {"\x81\x61", U'\u2225'},  // ∥, where JIS has ‖ U+2016
    {"\x81\x7C", U'\uFF0D'},  // －, where JIS has − U+2212
    {"\x81\x91", U'\uFFE0'},  // ￠
    {"\x81\x92", U'\uFFE1'},  // ￡
    {"\x81\xCA", U'\uFFE2'},  // ￢
    {"\x83\x5C", U'\u30BD'},  // ソ, trail byte "\"
    {"\x95\x5C", U'\u8868'},  // 表, trail byte "\"
    {"\x83\x41", U'\u30A2'},  // ア, trail byte "A"
    {"\x87\x40", U'\u2460'},  // ① NEC special character
    {"\xFA\x40", U'\u2170'},  // ⅰ IBM extension
    {"\xF0\x40", U'\uE000'},  // first user-defined character
};

TEST(Cp932Codepoint, DecodesAndEncodesTheWindowsMapping) {
    for (const Mapping& mapping : kMappings) {
        SCOPED_TRACE(test::Escaped(mapping.bytes));
        EXPECT_EQ(DecodeUnit(mapping.bytes), mapping.codePoint);
        EXPECT_EQ(EncodeCodePoint(mapping.codePoint), std::string(mapping.bytes));
    }
}

TEST(Cp932Codepoint, DuplicatesEncodeToOneForm) {
    // NEC-selected IBM extensions and NEC row 13 duplicates decode to characters whose
    // one encoded form is the IBM extension or the JIS row.
    EXPECT_EQ(DecodeUnit("\xED\x40"), U'\u7E8A');
    EXPECT_EQ(EncodeCodePoint(U'\u7E8A'), "\xFA\x5C");
    EXPECT_EQ(DecodeUnit("\x87\x90"), U'\u2252');
    EXPECT_EQ(EncodeCodePoint(U'\u2252'), "\x81\xE0");
}

TEST(Cp932Codepoint, RefusesWhatItCouldOnlyApproximate) {
    for (const char32_t c : {U'\u301C', U'\u2016', U'\u2212', U'\u00A2', U'\u00A3', U'\u00AC',
                             U'\u00A5', U'\u2014', U'\u00E9', U'\U0001F600'}) {
        SCOPED_TRACE(::testing::Message()
                     << "U+" << std::hex << std::uppercase << static_cast<unsigned>(c));
        EXPECT_EQ(EncodeCodePoint(c), std::nullopt);
    }
}

TEST(Cp932Codepoint, RefusesBytesWithoutACharacter) {
    // A lead byte alone, an undefined pair, a lead byte before a blank.
    for (const char* unit : {"\x81", "\x85\x40", "\x81\x20"}) {
        SCOPED_TRACE(test::Escaped(unit));
        EXPECT_EQ(DecodeUnit(unit), std::nullopt);
    }
}

TEST(Cp932Codepoint, SingleBytesOutsideTheCharactersComeBackAsThemselves) {
    // Windows gives 80 the character U+0080 (and A0, FD … FF private-use ones in some
    // versions); glibc gives them none. Either way nothing turns into another byte.
    for (const char* unit : {"\x80", "\xA0", "\xFD", "\xFE", "\xFF"}) {
        SCOPED_TRACE(test::Escaped(unit));
        if (const std::optional<char32_t> c = DecodeUnit(unit)) {
            EXPECT_EQ(EncodeCodePoint(*c), std::string(unit));
        }
    }
}

TEST(Cp932Codepoint, EveryDoubleByteCharacterComesBack) {
    // Whatever a unit decodes to encodes to a unit that decodes to the same character.
    int decoded = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const std::string unit{static_cast<char>(lead), static_cast<char>(trail)};
            const std::optional<char32_t> c = DecodeUnit(unit);
            if (!c) {
                continue;
            }
            ++decoded;
            const std::optional<std::string> bytes = EncodeCodePoint(*c);
            ASSERT_TRUE(bytes.has_value()) << std::hex << lead << " " << trail;
            EXPECT_EQ(DecodeUnit(*bytes), c) << std::hex << lead << " " << trail;
        }
    }
    // 7,915 characters, 1,880 user-defined ones among them, and the NEC and IBM duplicates.
    EXPECT_GT(decoded, 9000);
}

}  // namespace
}  // namespace jnx::cp932
