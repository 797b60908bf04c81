// What the profile functions return for given bytes and writes, through ProfileFile. On
// Windows these cases run against GetPrivateProfileStringA and WritePrivateProfileStringA
// themselves (under Wine in the cross build); elsewhere against the project's own profile
// code, which must give the same answers. How the file's other bytes look after a write is
// the project's own promise and is tested with that code only.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "profile_document.h"
#include "profile_file.h"
#include "settings_file.h"

#include "support/printing.h"
#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

using namespace std::string_literals;

// Windows' answer; on Windows builds Wine's known other answer is accepted as well.
void ExpectAnswer(const Text& got, const std::string& windows,
                  const std::optional<std::string>& wine) {
    if (test::kMayBeWine && wine && got == *wine) {
        return;
    }
    EXPECT_EQ(got, windows);
}

// The value that a read gives from a settings file holding `bytes`.
Text ReadFrom(std::string_view bytes, std::string_view section, std::string_view key,
              std::string_view defaultValue) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, bytes);
    ProfileFile profile(path);
    return profile.read(section, key, defaultValue);
}

struct ReadCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::string defaultValue;
    std::string expected;
    std::optional<std::string> wine{};
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name << ": [" << test::Escaped(c.section) << "] " << test::Escaped(c.key)
         << " (default \"" << test::Escaped(c.defaultValue) << "\") of \"" << test::Escaped(c.file)
         << "\" reads \"" << test::Escaped(c.expected) << '"';
    if (c.wine) {
        *out << " (Wine: \"" << test::Escaped(*c.wine) << "\")";
    }
}

class ProfileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, ReturnsWhatTheProfileFunctionsReturn) {
    const ReadCase& c = GetParam();
    ExpectAnswer(ReadFrom(c.file, c.section, c.key, c.defaultValue), c.expected, c.wine);
}

