// The bytes ProfileDocument gives after writes: every byte a write does not address stays
// as it was. What its reads return is tested through ProfileFile in
// profile_functions_test.cpp, against the Windows functions as well.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "profile_document.h"

#include "support/printing.h"

namespace jnx {
namespace {

struct WriteCase {
    const char* name;
    std::string file;
    std::vector<std::vector<std::string>> writes;  // section, key, value
    std::string expected;
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name << ": file \"" << test::Escaped(c.file) << '"';
    for (const auto& write : c.writes) {
        *out << ", [" << test::Escaped(write[0]) << "] " << test::Escaped(write[1]) << "=\""
             << test::Escaped(write[2]) << '"';
    }
    *out << " give \"" << test::Escaped(c.expected) << '"';
}

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyWhatItWrites) {
    const WriteCase& c = GetParam();
    ProfileDocument document(c.file);
    for (const auto& write : c.writes) {
        document.write(write[0], write[1], write[2]);
    }
    EXPECT_EQ(document.bytes(), c.expected);
    for (const auto& write : c.writes) {
        // What a write stored reads back, before and after the bytes are parsed again.
        ProfileDocument reread(document.bytes());
        EXPECT_EQ(reread.read(write[0], write[1], "?"), document.read(write[0], write[1], "?"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    ::testing::Values(
        WriteCase{"ValueReplacedInPlace",
                  "[S]\r\n  K  =  old  \r\n; c\r\n",
                  {{"S", "K", "new"}},
                  "[S]\r\n  K  =  new  \r\n; c\r\n"},
        WriteCase{"EmptyValueFilled",
                  "[S]\r\nK=\r\nL=   \r\n",
                  {{"S", "K", "a"}, {"S", "L", "b"}},
                  "[S]\r\nK=a\r\nL=b   \r\n"},
        WriteCase{
            "QuotedValueReplacedWhole", "[S]\nK=\"old\"\n", {{"S", "K", "new"}}, "[S]\nK=new\n"},
        WriteCase{
            "ValueWrittenVerbatim", "[S]\nK=1\n", {{"S", "K", " \"x\" "}}, "[S]\nK= \"x\" \n"},
        WriteCase{"KeyKeepsItsSpellingInTheFile", "[s]\nk=1\n", {{"S", "K", "2"}}, "[s]\nk=2\n"},
        WriteCase{"LastWriteWins", "[S]\nK=1\n", {{"S", "K", "2"}, {"S", "K", "3"}}, "[S]\nK=3\n"},
        // A write of the bytes the line already holds replaces nothing; the writes after it
        // still do, back to the first value as well.
        WriteCase{"SameValueThenAnother",
                  "[S]\nK= 1 \nL=\"2\"\n",
                  {{"S", "K", "1"}, {"S", "L", "2"}, {"S", "K", "3"}},
                  "[S]\nK= 3 \nL=2\n"},
        WriteCase{"AnotherValueThenTheFirst",
                  "[S]\nK=1\n",
                  {{"S", "K", "2"}, {"S", "K", "1"}},
                  "[S]\nK=1\n"},
        WriteCase{"NewKeyAfterLastKeyLine",
                  "[S]\r\nA=1\r\n; c\r\n\r\n[T]\r\nX=1\r\n",
                  {{"S", "B", "2"}, {"S", "C", "3"}},
                  "[S]\r\nA=1\r\nB=2\r\nC=3\r\n; c\r\n\r\n[T]\r\nX=1\r\n"},
        WriteCase{"NewKeyInSectionWithoutKeys",
                  "[S]\n; c\n[T]\n",
                  {{"S", "B", "2"}},
                  "[S]\nB=2\n; c\n[T]\n"},
        WriteCase{"NewSectionAtTheEnd",
                  "[S]\nA=1\n",
                  {{"T", "K", "v"}, {"T", "L", "w"}},
                  "[S]\nA=1\n[T]\nK=v\nL=w\n"},
        WriteCase{"NoFinalLineBreak", "[S]\r\nA=1", {{"S", "B", "2"}}, "[S]\r\nA=1\r\nB=2\r\n"},
        WriteCase{"NoFinalLineBreakNewSection",
                  "[S]\r\nA=1",
                  {{"T", "K", "v"}},
                  "[S]\r\nA=1\r\n[T]\r\nK=v\r\n"},
        WriteCase{
            "EmptyFile", "", {{"S", "K", "v"}, {"T", "K", "w"}}, "[S]\r\nK=v\r\n[T]\r\nK=w\r\n"},
        WriteCase{"NoLineBreakAtAllTakesCrLf",
                  "; only a comment",
                  {{"S", "K", "v"}},
                  "; only a comment\r\n[S]\r\nK=v\r\n"},
        WriteCase{"NewLinesEndLikeTheFirstLine",
                  "[S]\nA=1\r\nB=2\r\n",
                  {{"S", "C", "3"}},
                  "[S]\nA=1\r\nB=2\r\nC=3\n"},
        WriteCase{"CarriageReturnFile",
                  "[S]\rA=1\r",
                  {{"S", "B", "2"}, {"T", "K", "v"}},
                  "[S]\rA=1\rB=2\r[T]\rK=v\r"},
        WriteCase{"DuplicateSectionWritesTheFirst",
                  "[S]\nK=1\n[S]\nK=2\n",
                  {{"S", "K", "9"}, {"S", "N", "n"}},
                  "[S]\nK=9\nN=n\n[S]\nK=2\n"},
        WriteCase{
            "DuplicateKeyWritesTheFirst", "[S]\nK=1\nK=2\n", {{"S", "K", "9"}}, "[S]\nK=9\nK=2\n"},
        WriteCase{
            "KeyBeforeAnySectionUntouched", "K=1\n[S]\n", {{"S", "K", "2"}}, "K=1\n[S]\nK=2\n"},
        WriteCase{"ForeignBytesKept",
                  "\xFF\xFE junk\r\n[S]\r\nK=1\r\n\x83\r\n\x80\xA0\xFD=\xFF\r\n[\x83\x5D]\r\n",
                  {{"S", "K", "2"}, {"\x83\x5D", "A", "\x95\x5C"}},
                  "\xFF\xFE junk\r\n[S]\r\nK=2\r\n\x83\r\n\x80\xA0\xFD=\xFF\r\n[\x83\x5D]\r\n"
                  "A=\x95\x5C\r\n"},
        // Added lines end like the first line, in a lone CR; in front of an old LF, which
        // would read as one line break with it and lose the empty line it ends, in CR LF.
        WriteCase{"LoneCrBeforeAnLfEndsInCrLf",
                  "; notes\r[Group0]\rType=T\n\n[Dir]\r",
                  {{"Group0", "Bb", "3"}},
                  "; notes\r[Group0]\rType=T\nBb=3\r\n\n[Dir]\r"},
        // A "[" inside a line heads nothing, nor does any "[" after it on that line; the
        // next line's is looked at.
        WriteCase{"BracketsInsideLinesHeadNothing",
                  "x[T]\nK=0\na[b[ [T]\nK=1\n[T]\nK=2\n",
                  {{"T", "K", "9"}},
                  "x[T]\nK=0\na[b[ [T]\nK=1\n[T]\nK=9\n"},
        // An unclosed "[" line ending in a lead byte: the byte stands alone and the "]" of
        // the next line closes nothing.
        WriteCase{"LeadByteBeforeTheBreakOfAnOpenBracketLine",
                  "[T\x83\n]K=0\n[T]\nK=1\n",
                  {{"T", "K", "9"}},
                  "[T\x83\n]K=0\n[T]\nK=9\n"},
        WriteCase{"BlankLinesBetweenSectionsStay",
                  "[S]\n\nA=1\n\n\n[T]\n\n",
                  {{"S", "A", "x"}, {"T", "B", "y"}},
                  "[S]\n\nA=x\n\n\n[T]\nB=y\n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileWrite, NothingWrittenGivesTheSameBytes) {
    const std::string file = "\r\n[S]\n K = v \r; x\r\n\r\n[T\n=\n\xFF\x83";
    EXPECT_EQ(ProfileDocument(file).bytes(), file);
}

TEST(ProfileWrite, ReadsSeeEarlierWrites) {
    ProfileDocument document("[S]\nK=1\n");
    document.write("S", "K", "\"2\"");
    document.write("s", "new", " 3 ");
    document.write("T", "K", "4");
    EXPECT_EQ(document.read("S", "K", " "), "2");
    EXPECT_EQ(document.read("S", "NEW", " "), "3");
    EXPECT_EQ(document.read("t", "k", " "), "4");
}

// Thousands of sections, each name twice in another case, and as many added by writes:
// every read and write finds the first section of its name and the first key in it, and
// the added sections come at the end in the order they were first written.
TEST(ProfileWrite, ManySectionsFirstOfEachNameWins) {
    constexpr int kCount = 3000;
    std::string file;
    std::string expected;
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        file += "[Sec" + n + "]\nKey=a" + n + "\nkey=b\n; end\n";
        expected += "[Sec" + n + "]\nKey=w" + n + "\nkey=b\nnew=n" + n + "\n; end\n";
    }
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        file += "[SEC" + n + "]\nKEY=c" + n + "\n";
        expected += "[SEC" + n + "]\nKEY=c" + n + "\n";
    }
    for (int i = 0; i < kCount; ++i) {
        expected += "[Added" + std::to_string(i) + "]\nK=t\n";
    }

    ProfileDocument document(file);
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        document.write("sec" + n, "KEY", "w" + n);
        document.write("SEC" + n, "new", "n" + n);
        document.write("Added" + std::to_string(i), "K", "t");
    }
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_EQ(document.read("sEC" + n, "kEY", "?"), "w" + n) << i;
        ASSERT_EQ(document.read("Sec" + n, "NEW", "?"), "n" + n) << i;
        ASSERT_EQ(document.read("ADDED" + n, "k", "?"), "t") << i;
    }
    // Compared by hand: a diff of two such texts would take the test runner minutes.
    const std::string bytes = document.bytes();
    const std::size_t differs =
        std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end()).first -
        bytes.begin();
    EXPECT_EQ(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(differs, 40), expected.substr(differs, 40)) << "at byte " << differs;
}

// Added lines end like the first line, whose break falls at every offset up to 17 bytes
// (a CR LF split across any two offsets included), whatever the lines after it end in; a
// file without a break takes CR LF. The first line is a comment or the section's own header.
TEST(ProfileWrite, FirstLineEndDecidesAddedLineEnds) {
    struct Ending {
        std::string first;  // the first line's break
        std::string later;  // the other lines' breaks
        std::string added;  // what an added line ends in
    };
    const Ending endings[] = {
        {"\r\n", "\n", "\r\n"}, {"\n", "\r\n", "\n"}, {"\r", "\n", "\r"}, {"", "", "\r\n"}};
    for (const Ending& e : endings) {
        for (std::size_t length = 0; length <= 17; ++length) {
            const std::string padding(length, 'x');
            const std::string comment = "; " + padding;
            const std::string header = "[S]" + padding;
            std::vector<std::pair<std::string, std::string>> cases;  // file, expected
            if (e.first.empty()) {
                cases.emplace_back(comment, comment + "\r\n[S]\r\nB=2\r\n");
                cases.emplace_back(header, header + "\r\nB=2\r\n");
            } else {
                const std::string afterComment =
                    comment + e.first + "[S]" + e.later + "A=1" + e.later;
                const std::string afterHeader = header + e.first + "A=1" + e.later;
                cases.emplace_back(afterComment, afterComment + "B=2" + e.added);
                cases.emplace_back(afterHeader, afterHeader + "B=2" + e.added);
            }
            for (const auto& [file, expected] : cases) {
                SCOPED_TRACE(::testing::PrintToString(file));
                ProfileDocument document(file);
                document.write("S", "B", "2");
                EXPECT_EQ(document.bytes(), expected);
            }
        }
    }
}

// Reads and writes in the file's order, against it and of one key twice in a row find
// the first key line of each name, however the look-ups before went.
TEST(ProfileLookup, AnyOrderFindsTheFirstKeyOfItsName) {
    const std::string file = "[S]\nA=1\nB=2\na=3\nC=4\nb=5\nD=6\n";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"A", "1"}, {"B", "2"}, {"a", "1"}, {"C", "4"}, {"b", "2"}, {"D", "6"}};
    std::vector<std::vector<std::size_t>> orders = {
        {0, 1, 2, 3, 4, 5}, {5, 4, 3, 2, 1, 0}, {1, 2, 2, 4, 4, 0}, {3, 4, 5, 0, 1, 2}};
    for (const auto& order : orders) {
        ProfileDocument document(file);
        for (const std::size_t i : order) {
            EXPECT_EQ(document.read("S", expected[i].first, "?"), expected[i].second)
                << expected[i].first;
        }
    }
    // A read and a write of each key in turn, as a save goes.
    ProfileDocument document(file);
    for (const auto& [key, value] : expected) {
        const std::string written = document.find("S", key).value_or("?") + "!";
        document.write("S", key, written);
        EXPECT_EQ(document.find("S", key), written);
    }
    EXPECT_EQ(document.bytes(), "[S]\nA=1!!\nB=2!!\na=3\nC=4!\nb=5\nD=6!\n");
}

