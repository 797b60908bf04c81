// Windows only: a save writes into a copy of the settings file beside it and puts the copy
// in the file's place in one step, so that a save that fails leaves the file as it was,
// byte for byte and with its attributes; a later save removes the copies of killed saves.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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

// Both saves: the plain one, and the one that keeps other programs' changes, which reads
// the file before it writes.
void Save(test::SyncedModel& edited, const std::string& path, bool withSnapshot) {
    if (withSnapshot) {
        edited.sync.save(path);
    } else {
        WriteIni(edited.model, path);
    }
}

// Takes the hook away however the test ends.
class HookGuard {
public:
    explicit HookGuard(ProfileFile::ReplaceHook hook) {
        ProfileFile::setReplaceHookForTesting(std::move(hook));
    }
    ~HookGuard() { ProfileFile::setReplaceHookForTesting({}); }
    HookGuard(const HookGuard&) = delete;
    HookGuard& operator=(const HookGuard&) = delete;
    HookGuard(HookGuard&&) = delete;
    HookGuard& operator=(HookGuard&&) = delete;
};

TEST(WindowsSave, FailedReplacementLeavesTheFileAsItWas) {
    for (const bool withSnapshot : {false, true}) {
        SCOPED_TRACE(withSnapshot ? "beside another program" : "plain save");
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
                Save(edited, path, withSnapshot);
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

        ASSERT_NO_THROW(Save(edited, path, withSnapshot));
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
    for (const bool withSnapshot : {false, true}) {
        for (const bool letsGo : {true, false}) {
            SCOPED_TRACE(std::string(withSnapshot ? "beside another program" : "plain save") +
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
                    EXPECT_NO_THROW(Save(edited, path, withSnapshot));
                } else {
                    EXPECT_THROW(Save(edited, path, withSnapshot), WriteError);
                }
            }
            if (lookEnds.joinable()) {
                lookEnds.join();
            } else if (reader != INVALID_HANDLE_VALUE) {
                CloseHandle(reader);
            }
            ASSERT_NE(reader, INVALID_HANDLE_VALUE) << "the file could not be opened to read";

            EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
            if (letsGo) {
                SettingsModel loaded;
                ReadIni(loaded, path);
                EXPECT_EQ(loaded, edited.model);
            } else {
                EXPECT_TRUE(test::ReadBytes(path) == original) << "the file changed";
            }
        }
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

    for (const bool withSnapshot : {false, true}) {
        EXPECT_THROW(Save(edited, path, withSnapshot), WriteError) << withSnapshot;
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

}  // namespace
}  // namespace jnx
