// Windows only: a save writes into a copy of the settings file beside it and puts the copy
// in the file's place in one step, so that a save that fails leaves the file as it was,
// byte for byte and with its attributes; a later save removes the copies of killed saves.
// The file stays the same file to everyone: a file of several names is written in place,
// and its access list goes with it. Something at the file's place that is no file is not
// read as an empty one.

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "errors.h"
#include "profile_file.h"
#include "settings_file.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCopyPrefix = ".Jnx.ini.tmp-";

// The name of copy n of Jnx.ini that process `pid` makes.
std::string CopyName(unsigned long pid, int n) {
    return std::string(kCopyPrefix) + std::to_string(pid) + "-" + std::to_string(n);
}

std::string Lines(const std::set<std::string>& names) {
    std::string lines;
    for (const std::string& name : names) {
        lines += name + "\n";
    }
    return lines;
}

// The names in the folder that a copy of Jnx.ini has.
std::set<std::string> Copies(const fs::path& folder) {
    std::set<std::string> copies;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(kCopyPrefix)) {
            copies.insert(name);
        }
    }
    return copies;
}

DWORD Attributes(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

// The attributes a save must keep. ARCHIVE is not one: a changed file is due for backup.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The sample file at `path`, loaded, and the model edited as a user would.
void EditSample(const std::string& path, test::SyncedModel& edited) {
    fs::copy_file(test::SampleSettingsPath(), path);
    edited.sync.load(path);
    SettingsModel& model = edited.model;
    model.group(5).fields[kMinOddField] = "4.4";
    model.group(35).active = !model.group(35).active;
    model.betAutoReadFolder = "E:\\";
}

// Both saves: WriteIni, which writes every key, and the editor's, which writes what changed
// and keeps other programs' changes.
void Save(test::SyncedModel& edited, const std::string& path, bool editorSave) {
    if (editorSave) {
        edited.sync.save(path);
    } else {
        WriteIni(edited.model, path);
    }
}

// Sets one of the save's test hooks and takes it away however the test ends.
template <typename Hook, void (*Set)(Hook)>
class ScopedHook {
public:
    explicit ScopedHook(Hook hook) { Set(std::move(hook)); }
    ~ScopedHook() { Set({}); }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;
    ScopedHook(ScopedHook&&) = delete;
    ScopedHook& operator=(ScopedHook&&) = delete;
};

using HookGuard = ScopedHook<ProfileFile::ReplaceHook, &ProfileFile::setReplaceHookForTesting>;
using RenameHookGuard = ScopedHook<ProfileFile::RenameHook, &ProfileFile::setRenameHookForTesting>;

TEST(WindowsSave, FailedReplacementLeavesTheFileAsItWas) {
    for (const bool editorSave : {false, true}) {
        SCOPED_TRACE(editorSave ? "the editor's save" : "WriteIni");
        test::TempDir dir;
        const std::string path = dir.file("Jnx.ini");
        test::SyncedModel edited;
        EditSample(path, edited);
        SettingsModel& model = edited.model;
        const std::string original = test::ReadBytes(path);

        std::string copy;
        {
            const HookGuard hook([&copy](const std::string& temporary) {
                copy = temporary;
                return false;
            });
            try {
                Save(edited, path, editorSave);
                ADD_FAILURE() << "saved";
            } catch (const WriteError& error) {
                EXPECT_EQ(error.path(), path);
                EXPECT_EQ(std::string(error.what()), path + test::kCannotWrite);
            }
        }
        EXPECT_TRUE(test::ReadBytes(path) == original) << "the file changed";
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
        // The copy stood beside the file, under its own name.
        const std::string expectedStart =
            dir.file(std::string(kCopyPrefix) + std::to_string(GetCurrentProcessId()) + "-");
        EXPECT_TRUE(copy.starts_with(expectedStart)) << copy;

        ASSERT_NO_THROW(Save(edited, path, editorSave));
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
        SettingsModel loaded;
        ReadIni(loaded, path);
        EXPECT_EQ(loaded, model);
    }
}

// When the replacement comes, the copy holds every write and is on the disk.
TEST(WindowsSave, CopyHoldsTheWholeSaveBeforeTheReplacement) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::SyncedModel edited;
    EditSample(path, edited);
    std::string copyBytes;
    {
        const HookGuard hook([&copyBytes](const std::string& temporary) {
            copyBytes = test::ReadBytes(temporary);
            return true;
        });
        edited.sync.save(path);
    }
    EXPECT_EQ(copyBytes, test::ReadBytes(path));
}

