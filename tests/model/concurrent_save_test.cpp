// A save while another program (the betting tool) writes into the same file: what the
// user did not change keeps the other program's value. On Windows against the system's
// own profile functions as well.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "settings_file.h"
#include "settings_sync.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

class ConcurrentSave : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(path_, test::ReadBytes(test::SampleSettingsPath()));
        sync_.load(path_);
    }

    // Another program's write, through the profile functions as the betting tool does.
    void otherProgramWrites(const std::string& section, const std::string& key,
                            const std::string& value) const {
        test::OtherProgramWrites(path_, section, key, value);
    }

    [[nodiscard]] std::string inFile(const std::string& section, const std::string& key) const {
        return test::InFile(path_, section, key);
    }

    // Takes the line of a key of group "4" out of the file.
    void removeGroup4Line(const std::string& keyEquals) const {
        std::string bytes = test::ReadBytes(path_);
        const std::size_t at = bytes.find(keyEquals, bytes.find("[Group4]"));
        bytes.erase(at, bytes.find('\n', at) + 1 - at);
        test::WriteBytes(path_, bytes);
    }

    // A save; gives the number of values kept from the file.
    std::size_t save() { return sync_.save(path_).size(); }

    // A refresh with no control busy, or with the given keys' controls busy.
    RefreshResult refresh(const std::vector<ModelPlace>& busy = {}) {
        return sync_.refresh(path_, [&busy](const ModelPlace& place) {
            return std::find(busy.begin(), busy.end(), place) != busy.end();
        });
    }

    test::TempDir dir_;
    std::string path_ = dir_.file("Jnx.ini");
    SettingsModel model_;
    SettingsSync sync_{model_};
};

TEST_F(ConcurrentSave, OtherProgramsChangesSurviveTheUsersEdit) {
    otherProgramWrites("Group3", "Total", "98765");
    otherProgramWrites("Group3", "LastBet", "2026/12/08");  // a key the editor does not know
    model_.group(5).fields[kMinOddField] = "4.4";

    EXPECT_EQ(save(), 1U);
    EXPECT_EQ(inFile("Group3", "Total"), "98765");
    EXPECT_EQ(inFile("Group3", "LastBet"), "2026/12/08");
    EXPECT_EQ(inFile("Group5", "MinOdd"), "4.4");
    // The kept value is the editor's from now on.
    EXPECT_EQ(model_.group(3).fields[kTotalField], "98765");
}

TEST_F(ConcurrentSave, TheUsersValueWinsOverTheOtherPrograms) {
    otherProgramWrites("Group4", "Skip", "7");
    model_.group(4).fields[kSkipField] = "3";
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group4", "Skip"), "3");
}

TEST_F(ConcurrentSave, ResetsAreWrittenEvenOverAnUnchangedText) {
    // Group "0" has a total of 0 already, group "3" one of 3500; the user zeroes both and
    // the betting tool writes new totals meanwhile.
    ASSERT_EQ(model_.group(0).fields[kTotalField], "0");
    otherProgramWrites("Group0", "Total", "500");
    otherProgramWrites("Group3", "Total", "4000");
    for (const std::size_t g : {0U, 3U}) {
        model_.group(g).fields[kTotalField] = "0";
        sync_.markReset(g, kTotalField);
    }
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group0", "Total"), "0");
    EXPECT_EQ(inFile("Group3", "Total"), "0");
}

// A field that does not exist is refused, and no other key is taken for it.
TEST_F(ConcurrentSave, MarkResetRefusesFieldsThatDoNotExist) {
    otherProgramWrites("Group1", "Active", "False");
    otherProgramWrites("Dir", "BetAutoRead", "E:\\");
    EXPECT_THROW(sync_.markReset(0, kFieldCount), std::out_of_range);
    EXPECT_THROW(sync_.markReset(kGroupCount - 1, kFieldCount), std::out_of_range);
    EXPECT_THROW(sync_.markReset(kGroupCount, 0), std::out_of_range);
    EXPECT_EQ(save(), 2U);
    EXPECT_EQ(inFile("Group1", "Active"), "False");
    EXPECT_EQ(inFile("Dir", "BetAutoRead"), "E:\\");
}

TEST_F(ConcurrentSave, ASecondSaveDoesNotWriteTheOldValueBack) {
    otherProgramWrites("Group7", "PN", "-2500");
    EXPECT_EQ(save(), 1U);
    const std::string afterFirst = test::ReadBytes(path_);
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(test::ReadBytes(path_), afterFirst);
    EXPECT_EQ(inFile("Group7", "PN"), "-2500");
}