// The live view's one read of the file's bytes, read by the project's own profile code on
// every system, gives Windows' answers too (and not Wine's other ones).
TEST_P(ProfileRead, OneReadOfTheBytesGivesTheSameAnswer) {
    const ReadCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, c.file);
    ProfileDocument document(ReadProfileBytes(path).value_or(""));
    EXPECT_EQ(document.read(c.section, c.key, c.defaultValue), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    ::testing::Values(
        ReadCase{"Plain", "[S]\r\nK=v\r\n", "S", "K", " ", "v"},
        ReadCase{"NamesIgnoreAsciiCase", "[gRoUp0]\nacTIVE=True\n", "Group0", "Active", " ",
                 "True"},
        ReadCase{"BlanksAroundNamesAndValues", "  [  S  ]  \n \t K \t =  v w \t\x1A\n", "S", "K",
                 " ", "v w"},
        ReadCase{"TextAfterTheBracketIsIgnored", "[S] ; note\nK=v\n", "S", "K", " ", "v"},
        ReadCase{"NameRunsToTheLastBracket", "[S]x]\nK=v\n", "S]x", "K", " ", "v"},
        // Were the line a header, it would take the key from S.
        ReadCase{"OpenBracketLineIsNoHeader", "[S]\n[T\nK=2\n", "S", "K", "d", "2"},
        ReadCase{"SemicolonIsNoComment", "[S]\n;K=v\n", "S", ";K", " ", "v"},
        ReadCase{"HashIsNoComment", "[S]\n#K=v\n", "S", "#K", " ", "v"},
        ReadCase{"NoInlineComment", "[S]\nK=v ; c\n", "S", "K", " ", "v ; c"},
        ReadCase{"ValueRunsFromTheFirstEquals", "[S]\nK==a=b\n", "S", "K", " ", "=a=b"},
        // Wine gives an all-blank default back as one blank; Windows drops every blank.
        ReadCase{"FirstSectionOnly", "[S]\nA=1\n[s]\nB=2\n", "S", "B", " ", "", " "},
        ReadCase{"FirstKeyWins", "[S]\nK=1\nk=2\n", "S", "K", " ", "1"},
        ReadCase{"KeysBeforeAnySectionBelongToNone", "K=1\n[S]\n", "S", "K", "d", "d"},
        ReadCase{"LineWithoutEqualsIsNoKey", "[S]\nK\n", "S", "K", "d", "d"},
        ReadCase{"DoubleQuotesDropped", "[S]\nK=\"a b\"\n", "S", "K", " ", "a b"},
        ReadCase{"SingleQuotesDropped", "[S]\nK='a'\n", "S", "K", " ", "a"},
        ReadCase{"UnmatchedQuotesKept", "[S]\nK=\"a'\n", "S", "K", " ", "\"a'"},
        ReadCase{"LoneQuoteKept", "[S]\nK=\"\n", "S", "K", " ", "\""},
        ReadCase{"EmptyQuotesAreEmpty", "[S]\nK=\"\"\n", "S", "K", "d", ""},
        ReadCase{"EmptyValueIsNotTheDefault", "[S]\nK=\n", "S", "K", "d", ""},
        // Wine gives an all-blank default back as one blank; Windows drops every blank.
        ReadCase{"MissingKeyDropsTrailingBlanksOfDefault", "[S]\n", "S", "K", " ", "", " "},
        ReadCase{"MissingSectionGivesDefault", "[S]\nK=v\n", "T", "K", " x  ", " x"},
        ReadCase{"MissingFileGivesDefault", "", "S", "K", "d", "d"},
        ReadCase{"DefaultLosesItsQuotes", "", "S", "K", "\"q\"", "q"},
        ReadCase{"CarriageReturnsEndLines", "[S]\rA=1\rK=v\r", "S", "K", " ", "v"},
        ReadCase{"RunsOfBreaks", "[S]\r\n\r\n\n\rK=v", "S", "K", " ", "v"},
        ReadCase{"NulEndsTheValue", "[S]\nK=ab\0cd\n"s, "S", "K", " ", "ab"},
        // Code page 932: trail bytes are never taken for "]" or "\" or folded as letters.
        ReadCase{"TrailBracketInSectionName", "[\x83\x5D]\nK=v\n", "\x83\x5D", "K", " ", "v"},
        // Were the trail byte taken for "]", the section would be named "S]\x83".
        ReadCase{"TrailBracketAfterTheHeader", "[S]\x83\x5D\nK=v\n", "S", "K", "d", "v"},
        // Were the trail byte taken for "]", the line would head a section "\x83" and take
        // the key from S.
        ReadCase{"TrailBracketAloneClosesNothing", "[S]\n[\x83\x5D\nK=2\n", "S", "K", "d", "2"},
        ReadCase{"TrailLetterIsNotFolded", "[S]\n\x83\x61=1\n\x83\x41=2\n", "S", "\x83\x41", " ",
                 "2"},
        ReadCase{"FullWidthLettersDoNotFold", "[S]\n\x82\x81=1\n", "S", "\x82\x60", "d", "d"},
        ReadCase{"TrailBackslashInValue", "[S]\nK=C:\\\x83\x5C\n", "S", "K", " ", "C:\\\x83\x5C"},
        ReadCase{"TrailBackslashEndsNames", "[\x95\x5C]\n\x83\x5C=v\n", "\x95\x5C", "\x83\x5C", " ",
                 "v"},
        ReadCase{"DoubleByteNames", "[\x90\xDD\x92\xE8]\r\n\x8F\x9F\x82\xBF=\x92\x50\x8F\x9F\r\n",
                 "\x90\xDD\x92\xE8", "\x8F\x9F\x82\xBF", " ", "\x92\x50\x8F\x9F"},
        ReadCase{"HalfWidthKatakana", "[S]\n\xB6\xB7=\xB1\xB2\n", "S", "\xB6\xB7", " ", "\xB1\xB2"},
        ReadCase{"FullWidthSpaceIsNoBlank", "[S]\nK=\x81\x40v\x81\x40\n", "S", "K", " ",
                 "\x81\x40v\x81\x40"},
        // Wine takes a line without "=" for a key without value, which hides the later one.
        ReadCase{"LineWithoutEqualsHidesNoKey", "[S]\r\nK\r\nk=v\r\n", "S", "K", "d", "v", "d"},
        // Wine decodes the file: a lead byte without its trail byte comes back as 81 45 (・).
        ReadCase{"LoneLeadByteBeforeLineBreak", "[S]\r\nK=a\x83\r\nL=1\r\n", "S", "K", " ", "a\x83",
                 "a\x81\x45"},
        // Wine decodes the file: the lone lead byte takes the CR after it and joins two lines.
        ReadCase{"LoneLeadByteJoinsNoLines", "[S]\rK=a\x83\rL=1\r", "S", "L", "d", "1", "d"},
        // Wine decodes the file: NEC-selected IBM extensions come back as the IBM ones (FA-FC).
        ReadCase{"NecSelectedIbmExtension", "[S]\r\nK=\xED\x40\r\n", "S", "K", " ", "\xED\x40",
                 "\xFA\x5C"},
        ReadCase{"BytesOutsideCodePage932", "[S]\r\nK=\x80\xA0\xFD\xFF\r\n", "S", "K", " ",
                 "\x80\xA0\xFD\xFF"},
        ReadCase{"SectionWithoutName", "[S]\r\nA=1\r\n[ ]\r\nK=v\r\n", "S", "K", "d", "d"}),
    [](const auto& info) { return std::string(info.param.name); });