// Until the commit nothing reaches the file, though the object reads its own writes, and
// nothing is made beside it; an object that goes without committing leaves no trace.
TEST(WindowsSave, WritesReachTheFileOnlyWithTheCommit) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const std::string original = "[S]\r\nK=1\r\n";
    test::WriteBytes(path, original);
    const std::string missing = dir.file("none.ini");
    {
        ProfileFile profile(path);
        profile.write("S", "K", "2");
        profile.write("T", "L", "3");
        EXPECT_EQ(profile.read("S", "K", " "), "2");
        EXPECT_EQ(profile.read("T", "L", " "), "3");
        EXPECT_EQ(test::ReadBytes(path), original);
        EXPECT_EQ(ProfileFile(path).read("S", "K", " "), "1");
        EXPECT_TRUE(Copies(dir.path()).empty());

        ProfileFile(missing).write("S", "K", "v");
    }
    EXPECT_EQ(test::ReadBytes(path), original);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// A commit that fails reports it, leaves the file as it was and keeps its writes: once the
// file may be written again, the same commit puts them all in.
TEST(WindowsSave, AFailedCommitKeepsItsWrites) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const std::string original = "[S]\r\nK=1\r\n";
    test::WriteBytes(path, original);
    ProfileFile profile(path);
    profile.write("S", "K", "2");
    profile.write("S", "L", "3");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THROW(profile.commit(), WriteError);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(test::ReadBytes(path), original);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");

    EXPECT_NO_THROW(profile.commit());
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=2\r\nL=3\r\n");
}

// Another program has the file open and lets it be read only: it can be neither deleted nor
// renamed, so the save fails and leaves it as it was.
TEST(WindowsSave, FileOpenToReadersOnlyIsNotReplaced) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::SyncedModel edited;
    EditSample(path, edited);
    const std::string original = test::ReadBytes(path);

    const HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_THROW(edited.sync.save(path), WriteError);
    CloseHandle(other);

    EXPECT_TRUE(test::ReadBytes(path) == original) << "the file changed";
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    // Once the other program lets go, the same save goes through.
    EXPECT_NO_THROW(edited.sync.save(path));
    EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "4.4");
}

// Gives the saves a limit of their own, and takes it back however the test ends.
class SaveLimitGuard {
public:
    explicit SaveLimitGuard(std::chrono::milliseconds limit) { SaveSettleTimes().limit = limit; }
    ~SaveLimitGuard() { SaveSettleTimes() = SettleTimes{}; }
    SaveLimitGuard(const SaveLimitGuard&) = delete;
    SaveLimitGuard& operator=(const SaveLimitGuard&) = delete;
    SaveLimitGuard(SaveLimitGuard&&) = delete;
    SaveLimitGuard& operator=(SaveLimitGuard&&) = delete;
};