TEST_F(ConcurrentSave, KeptValuesLoadAsALoadWould) {
    otherProgramWrites("Group1", "Type", "K");
    otherProgramWrites("Group1", "Active", "False");
    otherProgramWrites("Group2", "Bb", "x");  // not a number: kept, no error
    otherProgramWrites("Dir", "PatData", "D:\\PAT\\");
    EXPECT_EQ(save(), 4U);
    EXPECT_EQ(model_.group(1).fields[kTypeField], "\x83\x8F\x83\x43\x83\x68");  // ワイド
    EXPECT_FALSE(model_.group(1).active);
    EXPECT_EQ(model_.group(2).fields[kCourseField], "x");
    EXPECT_EQ(model_.patFolder, "D:\\PAT\\");
    EXPECT_EQ(inFile("Group1", "Type"), "K");
    EXPECT_EQ(inFile("Group2", "Bb"), "x");
}

TEST(ConcurrentSaveBytes, WithoutAnotherWriterTheFileGetsTheSameBytes) {
    // The same edits saved by WriteIni, which writes every key, and by the editor's save,
    // which writes only what changed, on two copies of a file that holds every value as a
    // save writes it (the editor's save leaves a value it does not write as it is, "true"
    // say, where WriteIni writes "False").
    test::TempDir dir;
    const std::string everyKey = dir.file("every_key.ini");
    const std::string changed = dir.file("changed.ini");
    SettingsModel sample;
    ReadIni(sample, test::SampleSettingsPath());
    test::WriteBytes(everyKey, test::ReadBytes(test::SampleSettingsPath()));
    WriteIni(sample, everyKey);
    test::WriteBytes(changed, test::ReadBytes(everyKey));

    SettingsModel model;
    SettingsSync sync(model);
    sync.load(changed);
    model.group(0).fields[kTypeField] = test::kWakuren;
    model.group(9).fields[kCourseField] = test::kKokura;
    model.group(12).fields[kStepField] = "\"quoted\"";
    model.group(35).active = !model.group(35).active;
    model.betAutoReadFolder = "E:\\";
    sync.markReset(20, kBalanceField);

    WriteIni(static_cast<const SettingsModel&>(model), everyKey);
    EXPECT_TRUE(sync.save(changed).empty());
    EXPECT_EQ(test::ReadBytes(changed), test::ReadBytes(everyKey));
    // And once more, now that the bases are what was written.
    WriteIni(static_cast<const SettingsModel&>(model), everyKey);
    EXPECT_TRUE(sync.save(changed).empty());
    EXPECT_EQ(test::ReadBytes(changed), test::ReadBytes(everyKey));
}

TEST_F(ConcurrentSave, AKeyOrFileThatWentIsWrittenAgain) {
    // Nothing to keep from another program: the editor's values are written.
    removeGroup4Line("PN=");
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group4", "PN"), model_.group(4).fields[kBalanceField]);

    std::filesystem::remove(path_);
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group9", "Total"), model_.group(9).fields[kTotalField]);
}

TEST(ConcurrentSaveBytes, AFailedSaveChangesNeitherModelNorBases) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, test::ReadBytes(test::SampleSettingsPath()));
    SettingsModel model;
    SettingsSync sync(model);
    sync.load(path);
    test::OtherProgramWrites(path, "Group3", "Total", "1");
    const SettingsModel before = model;
    const std::string unwritable = dir.file("missing/Jnx.ini");
    EXPECT_THROW(sync.save(unwritable), WriteError);
    EXPECT_EQ(model, before);
    // The bases still tell the other program's change apart.
    EXPECT_EQ(sync.save(path).size(), 1U);
}

ModelPlace FieldOf(std::size_t group, std::size_t field) {
    return {ModelPlace::Kind::Field, group, field};
}