// find() tells a missing key from one that is there, whatever its value, and sees writes.
TEST(ProfileFind, TellsAMissingKeyApart) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nZero=0\r\nOne=1\r\nEmpty=\r\nQuoted=\"1\"\r\n");
    ProfileFile profile(path);
    EXPECT_EQ(profile.find("S", "Zero"), "0");
    EXPECT_EQ(profile.find("s", "one"), "1");
    EXPECT_EQ(profile.find("S", "Empty"), "");
    EXPECT_EQ(profile.find("S", "Quoted"), "1");
    EXPECT_EQ(profile.find("S", "Missing"), std::nullopt);
    EXPECT_EQ(profile.find("T", "Zero"), std::nullopt);
    profile.write("T", "Zero", "0");
    EXPECT_EQ(profile.find("T", "Zero"), "0");
    EXPECT_EQ(ProfileFile(dir.file("none.ini")).find("S", "Zero"), std::nullopt);
}

// At most kReadBufferSize - 1 bytes arrive, and a double-byte character that would
// straddle the limit is left out whole: from the file's bytes, and from a value a save
// wrote, as a load gives it.
TEST(ProfileReadLimit, ValuesAtTheLengthLimit) {
    constexpr std::size_t kLimit = ProfileFile::kReadBufferSize - 1;
    const std::string full(kLimit, 'a');
    const std::string less1(kLimit - 1, 'a');
    const std::string less2(kLimit - 2, 'a');
    struct Case {
        const char* what;
        std::string value;
        std::string read;
        std::optional<std::string> wine{};
    };
    const Case cases[] = {
        {"one byte short", less1, less1},
        {"at the limit", full, full},
        {"one byte over", full + "a", full},
        {"two bytes over", full + "aa", full},
        {"far over", std::string(3000, 'a'), full},
        {"double-byte character ending at the limit", less2 + test::kHyo, less2 + test::kHyo},
        {"double-byte character over the limit", less1 + test::kHyo, less1},
        {"double-byte character over the limit, more behind", less1 + test::kHyo + "bb", less1},
        {"double-byte character whose trail is a letter", less1 + "\x83\x41", less1},
        {"double-byte character after the limit", full + test::kHyo, full},
        {"half-width katakana at the limit", less1 + "\xB1", less1 + "\xB1"},
        // As in LoneLeadByteBeforeLineBreak and ValueEndingInLoneLeadByte, Wine does not give
        // back a lead byte without its trail byte.
        {"lone lead byte at the limit", less1 + "\x83", less1 + "\x83", less1},
    };
    const auto expect = [](const Case& c, const Text& read) {
        EXPECT_TRUE(read == c.read || (test::kMayBeWine && c.wine && read == *c.wine))
            << "read " << read.size() << " bytes ending in "
            << ::testing::PrintToString(read.substr(read.size() < 4 ? 0 : read.size() - 4));
    };
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expect(c, ReadFrom("[S]\r\nK=" + c.value + "\r\n", "S", "K", ""));

        SettingsModel model = test::TestModel(1);
        model.group(5).fields[kOddField] = c.value;
        ASSERT_NO_THROW(WriteIni(model, path));
        SettingsModel loaded;
        ASSERT_NO_THROW(ReadIni(loaded, path));
        expect(c, loaded.group(5).fields[kOddField]);
    }
}

