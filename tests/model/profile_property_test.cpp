// Randomized checks of the settings file layer. Random files, hostile lines included, and
// random models go through WriteIni and ReadIni; random sequences of writes go through
// ProfileDocument. The seeds are fixed, so a failure repeats with the same case number.
// What the lines of a file must be after the writes comes from the plain reference reader
// in support/reference_reader.h, not from the profile code under test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "errors.h"
#include "int_conversion.h"
#include "profile_document.h"
#include "settings_file.h"
#include "settings_model.h"
#include "tables.h"

#include "support/printing.h"
#include "support/reference_reader.h"
#include "support/test_files.h"

namespace jnx {
namespace {

using Rng = std::mt19937;
using test::Escaped;
using test::reference::ExpectedLines;
using test::reference::FirstLineDifference;
using test::reference::Fold;
using test::reference::IsLeadByte;
using test::reference::SectionWrites;
using test::reference::SplitLines;
using test::reference::Trim;

// Every file case writes the file twice, flushed to disk each time: they cost the most.
constexpr int kFileCases = 500;
constexpr int kDocumentCases = 2000;

std::size_t Pick(Rng& rng, std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(rng);
}

bool Chance(Rng& rng, double probability) {
    return std::bernoulli_distribution(probability)(rng);
}

template <typename T, std::size_t N>
const T& PickFrom(Rng& rng, const T (&items)[N]) {
    return items[Pick(rng, N)];
}

// What WriteIni puts into the file for a model, section by section in its order.
std::vector<SectionWrites> FileValues(const SettingsModel& model) {
    std::vector<SectionWrites> writes;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const GroupSettings& group = model.group(g);
        SectionWrites section{GroupSection(g), {}};
        section.keys.emplace_back(std::string(kActiveKey), group.active ? "True" : "False");
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            std::string value = group.fields[k];
            if (k == kTypeField) {
                if (const auto code = BetTypeCodeByName(value)) {
                    value = *code;
                }
            } else if (k == kCourseField) {
                if (const auto number = CourseNumberByName(value)) {
                    value = std::to_string(*number);
                }
            }
            section.keys.emplace_back(std::string(FieldKey[k]), value);
        }
        writes.push_back(std::move(section));
    }
    writes.push_back(
        {"Dir", {{"BetAutoRead", model.betAutoReadFolder}, {"PatData", model.patFolder}}});
    writes.push_back({"Options", {{"OKStep", model.pauseText == "True" ? "True" : "False"}}});
    return writes;
}

// ---------------------------------------------------------------------------------------
// Random material.

// Pieces of random texts: plain ASCII, the bytes that mean something to the file layer,
// double-byte characters whose trail byte looks like "\", "]", "[" or a letter, half-width
// katakana and bytes that are not code page 932 at all.
constexpr std::string_view kPieces[] = {
    "a",        "Z",    "7",    "0",    "-", ".",  "=",    "[",    "]",      ";",    "#",
    "\\",       "/",    "\"",   "'",    " ", "\t", "\x1A", "Type", "Group0", "True",
    "\x83\x5C",          // ソ
    "\x95\x5C",          // 表
    "\x83\x5D",          // ム
    "\x81\x5B",          // ー
    "\x83\x41",          // ア
    "\x83\x61",          // ヂ
    "\x92\x50",          // 単
    "\x8F\x9F",          // 勝
    "\xB1",     "\xDF",  // ｱ ﾟ
    "\x80",     "\xA0", "\xFD", "\xFF",
};

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// A text a file can hold as a value and give back unchanged: no blanks around it, no
// matching quotes around it, no line break, no NUL, at most kMaxValueLength bytes.
std::string RandomValue(Rng& rng, std::size_t maxLength = ProfileDocument::kMaxValueLength) {
    std::string text;
    const bool longText = Chance(rng, 0.01);
    const std::size_t pieces = longText ? 2000 : Pick(rng, 9);
    for (std::size_t i = 0; i < pieces; ++i) {
        text += PickFrom(rng, kPieces);
    }
    if (text.size() > maxLength) {
        // May leave a lone lead byte at the end, which the file keeps as it is.
        text.resize(maxLength - Pick(rng, 3));
    }
    const auto [begin, end] = Trim(text, 0, text.size());
    text = text.substr(begin, end - begin);
    if (text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front()) {
        text.back() = 'x';
    }
    return text;
}

// Raw bytes for a value in a file: anything but a line break.
std::string RandomRawValue(Rng& rng) {
    switch (Pick(rng, 8)) {
        case 0:
            return "";
        case 1:
            return "\"" + RandomValue(rng) + "\"";
        case 2:
            return {"abc\0junk", 8};
        case 3: {
            std::string huge(3000, 'v');
            return huge;
        }
        default:
            return RandomValue(rng);
    }
}