// Another program looks at the file right when the save replaces it, sharing reading,
// writing and deleting as this program's live view does. No file can be renamed over while
// it is open: the save waits for the reader to let go, and fails, leaving the file as it
// was, only when the reader keeps it open past the save's limit.
TEST(WindowsSave, AReaderOfTheFileHoldsTheReplacementBackOnlyWhileItHasItOpen) {
    constexpr std::chrono::milliseconds kLimit(1000);
    for (const bool editorSave : {false, true}) {
        for (const bool letsGo : {true, false}) {
            SCOPED_TRACE(std::string(editorSave ? "the editor's save" : "WriteIni") +
                         (letsGo ? ", the reader lets go" : ", the reader keeps the file open"));
            test::TempDir dir;
            const std::string path = dir.file("Jnx.ini");
            test::SyncedModel edited;
            EditSample(path, edited);
            const std::string original = test::ReadBytes(path);

            HANDLE reader = INVALID_HANDLE_VALUE;
            std::thread lookEnds;
            {
                const SaveLimitGuard limit(kLimit);
                // Called again for each try of a save that goes back to read the file.
                const HookGuard hook([&](const std::string& /*temporary*/) {
                    if (reader == INVALID_HANDLE_VALUE) {
                        reader =
                            CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                        if (letsGo && reader != INVALID_HANDLE_VALUE) {
                            lookEnds = std::thread([reader] {
                                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                CloseHandle(reader);
                            });
                        }
                    }
                    return true;
                });
                if (letsGo) {
                    EXPECT_NO_THROW(Save(edited, path, editorSave));
                } else {
                    EXPECT_THROW(Save(edited, path, editorSave), WriteError);
                }
            }
            if (lookEnds.joinable()) {
                lookEnds.join();
            } else if (reader != INVALID_HANDLE_VALUE) {
                CloseHandle(reader);
            }
            ASSERT_NE(reader, INVALID_HANDLE_VALUE) << "the file could not be opened to read";

            if (letsGo) {
                EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
                SettingsModel loaded;
                ReadIni(loaded, path);
                EXPECT_EQ(loaded, edited.model);
            } else {
                EXPECT_TRUE(test::ReadBytes(path) == original) << "the file changed";
                // The second name the save gave the file stays with the file until the next
                // save, which goes through once the reader has let go, and takes it away.
                for (const auto& entry : fs::directory_iterator(dir.path())) {
                    EXPECT_TRUE(fs::equivalent(entry.path(), path)) << entry.path();
                }
                EXPECT_NO_THROW(Save(edited, path, editorSave));
                EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
            }
        }
    }
}

// The tool writes its counter through the profile functions in the moment between the
// save's last look at the file and its rename, where no look can see it: its write must stay
// in the file with the user's edits. Each row gives the counter the tool writes at each
// rename the save makes, in turn (none: it does not write then).
TEST(WindowsSave, AToolWriteRightBeforeTheRenameIsNotUndone) {
    struct Case {
        const char* name;
        bool fileThere;
        std::vector<const char*> toolWrites;
    };
    const Case cases[] = {
        {"once", true, {"1"}},
        {"again before the tool's file is put back", true, {"1", "2"}},
        {"at the next save only", true, {nullptr, "1"}},
        {"into a file that was missing", false, {"1"}},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        test::TempDir elsewhere;
        const std::string path = dir.file("Jnx.ini");
        test::SyncedModel edited;
        EditSample(row.fileThere ? path : elsewhere.file("Jnx.ini"), edited);
        std::size_t renames = 0;
        const char* last = nullptr;
        {
            // A save into a missing file writes every key, twice here, each a rewrite of the
            // whole copy through the profile functions: seconds on a busy machine.
            const SaveLimitGuard limit(std::chrono::seconds(20));
            const RenameHookGuard hook([&](const std::string& target) {
                EXPECT_EQ(target, path);
                const std::size_t at = renames++;
                if (at < row.toolWrites.size() && row.toolWrites[at] != nullptr) {
                    EXPECT_TRUE(WritePrivateProfileStringA("Main", "LastRun", row.toolWrites[at],
                                                           target.c_str()));
                    last = row.toolWrites[at];
                }
            });
            // The next save, where the rows ask for more renames than the first made.
            ASSERT_NO_THROW(edited.sync.save(path));
            if (renames < row.toolWrites.size()) {
                edited.model.group(5).fields[kMinOddField] = "5.5";
                ASSERT_NO_THROW(edited.sync.save(path));
            }
        }
        ASSERT_NE(last, nullptr);
        EXPECT_GE(renames, row.toolWrites.size());
        EXPECT_EQ(ProfileFile(path).read("Main", "LastRun", ""), last) << "the tool's write";
        SettingsModel loaded;
        ReadIni(loaded, path);
        EXPECT_EQ(loaded, edited.model) << "the user's edits";
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    }
}

TEST(WindowsSave, ReadOnlyFileIsLeftAsItWas) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::SyncedModel edited;
    EditSample(path, edited);
    const std::string original = test::ReadBytes(path);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD before = Attributes(path);

    for (const bool editorSave : {false, true}) {
        EXPECT_THROW(Save(edited, path, editorSave), WriteError) << editorSave;
    }
    EXPECT_EQ(Attributes(path), before);
    EXPECT_TRUE(test::ReadBytes(path) == original) << "the file changed";
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