// A read after writes, and after the file is opened again.
struct Read {
    std::string section;
    std::string key;
    std::string expected;
    std::optional<std::string> wine{};
};

struct WriteCase {
    const char* name;
    std::optional<std::string> file;               // none: the file does not exist
    std::vector<std::vector<std::string>> writes;  // section, key, value
    std::vector<Read> reads;
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name << ": file ";
    if (c.file) {
        *out << '"' << test::Escaped(*c.file) << '"';
    } else {
        *out << "(none)";
    }
    for (const auto& write : c.writes) {
        *out << ", [" << test::Escaped(write[0]) << "] " << test::Escaped(write[1]) << "=\""
             << test::Escaped(write[2]) << '"';
    }
}

class ProfileWriteThenRead : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWriteThenRead, ReadsWhatWasWritten) {
    const WriteCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    if (c.file) {
        test::WriteBytes(path, *c.file);
    }
    std::vector<std::pair<std::vector<std::string>, std::optional<Text>>> answered;
    {
        ProfileFile profile(path);
        for (const auto& write : c.writes) {
            profile.write(write[0], write[1], write[2]);
        }
        for (const Read& read : c.reads) {
            SCOPED_TRACE("before commit: [" + read.section + "] " + read.key);
            ExpectAnswer(profile.read(read.section, read.key, "?"), read.expected, read.wine);
        }
        // What the object answers for a key it wrote last is what the file answers once
        // the writes are in it.
        for (std::size_t i = 0; i < c.writes.size(); ++i) {
            const auto& write = c.writes[i];
            const bool writtenAgain =
                std::any_of(c.writes.begin() + static_cast<std::ptrdiff_t>(i) + 1, c.writes.end(),
                            [&](const auto& later) { return later[1] == write[1]; });
            if (!writtenAgain) {
                answered.emplace_back(write, profile.find(write[0], write[1]));
            }
        }
        profile.commit();
    }
    ProfileFile reopened(path);
    for (const Read& read : c.reads) {
        SCOPED_TRACE("after commit: [" + read.section + "] " + read.key);
        ExpectAnswer(reopened.read(read.section, read.key, "?"), read.expected, read.wine);
    }
    // Where Wine is known to read a case otherwise, its file answers otherwise too.
    const bool wineReadsOtherwise =
        std::any_of(c.reads.begin(), c.reads.end(), [](const Read& read) { return read.wine; });
    if (test::kMayBeWine && wineReadsOtherwise) {
        return;
    }
    for (const auto& [write, answer] : answered) {
        SCOPED_TRACE("written: [" + write[0] + "] " + write[1]);
        EXPECT_EQ(reopened.find(write[0], write[1]), answer);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWriteThenRead,
    ::testing::Values(
        WriteCase{"ValueReplaced",
                  "[S]\r\n  K  =  old  \r\nL=1\r\n[T]\r\nK=2\r\n",
                  {{"S", "K", "new"}},
                  {{"S", "K", "new"}, {"S", "L", "1"}, {"T", "K", "2"}}},
        // Had the write added a second "K" line, the first one would still be read.
        WriteCase{"NamesOfOtherCaseAddressTheSameLine",
                  "[s]\r\nk=1\r\n",
                  {{"S", "K", "2"}},
                  {{"S", "K", "2"}, {"s", "k", "2"}}},
        WriteCase{
            "NewKeyInExistingSection",
            "[S]\r\nA=1\r\n; c\r\n\r\n[T]\r\nX=1\r\n",
            {{"S", "B", "2"}, {"S", "C", "3"}},
            {{"S", "A", "1"}, {"S", "B", "2"}, {"S", "C", "3"}, {"T", "X", "1"}, {"T", "B", "?"}}},
        WriteCase{"NewSection",
                  "[S]\r\nA=1",
                  {{"T", "K", "v"}, {"T", "L", "w"}},
                  {{"S", "A", "1"}, {"T", "K", "v"}, {"T", "L", "w"}}},
        WriteCase{"MissingFileIsCreated",
                  std::nullopt,
                  {{"S", "K", "v"}, {"T", "K", "w"}},
                  {{"S", "K", "v"}, {"T", "K", "w"}}},
        // Only the first of two sections of one name is read, so the write must go there.
        WriteCase{"DuplicateSectionWritesTheFirst",
                  "[S]\r\nK=1\r\n[S]\r\nK=2\r\nM=m\r\n",
                  {{"S", "K", "9"}, {"S", "N", "n"}},
                  {{"S", "K", "9"}, {"S", "N", "n"}, {"S", "M", "?"}}},
        WriteCase{"DuplicateKeyWritesTheFirst",
                  "[S]\r\nK=1\r\nK=2\r\n",
                  {{"S", "K", "9"}},
                  {{"S", "K", "9"}}},
        WriteCase{"LastWriteWins",
                  "[S]\r\nK=1\r\n",
                  {{"S", "K", "2"}, {"S", "K", "3"}, {"S", "N", "4"}, {"S", "N", "5"}},
                  {{"S", "K", "3"}, {"S", "N", "5"}}},
        WriteCase{"EmptyValueIsNotMissing", "[S]\r\nK=1\r\n", {{"S", "K", ""}}, {{"S", "K", ""}}},
        WriteCase{"BlanksAndQuotesOfAWrittenValueGoOnReading",
                  "[S]\r\nK=1\r\n",
                  {{"S", "K", " \"x y\" "}, {"S", "L", "'z'"}},
                  {{"S", "K", "x y"}, {"S", "L", "z"}}},
        WriteCase{"DoubleByteValues",
                  "[S]\r\nK=1\r\n",
                  {{"S", "K", "C:\\\x83\x5C\\\x95\x5C"}, {"S", "L", "\x92\x50\x8F\x9F"}},
                  {{"S", "K", "C:\\\x83\x5C\\\x95\x5C"}, {"S", "L", "\x92\x50\x8F\x9F"}}},
        WriteCase{"DoubleByteNames",
                  "[\x90\xDD\x92\xE8]\r\n\x95\x5C=1\r\n",
                  {{"\x90\xDD\x92\xE8", "\x95\x5C", "2"}, {"\x83\x5C", "\x83\x5D", "3"}},
                  {{"\x90\xDD\x92\xE8", "\x95\x5C", "2"}, {"\x83\x5C", "\x83\x5D", "3"}}},
        WriteCase{"SectionWithoutNameKeepsItsKeys",
                  "[S]\r\nA=1\r\n[ ]\r\nK=v\r\n",
                  {{"S", "A", "2"}},
                  // Wine rewrites the whole file and writes no header for a section without name.
                  {{"S", "A", "2"}, {"S", "K", "?", "v"}}},
        // Wine decodes the value written and drops a lead byte that has no trail byte.
        WriteCase{"ValueEndingInLoneLeadByte",
                  "[S]\r\nK=1\r\n",
                  {{"S", "K", "a\x83"}},
                  {{"S", "K", "a\x83", "a"}}},
        WriteCase{"ValueOutsideCodePage932",
                  "[S]\r\nK=1\r\n",
                  {{"S", "K", "\x80\xA0\xFD\xFF"}},
                  {{"S", "K", "\x80\xA0\xFD\xFF"}}},
        WriteCase{"LongValueReadsShort",
                  "[S]\r\nK=1\r\n",
                  {{"S", "K", std::string(3000, '7')}},
                  {{"S", "K", std::string(ProfileFile::kReadBufferSize - 1, '7')}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A new file is laid out in the order of the writes, with CR LF line ends.
TEST(ProfileWriteLayout, NewFile) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    {
        ProfileFile profile(path);
        profile.write("S", "K", "v");
        profile.write("T", "A", "1");
        profile.write("S", "L", "w");
        profile.write("T", "B", "");
        profile.commit();
    }
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=v\r\nL=w\r\n[T]\r\nA=1\r\nB=\r\n");
}

// Writing the values a file already holds leaves its bytes as they are.
TEST(ProfileWriteLayout, SameValuesAgainChangeNothing) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const auto save = [&path] {
        ProfileFile profile(path);
        profile.write("S", "K", "\x83\x5C");
        profile.write("S", "L", "");
        profile.write("T", "K", "1");
        profile.commit();
    };
    save();
    const std::string once = test::ReadBytes(path);
    save();
    EXPECT_EQ(test::ReadBytes(path), once);
}

}  // namespace
}  // namespace jnx