std::string VaryCase(Rng& rng, std::string_view name) {
    std::string varied(name);
    for (std::size_t i = 0; i < varied.size(); ++i) {
        if (IsLeadByte(varied[i])) {
            ++i;
        } else if (Chance(rng, 0.5)) {
            const char c = varied[i];
            if (c >= 'a' && c <= 'z') {
                varied[i] = static_cast<char>(c - 'a' + 'A');
            } else if (c >= 'A' && c <= 'Z') {
                varied[i] = static_cast<char>(c - 'A' + 'a');
            }
        }
    }
    return varied;
}

std::string RandomInteger(Rng& rng) {
    return std::to_string(std::uniform_int_distribution<std::int32_t>(-100000, 100000)(rng));
}

// An integer text for "Bb" that names no course, in any notation StrToInt takes.
std::string RandomCourseNumberText(Rng& rng) {
    static constexpr std::string_view kForms[] = {
        "0",  "11",  "-1",         "+11",         "00",         "-0",        "$B",
        "x0", "$FF", "0X7fffffff", "-2147483648", "2147483647", "$FFFFFFFF",
    };
    for (;;) {
        std::string text =
            Chance(rng, 0.5) ? std::string(PickFrom(rng, kForms)) : RandomInteger(rng);
        const std::int32_t value = StrToInt(text);
        if (value < 1 || value > 10) {
            return text;
        }
    }
}

SettingsModel RandomModel(Rng& rng) {
    static constexpr std::string_view kCodes[] = {"T", "F", "W", "U", "K"};
    SettingsModel model;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        GroupSettings& group = model.group(g);
        group.active = Chance(rng, 0.5);
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            std::string& field = group.fields[k];
            switch (k) {
                case kTypeField:
                    if (Chance(rng, 0.6)) {
                        field = BetTypeCode[Pick(rng, BetTypeCode.size())].name;
                    } else {
                        do {
                            field = RandomValue(rng);
                        } while (std::find(std::begin(kCodes), std::end(kCodes), field) !=
                                 std::end(kCodes));
                    }
                    break;
                case kCourseField:
                    field = Chance(rng, 0.6) ? std::string(CourseCode[Pick(rng, CourseCode.size())])
                                             : RandomCourseNumberText(rng);
                    break;
                case kPopularityField:
                case kMaxStepField:
                    field = RandomInteger(rng);
                    break;
                default:
                    field = RandomValue(rng);
                    break;
            }
        }
    }
    model.betAutoReadFolder = "C:\\Jnx\\" + RandomValue(rng, 2000) + "\\";
    model.patFolder = RandomValue(rng);
    model.pauseText = Chance(rng, 0.5) ? "True" : "False";
    return model;
}

// The sections and keys WriteIni writes, and some it does not.
std::vector<std::pair<std::string, std::vector<std::string>>> TargetSections() {
    std::vector<std::pair<std::string, std::vector<std::string>>> sections;
    std::vector<std::string> groupKeys{std::string(kActiveKey)};
    groupKeys.insert(groupKeys.end(), FieldKey.begin(), FieldKey.end());
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        sections.emplace_back(GroupSection(g), groupKeys);
    }
    sections.push_back({"Dir", {"BetAutoRead", "PatData"}});
    sections.push_back({"Options", {"OKStep"}});
    return sections;
}

constexpr std::string_view kForeignSections[] = {
    "Main",           "Window", "Group", "GroupAA", "Group 1", "Dirs",
    "\x95\x5C",  // 表
    "\x83\x5C",  // ソ
    "\x83\x5D",  // ム
    "\x83\x41",  // ア
    "\x83\x61",  // ヂ
    "Group0\x83\x5D",
};

constexpr std::string_view kForeignKeys[] = {
    "Version",      "LastRun", "User", "Types", "Bbb", "Active2",
    "\x95\x5C",  // 表
    "\x83\x5C",  // ソ
    "\x83\x41",  // ア
    "\x83\x61",  // ヂ
    "\x83Type",  // テ + "ype": a lead byte before a key of ours
    "Type\x83\x41",
};

std::string HeaderLine(Rng& rng, const std::string& name) {
    switch (Pick(rng, 10)) {
        case 0:
            return "[" + VaryCase(rng, name) + "]";
        case 1:
            return "[ " + name + " ]";
        case 2:
            return "\t [" + name + "]  ";
        case 3:
            return "[" + name + "] ; " + RandomValue(rng);
        case 4:
            return "\x1A[" + name + "]";
        case 5:
            return "[" + name + "]=" + RandomValue(rng);
        default:
            return "[" + name + "]";
    }
}