struct AttributeCase {
    const char* name;
    DWORD attributes;
};

// A saved file keeps its attributes, and a file that was not hidden does not become so
// (the copy, whose name begins with a dot, counts as hidden on Wine).
TEST(WindowsSave, AttributesAreKept) {
    const AttributeCase cases[] = {
        {"none", FILE_ATTRIBUTE_NORMAL},
        {"archive", FILE_ATTRIBUTE_ARCHIVE},
        {"hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"system", FILE_ATTRIBUTE_SYSTEM},
        {"hidden system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
    };
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir.file("Jnx.ini");
        test::SyncedModel edited;
        EditSample(path, edited);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.attributes));
        const DWORD before = Attributes(path);
        ASSERT_EQ(before & kKeptAttributes, c.attributes & kKeptAttributes);

        edited.sync.save(path);
        EXPECT_EQ(Attributes(path) & kKeptAttributes, before & kKeptAttributes);
        EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "4.4");
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    }

    // A file a save makes has none of them.
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    WriteIni(test::TestModel(), path);
    EXPECT_EQ(Attributes(path) & kKeptAttributes, 0U);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// ---------------------------------------------------------------------------------------
// Copies that killed saves left behind.

// A process that has run and ended; its handle stays open, so that its id stays taken
// (OpenProcess still finds it) while the test runs.
class EndedProcess {
public:
    EndedProcess() {
        std::wstring program(MAX_PATH, L'\0');
        program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
        // The test program itself, running no test.
        std::wstring commandLine = L"\"" + program + L"\" --gtest_filter=-*";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;  // and none: it has nothing to say
        PROCESS_INFORMATION process{};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                           CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            handle_ = process.hProcess;
            pid_ = process.dwProcessId;
            WaitForSingleObject(handle_, 60000);
        }
    }
    ~EndedProcess() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    EndedProcess(const EndedProcess&) = delete;
    EndedProcess& operator=(const EndedProcess&) = delete;
    EndedProcess(EndedProcess&&) = delete;
    EndedProcess& operator=(EndedProcess&&) = delete;

    [[nodiscard]] DWORD pid() const { return pid_; }
    [[nodiscard]] bool ended() const {
        return handle_ != nullptr && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
    }

private:
    HANDLE handle_ = nullptr;
    DWORD pid_ = 0;
};

// An id no process has: ids are multiples of 4, far below this.
constexpr unsigned long kNoProcess = 2147483644;

// A save killed between its copy and the replacement left the file as it was and its copy;
// the next save removes that copy.
TEST(WindowsSaveLeftovers, CopyOfAKilledSaveGoesWithTheNextSave) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::SyncedModel edited;
    EditSample(path, edited);
    const EndedProcess killed;
    ASSERT_TRUE(killed.ended());
    const std::string leftover = CopyName(killed.pid(), 0);
    test::WriteBytes(dir.path() / leftover, "[Group5]\r\nMinOdd=9.9\r\n");

    edited.sync.save(path);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "4.4");
}