TEST_F(ConcurrentSave, RefreshTakesWhatTheUserLeftAloneAndASaveKeepsAll) {
    model_.group(5).fields[kMinOddField] = "4.4";  // the user's edit
    otherProgramWrites("Group5", "MinOdd", "9.9");
    otherProgramWrites("Group3", "Total", "98765");
    otherProgramWrites("GroupK", "Bet", "300");  // group 20: its box is busy
    otherProgramWrites("Dir", "PatData", "D:\\PAT\\");
    otherProgramWrites("Group1", "Active", "False");

    const RefreshResult first = refresh({FieldOf(20, kBetField)});
    const std::vector<ModelPlace> taken = {{ModelPlace::Kind::Active, 1, 0},
                                           FieldOf(3, kTotalField),
                                           {ModelPlace::Kind::PatData, 0, 0}};
    EXPECT_EQ(first.taken, taken);
    EXPECT_TRUE(first.passedBusy);
    EXPECT_FALSE(model_.group(1).active);
    EXPECT_EQ(model_.group(3).fields[kTotalField], "98765");
    EXPECT_EQ(model_.patFolder, "D:\\PAT\\");
    EXPECT_EQ(model_.group(5).fields[kMinOddField], "4.4");
    EXPECT_NE(model_.group(20).fields[kBetField], "300");

    // Once the box is free the value it waited for arrives, and nothing else again.
    const RefreshResult second = refresh();
    EXPECT_EQ(second.taken, std::vector<ModelPlace>{FieldOf(20, kBetField)});
    EXPECT_FALSE(second.passedBusy);
    EXPECT_EQ(model_.group(20).fields[kBetField], "300");

    // The save writes the user's value and keeps the rest: nothing left to keep from the file.
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group5", "MinOdd"), "4.4");
    EXPECT_EQ(inFile("Group3", "Total"), "98765");
    EXPECT_EQ(inFile("GroupK", "Bet"), "300");
    EXPECT_EQ(inFile("Group1", "Active"), "False");
}

TEST_F(ConcurrentSave, ABusyKeyLeftForLaterIsKeptByTheSave) {
    otherProgramWrites("Group8", "Step", "6");
    EXPECT_TRUE(refresh({FieldOf(8, kStepField)}).passedBusy);
    EXPECT_EQ(save(), 1U);
    EXPECT_EQ(inFile("Group8", "Step"), "6");
    EXPECT_EQ(model_.group(8).fields[kStepField], "6");
}

TEST_F(ConcurrentSave, TheEchoOfTheEditorsOwnSaveTakesNothing) {
    model_.group(2).fields[kBetField] = "700";
    model_.group(30).active = !model_.group(30).active;
    save();
    const SettingsModel saved = model_;
    EXPECT_TRUE(refresh().taken.empty());
    EXPECT_EQ(model_, saved);
    // Nor does a second look at an unchanged file.
    otherProgramWrites("Group2", "Odd", "3.7");
    EXPECT_EQ(refresh().taken.size(), 1U);
    EXPECT_TRUE(refresh().taken.empty());
}

TEST_F(ConcurrentSave, ValuesThatDoNotConvertArriveAsText) {
    otherProgramWrites("Group2", "Bb", "x");
    otherProgramWrites("Group2", "Popularity", "abc");
    otherProgramWrites("Group2", "Maxstep", "");
    otherProgramWrites("Group2", "Type", "U");
    EXPECT_EQ(refresh().taken.size(), 4U);
    EXPECT_EQ(model_.group(2).fields[kCourseField], "x");
    EXPECT_EQ(model_.group(2).fields[kPopularityField], "abc");
    EXPECT_EQ(model_.group(2).fields[kMaxStepField], "");
    EXPECT_EQ(model_.group(2).fields[kTypeField], "\x94\x6E\x98\x41");  // 馬連
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group2", "Bb"), "x");
    EXPECT_EQ(inFile("Group2", "Popularity"), "abc");
    EXPECT_EQ(inFile("Group2", "Maxstep"), "");
    EXPECT_EQ(inFile("Group2", "Type"), "U");
}

TEST_F(ConcurrentSave, AGoneKeyOrFileChangesNothing) {
    const SettingsModel before = model_;
    removeGroup4Line("PN=");
    EXPECT_TRUE(refresh().taken.empty());
    std::filesystem::remove(path_);
    EXPECT_TRUE(refresh().taken.empty());
    EXPECT_EQ(model_, before);

    // The file comes back with a change: it is followed again.
    test::WriteBytes(path_, test::ReadBytes(test::SampleSettingsPath()));
    otherProgramWrites("Group4", "Skip", "2");
    EXPECT_EQ(refresh().taken, std::vector<ModelPlace>{FieldOf(4, kSkipField)});
}