std::string KeyLine(Rng& rng, const std::string& key) {
    const std::string value = RandomRawValue(rng);
    switch (Pick(rng, 9)) {
        case 0:
            return "  " + key + "  =  " + value + "  ";
        case 1:
            return VaryCase(rng, key) + "=" + value;
        case 2:
            return key + "='" + RandomValue(rng) + "'";
        case 3:
            return key + "=";
        case 4:
            return key + " =\t" + value + "\x1A";
        case 5:
            return "\t" + key + "=" + value + std::string("\0tail", 5);
        default:
            return key + "=" + value;
    }
}

std::string HostileLine(Rng& rng, const std::string& someKey) {
    switch (Pick(rng, 16)) {
        case 0:
            return "; " + RandomValue(rng);
        case 1:
            return ";" + someKey + "=W";
        case 2:
            return "#" + someKey + "=x";
        case 3:
            return "";
        case 4:
            return " \t \x0B";
        case 5:
            return "a line without an equals sign " + RandomValue(rng);
        case 6:
            return someKey;
        case 7:
            return "[Group" + std::string(GroupName[Pick(rng, GroupName.size())]);  // no "]"
        case 8:
            return "[Group1\x83]";  // the "]" is a trail byte: no header
        case 9:
            return "=" + RandomValue(rng);
        case 10:
            return std::string(PickFrom(rng, kForeignKeys)) + "=" + RandomRawValue(rng);
        case 11: {
            std::string garbage;
            const std::size_t length = Pick(rng, 24);
            for (std::size_t i = 0; i < length; ++i) {
                char c = static_cast<char>(Pick(rng, 256));
                garbage += c == '\r' || c == '\n' ? '\0' : c;
            }
            return garbage;
        }
        case 12:
            return "Group0]";
        case 13:
            return RandomValue(rng) + "\x83";  // a lone lead byte before the line break
        default:
            return KeyLine(rng, std::string(PickFrom(rng, kForeignKeys)));
    }
}

// A random profile file: sections of ours (duplicated, in other letter case, oddly
// spaced) and foreign ones, with key lines, comments, garbage and mixed line breaks.
std::string RandomFile(Rng& rng) {
    static const auto targets = TargetSections();
    std::vector<std::string> lines;
    if (Chance(rng, 0.03)) {
        return {};
    }
    const std::size_t leading = Pick(rng, 3);
    for (std::size_t i = 0; i < leading; ++i) {
        lines.push_back(HostileLine(rng, "Type"));
    }
    const std::size_t sections = Pick(rng, 16);
    for (std::size_t s = 0; s < sections; ++s) {
        std::string name;
        std::vector<std::string> keys;
        if (Chance(rng, 0.7)) {
            // Low group numbers more often, so that duplicates happen.
            const std::size_t index = Chance(rng, 0.5) ? Pick(rng, 4) : Pick(rng, targets.size());
            name = targets[index].first;
            keys = targets[index].second;
        } else {
            name = PickFrom(rng, kForeignSections);
            keys.assign(std::begin(kForeignKeys), std::end(kForeignKeys));
        }
        lines.push_back(HeaderLine(rng, name));
        const std::size_t body = Pick(rng, 10);
        for (std::size_t i = 0; i < body; ++i) {
            const std::string& key = keys[Pick(rng, keys.size())];
            lines.push_back(Chance(rng, 0.6) ? KeyLine(rng, key) : HostileLine(rng, key));
        }
    }

    static constexpr std::string_view kBreaks[] = {"\r\n", "\n", "\r"};
    const std::size_t mode = Pick(rng, 5);  // 0-2: one kind of line break, else mixed
    std::string file;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        file += lines[i];
        if (i + 1 < lines.size() || Chance(rng, 0.7)) {
            file += mode < 3 ? kBreaks[mode] : PickFrom(rng, kBreaks);
        }
    }
    return file;
}

// ---------------------------------------------------------------------------------------