// Only regular files named exactly as a save of this very file names its copies go, and
// only when their writer has ended and no one has them open.
TEST(WindowsSaveLeftovers, OnlyCopiesOfEndedSavesOfThisFileGo) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    const EndedProcess ended;
    ASSERT_TRUE(ended.ended());
    const std::string gone = std::to_string(ended.pid());
    const std::string readOnly = CopyName(ended.pid(), 5);  // a copy of a read-only file
    const std::string hidden = CopyName(ended.pid(), 6);

    const std::set<std::string> removed = {
        CopyName(ended.pid(), 0),
        CopyName(ended.pid(), 12),
        CopyName(kNoProcess, 3),
        readOnly,
        hidden,
    };
    std::set<std::string> keptFiles = test::LookAlikeTemporaryNames(gone);
    keptFiles.insert({
        // This process lives: the copy may be that of a save at work in it.
        CopyName(GetCurrentProcessId(), 9),
        // Open: something is at work on it.
        CopyName(ended.pid(), 4),
    });
    for (const std::string& name : removed) {
        test::WriteBytes(dir.path() / name, "x");
    }
    for (const std::string& name : keptFiles) {
        test::WriteBytes(dir.path() / name, "x");
    }
    ASSERT_TRUE(SetFileAttributesA(dir.file(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA(dir.file(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
    const std::string folder = CopyName(ended.pid(), 1);
    fs::create_directory(dir.path() / folder);
    test::WriteBytes(dir.path() / folder / "inside", "x");
    const HANDLE open = CreateFileA(dir.file(CopyName(ended.pid(), 4)).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);

    {
        ProfileFile profile(path);
        profile.write("S", "K", "2");
        profile.commit();
    }
    CloseHandle(open);

    std::set<std::string> kept = keptFiles;
    kept.insert({"Jnx.ini", folder});
    EXPECT_EQ(test::ListFolder(dir.path()), Lines(kept));
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=2\r\n");
    EXPECT_EQ(test::ListFolder(dir.path() / folder), "inside\n");
}

// A profile object's writes wait in it while another save of the file commits, and its
// commit then saves them into the file as that save left it: one save path, which reads the
// file afresh.
TEST(WindowsSaveLeftovers, WritesOfAnObjectAtWorkGoOnTopOfAnotherSave) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::SyncedModel edited;
    EditSample(path, edited);

    ProfileFile atWork(path);
    atWork.write("Group3", "Total", "777");
    edited.sync.save(path);

    EXPECT_NO_THROW(atWork.commit());
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    EXPECT_EQ(ProfileFile(path).read("Group3", "Total", " "), "777");
    EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "4.4");
}

// ---------------------------------------------------------------------------------------
// The file stays the same file to everyone.

// How many names the file has.
DWORD LinkCount(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool told = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return told ? info.nNumberOfLinks : 0;
}

// Takes down the path every replacement of a save writes, and lets it go on.
class ReplacementWatch {
public:
    ReplacementWatch()
        : hook_([this](const std::string& written) {
              written_.push_back(written);
              return true;
          }) {}

    // The paths written, one per replacement: the copy, or the file itself in place.
    [[nodiscard]] const std::vector<std::string>& written() const { return written_; }

private:
    std::vector<std::string> written_;
    HookGuard hook_;
};

// A file with a second name is written where it is, so that both names see the save; once
// the second name is gone, saves go through a copy again.
TEST(WindowsSaveIdentity, AFileWithTwoNamesIsWrittenInPlaceForBoth) {
    for (const bool editorSave : {false, true}) {
        SCOPED_TRACE(editorSave ? "the editor's save" : "WriteIni");
        test::TempDir dir;
        const std::string path = dir.file("Jnx.ini");
        const std::string other = dir.file("Linked.ini");
        test::SyncedModel edited;
        EditSample(path, edited);
        ASSERT_TRUE(CreateHardLinkA(other.c_str(), path.c_str(), nullptr));
        ASSERT_EQ(LinkCount(path), 2U);

        {
            const ReplacementWatch watch;
            Save(edited, path, editorSave);
            // A new key makes the file longer: it grows where it is.
            ProfileFile profile(path);
            profile.write("Added", "Key", std::string(300, 'x'));
            profile.commit();
            EXPECT_EQ(watch.written(), std::vector<std::string>({path, path}));
        }
        EXPECT_EQ(LinkCount(path), 2U);
        EXPECT_TRUE(test::ReadBytes(other) == test::ReadBytes(path)) << "the names differ";
        SettingsModel loaded;
        ReadIni(loaded, other);
        EXPECT_EQ(loaded, edited.model);
        EXPECT_EQ(ProfileFile(other).read("Added", "Key", " "), std::string(300, 'x'));
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\nLinked.ini\n");

        ASSERT_TRUE(DeleteFileA(other.c_str()));
        edited.model.group(5).fields[kMinOddField] = "5.5";
        const ReplacementWatch watch;
        Save(edited, path, editorSave);
        ASSERT_EQ(watch.written().size(), 1U);
        EXPECT_NE(watch.written()[0], path);
        EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "5.5");
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    }
}

// The file's owner and the entries of its access list as text (SDDL). The list's flags are
// left out: whether it is protected is asked by itself, and the others tell how the list
// was last set, not whom it lets in.
std::string SecurityText(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return "(none)";
    }
    char* text = nullptr;
    std::string result = "(none)";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &text, nullptr)) {
        result = text;
        LocalFree(text);
        const std::size_t list = result.find("D:");
        const std::size_t entries = result.find('(', list);
        if (list != std::string::npos && entries != std::string::npos) {
            result.erase(list + 2, entries - list - 2);
        }
    }
    LocalFree(descriptor);
    return result;
}