TEST_F(ConcurrentSave, ResetValuesAreNotRefreshed) {
    model_.group(3).fields[kTotalField] = "0";
    sync_.markReset(3, kTotalField);
    otherProgramWrites("Group3", "Total", "4000");
    EXPECT_TRUE(refresh().taken.empty());
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile("Group3", "Total"), "0");
}

// A key the user edited back to the value it had: one of each kind of place.
struct EditedBack {
    ModelPlace place;
    const char* section;
    const char* key;
    const char* toolValue;
};

void PrintTo(const EditedBack& edited, std::ostream* out) {
    *out << "[" << edited.section << "] " << edited.key;
}

class ConcurrentSaveEditedBack : public ConcurrentSave,
                                 public ::testing::WithParamInterface<EditedBack> {};

// The tool's write of a key the user typed back is neither taken by a refresh nor kept by
// the save; once saved, the key is the tool's to change again.
TEST_P(ConcurrentSaveEditedBack, IsTheUsersUntilSaved) {
    const EditedBack& edited = GetParam();
    const std::string loaded = inFile(edited.section, edited.key);
    sync_.markEdited(edited.place);
    otherProgramWrites(edited.section, edited.key, edited.toolValue);
    EXPECT_TRUE(refresh().taken.empty());
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile(edited.section, edited.key), loaded);

    otherProgramWrites(edited.section, edited.key, edited.toolValue);
    EXPECT_EQ(refresh().taken, std::vector<ModelPlace>{edited.place});
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(inFile(edited.section, edited.key), edited.toolValue);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ConcurrentSaveEditedBack,
    ::testing::Values(EditedBack{{ModelPlace::Kind::Active, 3, 0}, "Group3", "Active", "False"},
                      EditedBack{FieldOf(3, kPlusField), "Group3", "Plus", "700"},
                      EditedBack{FieldOf(35, kCourseField), "GroupZ", "Bb", "7"},
                      EditedBack{
                          {ModelPlace::Kind::BetAutoRead, 0, 0}, "Dir", "BetAutoRead", "D:\\"},
                      EditedBack{{ModelPlace::Kind::PatData, 0, 0}, "Dir", "PatData", "E:\\"},
                      EditedBack{{ModelPlace::Kind::Pause, 0, 0}, "Options", "OKStep", "True"}));

TEST_F(ConcurrentSave, MarkEditedRefusesPlacesNoKeyHas) {
    EXPECT_THROW(sync_.markEdited({ModelPlace::Kind::Active, kGroupCount, 0}), std::out_of_range);
    EXPECT_THROW(sync_.markEdited(FieldOf(0, kFieldCount)), std::out_of_range);
    EXPECT_THROW(sync_.markEdited({ModelPlace::Kind::Pause, 1, 0}), std::out_of_range);
}