std::string FirstDifference(const SettingsModel& expected, const SettingsModel& actual) {
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const GroupSettings& a = expected.group(g);
        const GroupSettings& b = actual.group(g);
        if (a.active != b.active) {
            return GroupSection(g) + "/Active";
        }
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            if (a.fields[k] != b.fields[k]) {
                return GroupSection(g) + "/" + std::string(FieldKey[k]) + ": expected " +
                       Escaped(a.fields[k]) + ", read " + Escaped(b.fields[k]);
            }
        }
    }
    const auto describe = [](std::string_view name, const std::string& a, const std::string& b) {
        return std::string(name) + ": expected " + Escaped(a) + ", read " + Escaped(b);
    };
    if (expected.betAutoReadFolder != actual.betAutoReadFolder) {
        return describe("Dir/BetAutoRead", expected.betAutoReadFolder, actual.betAutoReadFolder);
    }
    if (expected.patFolder != actual.patFolder) {
        return describe("Dir/PatData", expected.patFolder, actual.patFolder);
    }
    return describe("Options/OKStep", expected.pauseText, actual.pauseText);
}

// The file a failing case started from, for its message.
std::string CaseText(int n, std::string_view file) {
    return "case " + std::to_string(n) + ", file: " + Escaped(file, 100000);
}

// A model as it comes back from a file it was written to: the pause option is "True" or
// "False", and a value the file read with quotes around it loses them.
SettingsModel AsWrittenAndRead(SettingsModel model) {
    auto unquote = [](std::string& value) {
        if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
    };
    for (GroupSettings& group : model.groups) {
        for (std::string& field : group.fields) {
            unquote(field);
        }
    }
    unquote(model.betAutoReadFolder);
    unquote(model.patFolder);
    model.pauseText = model.pauseText == "True" ? "True" : "False";
    return model;
}