// Whether the file's access list holds an entry of its own (not passed on from the folder)
// for the account `sid` names, with every right of `rights`.
bool HasOwnEntryFor(const std::string& path, const char* sid, DWORD rights) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL list = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    PSID account = nullptr;
    bool found = false;
    if (list != nullptr && ConvertStringSidToSidA(sid, &account)) {
        for (DWORD i = 0; i < list->AceCount && !found; ++i) {
            void* entry = nullptr;
            if (!GetAce(list, i, &entry)) {
                continue;
            }
            const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
            found = allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                    (allowed->Header.AceFlags & INHERITED_ACE) == 0 &&
                    (allowed->Mask & rights) == rights &&
                    EqualSid(const_cast<DWORD*>(&allowed->SidStart), account);
        }
        LocalFree(account);
    }
    LocalFree(descriptor);
    return found;
}

// Whether the file's access list takes nothing from its folder.
bool IsProtected(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool told = GetSecurityDescriptorControl(descriptor, &control, &revision);
    LocalFree(descriptor);
    return told && (control & SE_DACL_PROTECTED) != 0;
}

// Gives the account `sid` names an entry of its own in the file's access list, as one who
// lets the betting tool's account write the file does; `protect` also cuts the list off
// from what the folder passes on, keeping the folder's entries as the file's own.
bool AddOwnEntry(const std::string& path, const char* sid, DWORD rights, bool protect) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL list = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    PSID account = nullptr;
    PACL extended = nullptr;
    bool done = false;
    if (ConvertStringSidToSidA(sid, &account)) {
        EXPLICIT_ACCESSA entry{};
        entry.grfAccessPermissions = rights;
        entry.grfAccessMode = GRANT_ACCESS;
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entry.Trustee.ptstrName = static_cast<char*>(account);
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION |
            (protect ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        done = SetEntriesInAclA(1, &entry, list, &extended) == ERROR_SUCCESS &&
               SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, what, nullptr,
                                     nullptr, extended, nullptr) == ERROR_SUCCESS;
        LocalFree(extended);
        LocalFree(account);
    }
    LocalFree(descriptor);
    return done;
}

// Local Service, an account that exists on every Windows: a stand-in for the account the
// betting tool runs as.
constexpr const char* kOtherAccount = "S-1-5-19";
constexpr DWORD kReadWrite = FILE_GENERIC_READ | FILE_GENERIC_WRITE;

// A save keeps the owner and access list of a file that has only what its folder passes on,
// and does not make them the file's own.
TEST(WindowsSaveIdentity, AFilesPlainAccessListStaysAsItWas) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::SyncedModel edited;
    EditSample(path, edited);
    const std::string before = SecurityText(path);
    ASSERT_NE(before, "(none)");
    const bool wasProtected = IsProtected(path);

    {
        const ReplacementWatch watch;
        edited.sync.save(path);
        ASSERT_EQ(watch.written().size(), 1U);
        EXPECT_NE(watch.written()[0], path) << "written in place";
    }
    EXPECT_EQ(SecurityText(path), before);
    EXPECT_EQ(IsProtected(path), wasProtected);
    EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "4.4");
}

struct OwnEntryCase {
    const char* name;
    bool protect;
};

