#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <ostream>
#include <string>

#include "errors.h"
#include "profile_file.h"
#include "settings_file.h"
#include "test_files.h"

namespace jnx {
namespace {

namespace fs = std::filesystem;

// Code page 932 texts the tests use.
const std::string kTansho = "\x92\x50\x8F\x9F";   // 単勝
const std::string kWakuren = "\x98\x67\x98\x41";  // 枠連
const std::string kSapporo = "\x8E\x44\x96\x79";  // 札幌
const std::string kKyoto = "\x8B\x9E\x93\x73";    // 京都
const std::string kKokura = "\x8F\xAC\x91\x71";   // 小倉
const std::string kNotAnInteger =
    "'\x20\x82\xCD\x90\xAE\x90\x94\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";

const std::array<const char*, 14> kKeyOrder = {"Active", "Type",   "Popularity", "Bb",  "R",
                                               "Step",   "Total",  "Bet",        "Odd", "Plus",
                                               "Skip",   "MinOdd", "Maxstep",    "PN"};

// One group section as a save lays it out in a new file.
std::string NewGroupSection(const std::string& name, const std::array<std::string, 14>& values,
                            const std::string& newline) {
    std::string text = "[Group" + name + "]" + newline;
    for (std::size_t i = 0; i < kKeyOrder.size(); ++i) {
        text += std::string(kKeyOrder[i]) + "=" + values[i] + newline;
    }
    return text;
}

GroupSettings PlainGroup(int g) {
    GroupSettings group;
    group.active = g % 2 == 0;
    group.fields = {kTansho, "1",   kSapporo, std::to_string(g), "0", "0", "0", "0.0", "500",
                    "0",     "2.2", "100",    std::to_string(-g)};
    return group;
}

std::array<std::string, 14> PlainGroupInFile(int g) {
    return {g % 2 == 0 ? "True" : "False",
            "T",
            "1",
            "1",
            std::to_string(g),
            "0",
            "0",
            "0",
            "0.0",
            "500",
            "0",
            "2.2",
            "100",
            std::to_string(-g)};
}

SettingsModel PlainModel() {
    SettingsModel model;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        model.group(g) = PlainGroup(static_cast<int>(g));
    }
    model.betAutoReadFolder = "C:\\Bet\\";
    model.patFolder = "C:\\\x83\x5C\\";  // C:\ソ\ .
    model.pauseText = "True";
    return model;
}

TEST(WriteIni, NewFileIsLaidOutInKeyOrder) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    WriteIni(PlainModel(), path);

    std::string expected;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        expected += NewGroupSection(std::string(GroupName[g]),
                                    PlainGroupInFile(static_cast<int>(g)), "\r\n");
    }
    expected += "[Dir]\r\nBetAutoRead=C:\\Bet\\\r\nPatData=C:\\\x83\x5C\\\r\n";
    expected += "[Options]\r\nOKStep=True\r\n";
    EXPECT_EQ(test::ReadBytes(path), expected);

    SettingsModel loaded;
    ReadIni(loaded, path);
    EXPECT_EQ(loaded, PlainModel());
}