// WriteIni on any file changes only the value bytes of the key lines it writes and adds
// only the key lines and sections it lacks; ReadIni then gives the model back, and a
// second WriteIni of the same model changes nothing.
TEST(SettingsFileProperty, WriteKeepsEveryOtherLineAndReadsBack) {
    Rng rng(20240611);
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    int linesDiffer = 0;  // only the first such case is shown; the rest are still checked
    for (int n = 0; n < kFileCases; ++n) {
        const std::string original = RandomFile(rng);
        const SettingsModel model = RandomModel(rng);
        test::WriteBytes(path, original);

        ASSERT_NO_THROW(WriteIni(model, path)) << CaseText(n, original);
        const std::string written = test::ReadBytes(path);
        const std::string lineDifference =
            FirstLineDifference(ExpectedLines(original, FileValues(model)), SplitLines(written));
        if (!lineDifference.empty() && linesDiffer++ == 0) {
            ADD_FAILURE() << lineDifference << "\n"
                          << CaseText(n, original) << "\nwritten: " << Escaped(written, 100000);
        }

        SettingsModel read;
        ASSERT_NO_THROW(ReadIni(read, path)) << CaseText(n, original);
        ASSERT_TRUE(read == model) << FirstDifference(model, read) << "\n" << CaseText(n, original);

        ASSERT_NO_THROW(WriteIni(model, path)) << CaseText(n, original);
        ASSERT_TRUE(test::ReadBytes(path) == written) << "the second write changed the file\n"
                                                      << CaseText(n, original);
    }
    EXPECT_EQ(linesDiffer, 0) << "cases whose lines are not as expected";
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// ReadIni on any file either loads it or stops with ConversionError; what it loaded comes
// back from WriteIni and ReadIni as it was, but for the pause option and quotes.
TEST(SettingsFileProperty, ReadLoadsOrThrowsConversionError) {
    Rng rng(77001);
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    int loaded = 0;
    for (int n = 0; n < kFileCases; ++n) {
        // Half the files start with every group and a course number, so that loads get
        // through more often than not.
        std::string file;
        if (Chance(rng, 0.5)) {
            for (std::size_t g = 0; g < kGroupCount; ++g) {
                file += "[" + GroupSection(g) + "]\r\nBb=" + std::to_string(Pick(rng, 12)) + "\r\n";
            }
        }
        file += RandomFile(rng);
        test::WriteBytes(path, file);

        SettingsModel model;
        try {
            ReadIni(model, path);
        } catch (const ConversionError&) {
            continue;
        } catch (...) {
            FAIL() << "ReadIni threw something other than ConversionError\n" << CaseText(n, file);
        }
        ++loaded;
        ASSERT_NO_THROW(WriteIni(model, path)) << CaseText(n, file);
        SettingsModel again;
        ASSERT_NO_THROW(ReadIni(again, path)) << CaseText(n, file);
        const SettingsModel expected = AsWrittenAndRead(model);
        ASSERT_TRUE(again == expected) << FirstDifference(expected, again) << "\n"
                                       << CaseText(n, file);
    }
    EXPECT_GT(loaded, kFileCases / 4);
}

// ---------------------------------------------------------------------------------------
// ProfileDocument alone: after random writes to random names, its bytes hold every line
// as it was but for the values written and the lines added, and read back every written
// key as its last value and every other key as before.

TEST(ProfileDocumentProperty, BytesReadBackWhatWasWritten) {
    Rng rng(5551212);
    static constexpr std::string_view kSections[] = {
        "Group0",   "group0",   "GROUP1",   "Group2",      "GroupZ",    "Dir",
        "options",  "Main",     "New",      "New Section", "\x95\x5C",  "\x83\x5C",
        "\x83\x5D", "\x83\x41", "\x83\x61", "\x83\x41x",   "\x83\x61X", "Group0\x83\x5D",
    };
    static constexpr std::string_view kKeys[] = {
        "Active",   "active",   "TYPE",        "Type",      "Bb",       "bB",       "MinOdd",
        "Maxstep",  "PN",       "BetAutoRead", "OKStep",    "Version",  "\x95\x5C", "\x83\x5C",
        "\x83\x41", "\x83\x61", "\x83\x41x",   "\x83\x61X", "\x83Type", "New Key",
    };
    constexpr std::string_view kDefault = "\x01(default)";

    int linesDiffer = 0;  // only the first such case is shown; the rest are still checked
    for (int n = 0; n < kDocumentCases; ++n) {
        const std::string original = RandomFile(rng);

        ProfileDocument before(original);
        std::map<std::pair<std::string_view, std::string_view>, std::string> oldValues;
        for (std::string_view section : kSections) {
            for (std::string_view key : kKeys) {
                oldValues[{section, key}] = before.read(section, key, kDefault);
            }
        }

        struct Write {
            std::string_view section;
            std::string_view key;
            std::string value;
        };
        std::map<std::pair<std::string, std::string>, Write> lastWrite;  // by folded names
        // The writes by section, each named as first written, in the order of first writes.
        std::vector<SectionWrites> bySection;
        ProfileDocument document(original);
        const std::size_t writes = 1 + Pick(rng, 30);
        for (std::size_t i = 0; i < writes; ++i) {
            const std::string_view section = PickFrom(rng, kSections);
            const std::string_view key = PickFrom(rng, kKeys);
            const std::string value = RandomValue(rng);
            document.write(section, key, value);
            lastWrite.insert_or_assign({Fold(section), Fold(key)}, Write{section, key, value});

            auto found = std::find_if(bySection.begin(), bySection.end(), [&](const auto& s) {
                return Fold(s.section) == Fold(section);
            });
            if (found == bySection.end()) {
                found = bySection.insert(bySection.end(), {std::string(section), {}});
            }
            auto& keys = found->keys;
            const auto same = std::find_if(keys.begin(), keys.end(), [&](const auto& k) {
                return Fold(k.first) == Fold(key);
            });
            if (same == keys.end()) {
                keys.emplace_back(std::string(key), value);
            } else {
                same->second = value;
            }
        }

        const std::string bytes = document.bytes();
        const std::string lineDifference =
            FirstLineDifference(ExpectedLines(original, bySection), SplitLines(bytes));
        if (!lineDifference.empty() && linesDiffer++ == 0) {
            ADD_FAILURE() << lineDifference << "\n"
                          << CaseText(n, original) << "\nbytes: " << Escaped(bytes, 100000);
        }
        ProfileDocument reparsed(bytes);
        for (const auto& [name, oldValue] : oldValues) {
            const auto& [section, key] = name;
            const auto written = lastWrite.find({Fold(section), Fold(key)});
            const std::string& expected =
                written != lastWrite.end() ? written->second.value : oldValue;
            const std::string fromBytes = reparsed.read(section, key, kDefault);
            const std::string fromWrites = document.read(section, key, kDefault);
            ASSERT_TRUE(fromBytes == expected && fromWrites == expected)
                << "[" << Escaped(section) << "] " << Escaped(key) << ": expected "
                << Escaped(expected) << ", read " << Escaped(fromBytes) << " from the bytes and "
                << Escaped(fromWrites) << " before they were made\n"
                << CaseText(n, original) << "\nbytes: " << Escaped(bytes, 100000);
        }

        // The same writes again, on the new bytes, change nothing.
        ProfileDocument again(bytes);
        for (const auto& entry : lastWrite) {
            const Write& write = entry.second;
            again.write(write.section, write.key, write.value);
        }
        ASSERT_TRUE(again.bytes() == bytes) << CaseText(n, original);
    }
    EXPECT_EQ(linesDiffer, 0) << "cases whose lines are not as expected";
}

}  // namespace
}  // namespace jnx