// A file whose access list has entries of its own (another account allowed to write it),
// or takes nothing from its folder, keeps that list through a save: a copy renamed over
// it would have the folder's.
TEST(WindowsSaveIdentity, AnAccessListOfTheFilesOwnIsKept) {
    {
        test::TempDir dir;
        const std::string probe = dir.file("probe.ini");
        test::WriteBytes(probe, "[S]\r\n");
        if (!AddOwnEntry(probe, kOtherAccount, kReadWrite, false) ||
            !HasOwnEntryFor(probe, kOtherAccount, kReadWrite)) {
            // Wine makes a file's access list up from its Unix permissions and keeps no
            // entries of a list set on it.
            GTEST_SKIP() << "the system keeps no access list of a file's own";
        }
    }
    const OwnEntryCase cases[] = {
        {"an entry of its own beside the folder's", false},
        {"a list that takes nothing from the folder", true},
    };
    for (const OwnEntryCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir.file("Jnx.ini");
        test::SyncedModel edited;
        EditSample(path, edited);
        ASSERT_TRUE(AddOwnEntry(path, kOtherAccount, kReadWrite, c.protect));
        ASSERT_EQ(IsProtected(path), c.protect);
        const std::string before = SecurityText(path);

        {
            const ReplacementWatch watch;
            edited.sync.save(path);
            // Through a copy given the list: this user may set the list of a file of its own.
            ASSERT_EQ(watch.written().size(), 1U);
            EXPECT_NE(watch.written()[0], path) << "written in place";
        }
        EXPECT_TRUE(HasOwnEntryFor(path, kOtherAccount, kReadWrite));
        EXPECT_EQ(IsProtected(path), c.protect);
        EXPECT_EQ(SecurityText(path), before);
        EXPECT_EQ(ProfileFile(path).read("Group5", "MinOdd", " "), "4.4");
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    }
}

// ---------------------------------------------------------------------------------------
// Something at the file's place that cannot be read as a file.

struct LoadCase {
    const char* name;
    std::function<void(const std::string& path)> load;
};

// Every way the settings are loaded, each of which must report the file unreadable.
std::vector<LoadCase> Loads() {
    return {
        {"profile object", [](const std::string& path) { ProfileFile profile(path); }},
        {"ReadIni",
         [](const std::string& path) {
             SettingsModel model;
             ReadIni(model, path);
         }},
        {"the window's load",
         [](const std::string& path) {
             test::SyncedModel synced;
             synced.sync.load(path);
         }},
    };
}

void ExpectLoadsFail(const std::string& path) {
    for (const LoadCase& c : Loads()) {
        SCOPED_TRACE(c.name);
        try {
            c.load(path);
            ADD_FAILURE() << "loaded";
        } catch (const ReadError& error) {
            EXPECT_EQ(error.path(), path);
        }
    }
}

// A folder named as the settings file is reported as a file that cannot be read, not loaded
// as an empty file; a save does not touch it, and the live view reads nothing from it.
TEST(WindowsLoad, AFolderInTheFilesPlaceCannotBeRead) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    fs::create_directory(path);
    test::WriteBytes(dir.path() / "Jnx.ini" / "inside", "[Group5]\r\nMinOdd=9.9\r\n");

    ExpectLoadsFail(path);
    EXPECT_THROW(WriteIni(test::TestModel(), path), WriteError);
    bool writing = true;
    EXPECT_EQ(ReadProfileBytes(path, &writing), std::nullopt);
    EXPECT_FALSE(writing);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(test::ListFolder(path), "inside\n");
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// Sets the file's access list, and gives everyone every right again however the test ends.
class AccessListGuard {
public:
    AccessListGuard(std::string path, PACL list) : path_(std::move(path)) {
        set_ = Set(DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, list);
    }
    ~AccessListGuard() {
        Set(DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr);
    }
    AccessListGuard(const AccessListGuard&) = delete;
    AccessListGuard& operator=(const AccessListGuard&) = delete;
    AccessListGuard(AccessListGuard&&) = delete;
    AccessListGuard& operator=(AccessListGuard&&) = delete;

    [[nodiscard]] bool set() const { return set_; }

private:
    bool Set(SECURITY_INFORMATION what, PACL list) {
        return SetNamedSecurityInfoA(path_.data(), SE_FILE_OBJECT, what, nullptr, nullptr, list,
                                     nullptr) == ERROR_SUCCESS;
    }

    std::string path_;
    bool set_ = false;
};