TEST(WriteIni, ChangesOnlyTheValueBytesOfItsKeys) {
    // First line ends in LF alone, so lines added by the save end in LF.
    const std::string original =
        "; betting tool settings\n"
        "[Main]\r\nVersion=3\r\n"
        "[group0]\r\n"
        "  Active = true \r\n"
        "Type=\"W\"\r\n"
        "Popularity=3\r\nBb=8\r\nR=5\r\n"
        "Memo=\x95\x5C\x83\x5C\xFF\x80\r\n"
        "Step=0\n"
        "Total=1500\r\n"
        "; comment\r\n"
        "Bet=100\r\nOdd=3.1\r\nPlus=500\r\nSkip=0\r\nMinOdd=2.2\r\nMaxstep=100\r\nPN=-300\r\n"
        "\r\n"
        "[Dir]\r\nBetAutoRead=C:\\Data\\\r\n"
        "[Options]\r\nOKStep=1\r\nExtra=x";

    SettingsModel model = PlainModel();
    model.group(0).active = true;
    model.group(0).fields = {kWakuren, "4",   kKyoto, "5",   "0",   "0",   "100",
                             "3.1",    "500", "0",    "2.2", "100", "-300"};
    model.pauseText = "true";  // anything but "True" is saved as "False"

    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, original);
    WriteIni(model, path);

    std::string expected =
        "; betting tool settings\n"
        "[Main]\r\nVersion=3\r\n"
        "[group0]\r\n"
        "  Active = True \r\n"
        "Type=W\r\n"
        "Popularity=4\r\nBb=8\r\nR=5\r\n"
        "Memo=\x95\x5C\x83\x5C\xFF\x80\r\n"
        "Step=0\n"
        "Total=0\r\n"
        "; comment\r\n"
        "Bet=100\r\nOdd=3.1\r\nPlus=500\r\nSkip=0\r\nMinOdd=2.2\r\nMaxstep=100\r\nPN=-300\r\n"
        "\r\n"
        "[Dir]\r\nBetAutoRead=C:\\Bet\\\r\nPatData=C:\\\x83\x5C\\\n"
        "[Options]\r\nOKStep=False\r\nExtra=x\n";
    for (std::size_t g = 1; g < kGroupCount; ++g) {
        expected +=
            NewGroupSection(std::string(GroupName[g]), PlainGroupInFile(static_cast<int>(g)), "\n");
    }
    EXPECT_EQ(test::ReadBytes(path), expected);

    // Saving the same model again changes nothing.
    WriteIni(model, path);
    EXPECT_EQ(test::ReadBytes(path), expected);
}

TEST(ReadIni, TranslatesCodesAndKeepsWhatItCannotTranslate) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    WriteIni(PlainModel(), path);
    {
        // Edit the file the way the betting tool or a user would.
        ProfileFile profile(path);
        profile.write("Group0", "Type", "W");
        profile.write("Group0", "Bb", "8");
        profile.write("Group1", "Type", "t");
        profile.write("Group1", "Active", "true");
        profile.write("Group2", "Type", "");
        profile.write("Options", "OKStep", "TRUE");
        profile.commit();
    }
    SettingsModel model;
    ReadIni(model, path);
    EXPECT_EQ(model.group(0).fields[kTypeField], kWakuren);
    EXPECT_EQ(model.group(0).fields[kCourseField], kKyoto);
    EXPECT_EQ(model.group(1).fields[kTypeField], "t");
    EXPECT_FALSE(model.group(1).active);
    EXPECT_EQ(model.group(2).fields[kTypeField], "");
    EXPECT_EQ(model.pauseText, "TRUE");

    WriteIni(model, path);
    ProfileFile saved(path);
    EXPECT_EQ(saved.read("Group0", "Type", " "), "W");
    EXPECT_EQ(saved.read("Group0", "Bb", " "), "8");
    EXPECT_EQ(saved.read("Group1", "Type", " "), "t");
    EXPECT_EQ(saved.read("Group1", "Active", " "), "False");
    EXPECT_EQ(saved.read("Options", "OKStep", " "), "False");
}

struct CourseCase {
    const char* inFile;
    std::string loaded;
    const char* saved;
};

void PrintTo(const CourseCase& c, std::ostream* out) {
    *out << "Bb=" << c.inFile;
}

class CourseNumbers : public ::testing::TestWithParam<CourseCase> {};

// Numbers without a course load and save as the text read; numbers with one become it.
TEST_P(CourseNumbers, LoadAndSave) {
    const CourseCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    WriteIni(PlainModel(), path);
    {
        ProfileFile profile(path);
        profile.write("Group5", "Bb", c.inFile);
        profile.commit();
    }
    SettingsModel model;
    ReadIni(model, path);
    EXPECT_EQ(model.group(5).fields[kCourseField], c.loaded);
    WriteIni(model, path);
    EXPECT_EQ(ProfileFile(path).read("Group5", "Bb", " "), c.saved);
}