// Storing a page turns a spin's "012" into "12" and an out-of-range number into the
// clamped one; that is no edit of the user's, so the other program's value still wins.
TEST_F(ConcurrentSave, ASpinsShownPositionIsNoEditOfTheUsers) {
    const struct {
        std::size_t field;
        const char* file;
        const char* stored;  // as the page stores the spin's position
        const char* other;   // the other program's later value
    } cases[] = {
        {kPopularityField, "03", "3", "2"},
        {kPopularityField, "9", "5", "4"},
        {kMaxStepField, "1200", "1000", "50"},
        {kMaxStepField, "$10", "16", "17"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string key(FieldKey[c.field]);
        otherProgramWrites("Group6", key, c.file);
        ASSERT_EQ(refresh().taken, std::vector<ModelPlace>{FieldOf(6, c.field)});
        model_.group(6).fields[c.field] = c.stored;
        otherProgramWrites("Group6", key, c.other);
        EXPECT_EQ(refresh().taken, std::vector<ModelPlace>{FieldOf(6, c.field)});
        EXPECT_EQ(model_.group(6).fields[c.field], c.other);

        // The same at a save.
        otherProgramWrites("Group6", key, c.file);
        ASSERT_EQ(refresh().taken.size(), 1U);
        model_.group(6).fields[c.field] = c.stored;
        otherProgramWrites("Group6", key, c.other);
        EXPECT_EQ(save(), 1U);
        EXPECT_EQ(inFile("Group6", key), c.other);
        EXPECT_EQ(model_.group(6).fields[c.field], c.other);
    }
}

// ---------------------------------------------------------------------------------------
// What a save writes: the keys the user changed, the keys the resets marked and the keys
// the file lacks; nothing else, whatever the other program did in between.

// One step of a scripted session.
struct Step {
    enum class Kind { UserSets, ToolWrites, Refresh, RefreshBusy, Reset, DropLine } kind;
    std::string key;    // the key of group "4" the step is about
    std::string value;  // what the user or the tool puts there
};

// Group "4" of the sample holds Active=True, Popularity=5, Step=4, Total=7500, Skip=1,
// PN=12800.
void UserSets(SettingsModel& model, const std::string& key, const std::string& value) {
    GroupSettings& group = model.group(4);
    if (key == "Active") {
        group.active = value == "True";
        return;
    }
    for (std::size_t k = 0; k < kFieldCount; ++k) {
        if (FieldKey[k] == key) {
            group.fields[k] = value;
            return;
        }
    }
    FAIL() << "no field " << key;
}

TEST_F(ConcurrentSave, ScriptedSessionsSaveWhatTheWindowShows) {
    using K = Step::Kind;
    const struct {
        const char* name;
        std::vector<Step> steps;
        const char* key;       // the key of group "4" checked after the save
        const char* expected;  // its value in the file and in the model after the save
    } cases[] = {
        {"a text put back after the tool changed it",
         {{K::UserSets, "Skip", "5"},
          {K::ToolWrites, "Skip", "9"},
          {K::Refresh, "", ""},
          {K::UserSets, "Skip", "1"}},
         "Skip",
         "1"},
        {"a check box put back after the tool changed it",
         {{K::UserSets, "Active", "False"},
          {K::ToolWrites, "Active", "False"},
          {K::Refresh, "", ""},
          {K::UserSets, "Active", "True"}},
         "Active",
         "True"},
        {"a spin put back after the tool changed it",
         {{K::UserSets, "Popularity", "2"},
          {K::ToolWrites, "Popularity", "3"},
          {K::Refresh, "", ""},
          {K::UserSets, "Popularity", "5"}},
         "Popularity",
         "5"},
        {"the tool writes what the user typed",
         {{K::UserSets, "Skip", "7"}, {K::ToolWrites, "Skip", "7"}, {K::Refresh, "", ""}},
         "Skip",
         "7"},
        {"the user's value, the tool's change seen by no refresh",
         {{K::UserSets, "Skip", "5"}, {K::ToolWrites, "Skip", "9"}},
         "Skip",
         "5"},
        {"a busy key the user left as it was",
         {{K::ToolWrites, "Step", "6"}, {K::RefreshBusy, "Step", ""}},
         "Step",
         "6"},
        {"a busy key the user left, then let go of",
         {{K::ToolWrites, "Step", "6"}, {K::RefreshBusy, "Step", ""}, {K::Refresh, "", ""}},
         "Step",
         "6"},
        {"a reset wins over the tool's later write",
         {{K::Reset, "Total", "0"}, {K::ToolWrites, "Total", "9000"}, {K::Refresh, "", ""}},
         "Total",
         "0"},
        {"a reset wins over the tool's write seen by no refresh",
         {{K::Reset, "Total", "0"}, {K::ToolWrites, "Total", "9000"}},
         "Total",
         "0"},
        {"a key the file lost is added", {{K::DropLine, "PN=", ""}}, "PN", "12800"},
        {"a key the file lost while the user changed it is added with the user's value",
         {{K::UserSets, "PN", "-100"}, {K::DropLine, "PN=", ""}, {K::Refresh, "", ""}},
         "PN",
         "-100"},
    };
    const std::string sample = test::ReadBytes(test::SampleSettingsPath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(path_, sample);
        sync_.load(path_);
        for (const Step& step : c.steps) {
            switch (step.kind) {
                case K::UserSets:
                    UserSets(model_, step.key, step.value);
                    break;
                case K::ToolWrites:
                    otherProgramWrites("Group4", step.key, step.value);
                    break;
                case K::Refresh:
                    refresh();
                    break;
                case K::RefreshBusy:
                    for (std::size_t k = 0; k < kFieldCount; ++k) {
                        if (FieldKey[k] == step.key) {
                            refresh({FieldOf(4, k)});
                        }
                    }
                    break;
                case K::Reset:
                    UserSets(model_, step.key, step.value);
                    for (std::size_t k = 0; k < kFieldCount; ++k) {
                        if (FieldKey[k] == step.key) {
                            sync_.markReset(4, k);
                        }
                    }
                    break;
                case K::DropLine:
                    removeGroup4Line(step.key);
                    break;
            }
        }
        save();
        EXPECT_EQ(inFile("Group4", c.key), c.expected);
        SettingsModel saved;
        ReadIni(saved, path_);
        EXPECT_EQ(model_.group(4), saved.group(4)) << "the model is not what the file holds";
    }
}

// Values a save does not write keep their bytes through a load, a refresh and a save: a
// value longer than a read returns, quotes, a trailing tab, a value that loads as another
// text ("08" as 京都, "true" as inactive), a spin beyond its range.
TEST(ConcurrentSaveBytes, UntouchedValuesKeepTheirBytes) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const std::string longValue(3000, 'x');
    const std::string group4 =
        "[Group4]\r\nActive=true\r\nType=\"K\"\r\nPopularity=9\r\nBb=08\r\n"
        "R=5\r\nStep=4\t\r\nTotal=\"7\"\r\nBet='7'\r\nOdd=" +
        longValue + "\r\nPlus= 500 \r\nSkip=1\r\nMinOdd=1.8\r\nMaxstep=01000\r\nPN=0\r\n";
    std::string sample = test::ReadBytes(test::SampleSettingsPath());
    const std::size_t begin = sample.find("[Group4]");
    const std::size_t end = sample.find("[Group5]");
    sample.replace(begin, end - begin, group4 + "\r\n");
    test::WriteBytes(path, sample);

    SettingsModel model;
    SettingsSync sync(model);
    sync.load(path);
    ASSERT_EQ(model.group(4).fields[kOddField].size(), ProfileDocument::kMaxValueLength);
    // The tool changes a value elsewhere, the window follows it, the user changes another.
    test::OtherProgramWrites(path, "Group9", "Total", "1");
    sync.refresh(path, [](const ModelPlace&) { return false; });
    sample = test::ReadBytes(path);
    model.group(5).fields[kSkipField] = "3";
    sync.save(path);
    const std::size_t skip5 = sample.find("Skip=", sample.find("[Group5]"));
    const std::string expected =
        sample.substr(0, skip5) + "Skip=3" + sample.substr(sample.find('\r', skip5));
    EXPECT_TRUE(test::ReadBytes(path) == expected) << "a value the save did not write changed";
    EXPECT_EQ(test::ReadBytes(path).find(group4), sample.find(group4));
}