// A file this user may not read is reported so, not loaded as an empty file.
TEST(WindowsLoad, AFileThisUserMayNotReadCannotBeRead) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[Group5]\r\nMinOdd=4.4\r\n");
    // A list of its own with no entry at all lets no one but its owner (who may still change
    // the list) near the file.
    ACL empty{};
    ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    const AccessListGuard closed(path, &empty);
    ASSERT_TRUE(closed.set());
    const HANDLE readable = CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (readable != INVALID_HANDLE_VALUE) {
        CloseHandle(readable);
        // Wine decides by the Unix permissions, and these tests run there as a user who may
        // read every file.
        GTEST_SKIP() << "the system lets this user read the file all the same";
    }

    ExpectLoadsFail(path);
}

// ---------------------------------------------------------------------------------------
// A save that does not fit on the disk.

// Fills the volume of `filler` with it, up to `leave` bytes of free room.
bool FillVolume(const std::string& filler, std::uint64_t leave) {
    const HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::string chunk(4096, 'f');
    std::uint64_t total = 0;
    DWORD wrote = 0;
    for (DWORD size : {DWORD{4096}, DWORD{1}}) {
        while (WriteFile(file, chunk.data(), size, &wrote, nullptr) && wrote == size) {
            total += size;
        }
    }
    // Cut back only: on Wine a full disk refuses even setting the end where it is.
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(total > leave ? total - leave : 0);
    const bool done =
        leave == 0 || (SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    return done;
}

struct FullDiskCase {
    const char* name;
    bool secondName;  // written in place
    bool roomForTheCopy;
};

// On a disk without room for the file's new length, a save fails and leaves the file as it
// was, in place as through a copy (Wine's profile functions, short of room, write what fits
// and report success); with room again, the same commit puts every write in.
//
// It needs a folder on a small volume of its own, which it fills: JNX_TEST_SMALL_FOLDER
// names it (under Wine, for example, Z:\tmp\small on a tmpfs of 256 KB mounted at
// /tmp/small).
TEST(WindowsSaveRoom, ASaveThatDoesNotFitLeavesTheFileAsItWas) {
    const char* small = std::getenv("JNX_TEST_SMALL_FOLDER");
    if (small == nullptr || *small == '\0') {
        GTEST_SKIP() << "JNX_TEST_SMALL_FOLDER names no folder on a small volume";
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD clusters = 0;
    const std::string root = std::string(small) + "\\";
    ASSERT_TRUE(GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                  &clusters));
    const std::uint64_t cluster = std::uint64_t{sectorsPerCluster} * bytesPerSector;
    const std::string original = "[S]\r\nK=1\r\n" + std::string(3000, ';') + "\r\n";
    const std::string longer(1500, 'x');

    const FullDiskCase cases[] = {
        {"through a copy, no room at all", false, false},
        {"through a copy, room for the copy alone", false, true},
        {"in place", true, false},
    };
    for (const FullDiskCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = fs::path(small) / "jnx-full-disk";
        fs::remove_all(folder);
        fs::create_directory(folder);
        const std::string path = (folder / "Jnx.ini").string();
        test::WriteBytes(path, original);
        std::string expectedNames = "Jnx.ini\nfiller\n";
        if (c.secondName) {
            ASSERT_TRUE(
                CreateHardLinkA((folder / "Linked.ini").string().c_str(), path.c_str(), nullptr));
            expectedNames = "Jnx.ini\nLinked.ini\nfiller\n";
        }
        const std::string filler = (folder / "filler").string();
        const std::uint64_t copySize = (original.size() + cluster - 1) / cluster * cluster;
        ASSERT_TRUE(FillVolume(filler, c.roomForTheCopy ? copySize : 0));

        {
            ProfileFile profile(path);
            for (const char* key : {"L", "M", "N"}) {
                profile.write("S", key, longer);
            }
            EXPECT_THROW(profile.commit(), WriteError);
            EXPECT_TRUE(test::ReadBytes(path) == original) << "the file changed";
            EXPECT_EQ(test::ListFolder(folder), expectedNames);

            ASSERT_TRUE(DeleteFileA(filler.c_str()));
            EXPECT_NO_THROW(profile.commit());
        }
        ProfileFile saved(path);
        for (const char* key : {"L", "M", "N"}) {
            EXPECT_EQ(saved.read("S", key, " "), longer) << key;
        }
        EXPECT_EQ(saved.read("S", "K", " "), "1");
        fs::remove_all(folder);
    }
}

}  // namespace
}  // namespace jnx