INSTANTIATE_TEST_SUITE_P(Texts, CourseNumbers,
                         ::testing::Values(CourseCase{"8", kKyoto, "8"},
                                           CourseCase{"08", kKyoto, "8"},
                                           CourseCase{"$A", kKokura, "10"},
                                           CourseCase{"0", "0", "0"}, CourseCase{"11", "11", "11"},
                                           CourseCase{"-3", "-3", "-3"},
                                           CourseCase{"012", "012", "012"},
                                           CourseCase{"2147483647", "2147483647", "2147483647"}));

TEST(ReadIni, MissingFileStopsAtTheFirstGroup) {
    test::TempDir dir;
    SettingsModel model;
    try {
        ReadIni(model, dir.file("Jnx.ini"));
        FAIL() << "loaded a missing file";
    } catch (const ConversionError& error) {
        EXPECT_EQ(std::string(error.what()), "''" + kNotAnInteger.substr(1));
    }
    EXPECT_EQ(model, SettingsModel());
    EXPECT_FALSE(fs::exists(dir.file("Jnx.ini")));
}

TEST(ReadIni, BadCourseStopsTheLoadAtItsGroup) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    WriteIni(PlainModel(), path);
    {
        ProfileFile profile(path);
        profile.write("Group3", "Bb", "\x8B\x9E\x93\x73 ");  // a course name, not a number
        profile.commit();
    }
    const std::string before = test::ReadBytes(path);
    SettingsModel model;
    try {
        ReadIni(model, path);
        FAIL() << "loaded a course name as a number";
    } catch (const ConversionError& error) {
        EXPECT_EQ(std::string(error.what()), "'" + kKyoto + kNotAnInteger);
    }
    for (std::size_t g = 0; g < 3; ++g) {
        EXPECT_EQ(model.group(g), PlainGroup(static_cast<int>(g))) << g;
    }
    GroupSettings partial;
    partial.active = false;
    partial.fields[kTypeField] = kTansho;
    partial.fields[kPopularityField] = "1";
    partial.fields[kCourseField] = kKyoto;
    EXPECT_EQ(model.group(3), partial);
    for (std::size_t g = 4; g < kGroupCount; ++g) {
        EXPECT_EQ(model.group(g), GroupSettings()) << g;
    }
    EXPECT_EQ(model.betAutoReadFolder, "");
    EXPECT_EQ(model.pauseText, "");
    EXPECT_EQ(test::ReadBytes(path), before);
}

TEST(ReadIni, SampleFileLoadsAndSavesItsForeignLinesUnchanged) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    fs::copy_file(test::SampleSettingsPath(), path);
    SettingsModel model;
    ReadIni(model, path);
    WriteIni(model, path);
    const std::string once = test::ReadBytes(path);
    SettingsModel again;
    ReadIni(again, path);
    EXPECT_EQ(again, model);
    WriteIni(again, path);
    EXPECT_EQ(test::ReadBytes(path), once);
    EXPECT_EQ(once.size(), test::ReadBytes(test::SampleSettingsPath()).size() + 1)
        << "only Active=true of group 2 should have become Active=False";
}

TEST(SettingsPath, FolderPartFindsTheLastRealSeparator) {
    EXPECT_EQ(FolderPart("C:\\Tools\\Jnx.exe", '\\'), "C:\\Tools\\");
    // ソ (83 5C) ends the folder name: its trail byte is no separator.
    EXPECT_EQ(FolderPart("C:\\\x83\x5C\\Jnx.exe", '\\'), "C:\\\x83\x5C\\");
    EXPECT_EQ(FolderPart("C:\\\x83\x5CJnx.exe", '\\'), "C:\\");
    EXPECT_EQ(FolderPart("C:\\\x95\x5C", '\\'), "C:\\");
    EXPECT_EQ(FolderPart("Jnx.exe", '\\'), "");
    EXPECT_EQ(FolderPart("/opt/jnx/JnxEnv", '/'), "/opt/jnx/");
}

TEST(SettingsPath, IsBesideTheRunningExecutable) {
    const fs::path executable = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(SettingsFilePath(), (executable.parent_path() / "Jnx.ini").string());
}

}  // namespace
}  // namespace jnx