// A save with nothing to write leaves the file alone, byte for byte, and writes no key: on
// Windows the profile functions would write the whole file again.
TEST_F(ConcurrentSave, ASaveWithNothingToWriteWritesNoKey) {
    const std::string before = test::ReadBytes(path_);
    const long writes = ProfileKeyWritesForTesting();
    EXPECT_EQ(save(), 0U);
    EXPECT_EQ(ProfileKeyWritesForTesting(), writes);
    EXPECT_TRUE(test::ReadBytes(path_) == before) << "the file changed";

    // One changed value is one key written.
    model_.group(7).fields[kPlusField] = "600";
    save();
    EXPECT_EQ(ProfileKeyWritesForTesting(), writes + 1);
    EXPECT_EQ(inFile("Group7", "Plus"), "600");
}

// ---------------------------------------------------------------------------------------
// The tool rewrites the file while a save is at work.

// Takes the hook and the settle times back however the test ends. The tool's writes here
// come from this very process, in the middle of a save, which a lease would hold up until
// the save lets go: the save asks nobody who is writing and goes by quiet time alone, as
// where the system will not say (the writers in other processes are tried with the lease,
// in writer_process_test.cpp).
class SaveSeam {
public:
    explicit SaveSeam(ProfileFile::ReplaceHook hook,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
        ProfileFile::setReplaceHookForTesting(std::move(hook));
        SaveSettleTimes().limit = limit;
        SaveSettleTimes().askWriters = false;
    }
    ~SaveSeam() {
        ProfileFile::setReplaceHookForTesting({});
        SaveSettleTimes() = SettleTimes{};
    }
    SaveSeam(const SaveSeam&) = delete;
    SaveSeam& operator=(const SaveSeam&) = delete;
    SaveSeam(SaveSeam&&) = delete;
    SaveSeam& operator=(SaveSeam&&) = delete;
};

// Writes the bytes into the file in place, as the betting tool does: the file is emptied,
// then written, here in pieces of `piece` bytes with a pause between them.
void RewriteInPlace(const std::string& path, const std::string& bytes, std::size_t piece,
                    std::chrono::microseconds pause) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        std::this_thread::sleep_for(pause);
        const std::size_t size = std::min(piece, bytes.size() - at);
        ASSERT_EQ(std::fwrite(bytes.data() + at, 1, size, file), size);
        std::fflush(file);
    }
    std::fclose(file);
}