// Key lines of every name and value length up to 17 bytes, with every line end and none
// at the end of the file, read and write alike.
TEST(ProfileLookup, NamesAndValuesOfEveryLength) {
    for (const std::string end : {"\r\n", "\n", "\r", ""}) {
        for (std::size_t nameLength = 1; nameLength <= 17; ++nameLength) {
            for (std::size_t valueLength = 0; valueLength <= 17; ++valueLength) {
                const std::string key(nameLength, 'k');
                const std::string value(valueLength, 'v');
                const std::string file = "[S]" + std::string(end.empty() ? "\n" : end) + " " + key +
                                         " = " + value + " " + end;
                SCOPED_TRACE(::testing::PrintToString(file));
                ProfileDocument document(file);
                EXPECT_EQ(document.find("S", key), value);
                EXPECT_EQ(document.find("S", key + "k"), std::nullopt);
                document.write("S", key, "w");
                // An empty value is written right after the "=".
                const std::size_t at = file.find('=') + (value.empty() ? 1 : 2);
                EXPECT_EQ(document.bytes(),
                          file.substr(0, at) + "w" + file.substr(at + value.size()));
            }
        }
    }
}

// Long lines end at their first CR or LF wherever it falls, hundreds of bytes in: a long
// first line decides how added lines end, a long value is read and replaced whole, and a
// lone CR ends its line however far away the next LF stands.
TEST(ProfileLookup, LongLinesEndAtTheirFirstBreak) {
    struct Ending {
        std::string first;  // the first line's break
        std::string later;  // the other lines' breaks
    };
    const Ending endings[] = {{"\r\n", "\n"}, {"\n", "\r"}, {"\r", "\n"}, {"\r", "\r"}};
    for (const Ending& e : endings) {
        for (const std::size_t length : {200, 255, 256, 257, 300, 511, 512, 513, 1000, 3000}) {
            const std::string text(length, 'x');
            SCOPED_TRACE(::testing::PrintToString(e.first + e.later) + " " +
                         std::to_string(length));

            const std::string comment = "; " + text + e.first + "[S]" + e.later + "A=1" + e.later;
            ProfileDocument commented(comment);
            commented.write("S", "B", "2");
            EXPECT_EQ(commented.bytes(), comment + "B=2" + e.first);

            // The break after K's value is the later kind, L's the first kind: a lone CR
            // hundreds of bytes ahead of an LF ends K's line.
            const std::string value = text + "=" + text;
            const std::string keys =
                "[S]" + e.first + "K= " + value + " " + e.later + "L=" + text + e.first + "M=3";
            ProfileDocument document(keys);
            EXPECT_EQ(document.find("S", "K"), ProfileDocument::asRead(value));
            EXPECT_EQ(document.find("S", "L"), ProfileDocument::asRead(text));
            EXPECT_EQ(document.find("S", "M"), "3");
            document.write("S", "K", "w");
            document.write("S", "M", "4");
            EXPECT_EQ(document.bytes(),
                      "[S]" + e.first + "K= w " + e.later + "L=" + text + e.first + "M=4");
        }
    }
}

}  // namespace
}  // namespace jnx