TEST_F(ConcurrentSave, AToolWriteBetweenTheReadAndTheReplacementIsKept) {
    // The tool's version of the file: a new total, and a section of its own.
    test::OtherProgramWrites(path_, "Group3", "Total", "4321");
    test::OtherProgramWrites(path_, "ToolOnly", "Seen", "yes");
    const std::string tool = test::ReadBytes(path_);
    const std::string sample = test::ReadBytes(test::SampleSettingsPath());

    enum class Way { Emptied, CutAt4096, Rewritten, Renamed };
    constexpr const char* kWayNames[] = {"emptied", "cut at 4096 bytes", "rewritten", "renamed"};
    for (const Way way : {Way::Emptied, Way::CutAt4096, Way::Rewritten, Way::Renamed}) {
        SCOPED_TRACE(kWayNames[static_cast<int>(way)]);
        test::WriteBytes(path_, sample);
        sync_.load(path_);
        model_.group(5).fields[kMinOddField] = "4.4";

        std::thread toolThread;
        int replacements = 0;
        const SaveSeam seam([&](const std::string&) {
            if (replacements++ > 0) {
                return true;
            }
            switch (way) {
                case Way::Emptied:  // and written a moment later
                    test::WriteBytes(path_, "");
                    toolThread = std::thread([&] {
                        RewriteInPlace(path_, tool, tool.size(), std::chrono::milliseconds(5));
                    });
                    break;
                case Way::CutAt4096:
                    test::WriteBytes(path_, tool.substr(0, 4096));
                    toolThread = std::thread(
                        [&] { RewriteInPlace(path_, tool, 4096, std::chrono::milliseconds(3)); });
                    break;
                case Way::Rewritten:
                    RewriteInPlace(path_, tool, tool.size(), std::chrono::microseconds(0));
                    break;
                case Way::Renamed: {
                    const std::string next = path_ + ".new";
                    test::WriteBytes(next, tool);
                    std::filesystem::rename(next, path_);
                    break;
                }
            }
            return true;
        });
        EXPECT_NO_THROW(save());
        if (toolThread.joinable()) {
            toolThread.join();
        }
        EXPECT_GE(replacements, 2) << "the save did not see the file change";
        EXPECT_EQ(inFile("ToolOnly", "Seen"), "yes");
        EXPECT_EQ(inFile("Group3", "Total"), "4321");
        EXPECT_EQ(inFile("Group5", "MinOdd"), "4.4");
        EXPECT_EQ(model_.group(3).fields[kTotalField], "4321");
        const std::size_t minOdd = tool.find("MinOdd=", tool.find("[Group5]"));
        const std::string expected =
            tool.substr(0, minOdd) + "MinOdd=4.4" + tool.substr(tool.find('\r', minOdd));
        EXPECT_TRUE(test::ReadBytes(path_) == expected) << "not the tool's file with the edit";
    }
}

// A file the tool never stops writing is not saved: the save says so, and the file is the
// tool's.
TEST_F(ConcurrentSave, AFileThatNeverSettlesIsLeftToTheTool) {
    const std::string sample = test::ReadBytes(test::SampleSettingsPath());
    std::atomic<bool> writing{true};
    std::string last;
    std::thread toolThread([&] {
        for (int n = 0; writing; ++n) {
            std::string bytes = sample + "; " + std::to_string(n) + "\r\n";
            RewriteInPlace(path_, bytes, bytes.size(), std::chrono::microseconds(0));
            last = std::move(bytes);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    model_.group(5).fields[kMinOddField] = "4.4";
    {
        const SaveSeam seam({}, std::chrono::milliseconds(300));
        try {
            save();
            ADD_FAILURE() << "saved into a file that never settled";
        } catch (const WriteError& error) {
            EXPECT_EQ(error.path(), path_);
        }
    }
    writing = false;
    toolThread.join();
    EXPECT_TRUE(test::ReadBytes(path_) == last) << "the file is not the tool's";
    // Once the tool pauses, the same save goes through.
    EXPECT_NO_THROW(save());
    EXPECT_EQ(inFile("Group5", "MinOdd"), "4.4");
}

}  // namespace
}  // namespace jnx
