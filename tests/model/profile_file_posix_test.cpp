// The promises of the in-memory profile code beyond the Windows functions: the file is
// read once when opened and written once, in one step, by commit(), which also removes
// what earlier commits that were killed left behind.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

namespace fs = std::filesystem;

// Counts file replacements for as long as it lives.
class ReplaceCounter {
public:
    ReplaceCounter() {
        ProfileFile::setReplaceHookForTesting([this](const std::string&) {
            ++count_;
            return true;
        });
    }
    ~ReplaceCounter() { ProfileFile::setReplaceHookForTesting({}); }
    ReplaceCounter(const ReplaceCounter&) = delete;
    ReplaceCounter& operator=(const ReplaceCounter&) = delete;
    ReplaceCounter(ReplaceCounter&&) = delete;
    ReplaceCounter& operator=(ReplaceCounter&&) = delete;

    [[nodiscard]] int count() const { return count_; }

private:
    int count_ = 0;
};

TEST(ProfileFile, ReadsTheFileAsItWasWhenOpened) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    ProfileFile profile(path);
    test::WriteBytes(path, "[S]\r\nK=2\r\n");
    EXPECT_EQ(profile.read("S", "K", " "), "1");
}

TEST(ProfileFile, WritesNothingWithoutCommit) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    {
        ProfileFile profile(path);
        profile.write("S", "K", "2");
        EXPECT_EQ(profile.read("S", "K", " "), "2");
    }
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=1\r\n");

    // Nor does a missing file appear.
    const std::string missing = dir.file("none.ini");
    { ProfileFile(missing).write("S", "K", "v"); }
    EXPECT_FALSE(fs::exists(missing));
}

TEST(ProfileFile, CommitWritesTheFileOnceInOneStep) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\nK=1\n");
    ReplaceCounter counter;
    ProfileFile profile(path);
    for (int i = 0; i < 100; ++i) {
        profile.write("S", "K" + std::to_string(i % 7), std::to_string(i));
    }
    profile.commit();
    EXPECT_EQ(counter.count(), 1);
    EXPECT_EQ(test::ReadBytes(path), "[S]\nK=1\nK0=98\nK1=99\nK2=93\nK3=94\nK4=95\nK5=96\nK6=97\n");
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");

    // A commit without new writes leaves the file alone.
    profile.commit();
    EXPECT_EQ(counter.count(), 1);
}

TEST(ProfileFile, CommitCreatesAMissingFile) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    ProfileFile profile(path);
    EXPECT_EQ(profile.read("S", "K", " "), "");
    profile.write("S", "K", "v");
    profile.commit();
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=v\r\n");
}

TEST(ProfileFile, FailedCommitLeavesTheFileAndNoTemporary) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const std::string original = "[S]\r\nK=1\r\n";
    test::WriteBytes(path, original);
    ProfileFile::setReplaceHookForTesting([](const std::string& temporary) {
        EXPECT_TRUE(fs::exists(temporary));
        return false;
    });
    ProfileFile profile(path);
    profile.write("S", "K", "2");
    try {
        profile.commit();
        ADD_FAILURE() << "commit succeeded";
    } catch (const WriteError& error) {
        EXPECT_EQ(std::string(error.what()), path + test::kCannotWrite);
    }
    ProfileFile::setReplaceHookForTesting({});
    EXPECT_EQ(test::ReadBytes(path), original);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// ---------------------------------------------------------------------------------------
// Temporary files that killed saves left behind.

// The name of a temporary file a save of Jnx.ini by process `pid` makes.
std::string TemporaryName(pid_t pid, int n) {
    return ".Jnx.ini.tmp-" + std::to_string(pid) + "-" + std::to_string(n);
}

// The names in the folder of temporary files that a save by process `pid` made: their last
// part is a number others cannot guess.
std::vector<std::string> TemporariesOf(const fs::path& folder, pid_t pid) {
    const std::string prefix = ".Jnx.ini.tmp-" + std::to_string(pid) + "-";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix)) {
            names.push_back(name);
        }
    }
    return names;
}

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

// Dates a file (or link) back by two minutes.
void MakeOld(const fs::path& path) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec -= 120;
    const struct timespec times[2] = {now, now};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// One save of the file that changes it.
void Save(const std::string& path, const std::string& value) {
    ProfileFile profile(path);
    profile.write("S", "K", value);
    profile.commit();
}

std::string Lines(const std::set<std::string>& names) {
    std::string lines;
    for (const std::string& name : names) {
        lines += name + "\n";
    }
    return lines;
}

// A save killed between writing its temporary file and renaming it leaves the file as it
// was and its temporary file; the next save removes that.
TEST(ProfileFileLeftovers, TemporaryOfAKilledSaveGoesWithTheNextSave) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const std::string original = "[S]\r\nK=1\r\n";
    test::WriteBytes(path, original);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ProfileFile::setReplaceHookForTesting([](const std::string&) {
            ::kill(::getpid(), SIGKILL);
            return true;
        });
        Save(path, "2");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const std::vector<std::string> left = TemporariesOf(dir.path(), child);
    ASSERT_EQ(left.size(), 1U);
    ASSERT_EQ(test::ListFolder(dir.path()), Lines({"Jnx.ini", left[0]}));
    EXPECT_EQ(test::ReadBytes(path), original);

    Save(path, "3");
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=3\r\n");
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// A save at work holds its temporary file locked until the rename, and another save leaves
// it alone, however old the file looks.
TEST(ProfileFileLeftovers, TemporaryOfASaveAtWorkIsKept) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");

    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Stops before its first rename until the parent says go on; the parent's save
        // sends it back to read the file again.
        bool first = true;
        ProfileFile::setReplaceHookForTesting([&](const std::string&) {
            if (!std::exchange(first, false)) {
                return true;
            }
            char signal = 'w';
            return ::write(toParent[1], &signal, 1) == 1 && ::read(toChild[0], &signal, 1) == 1;
        });
        try {
            Save(path, "2");
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(toParent[1]);
    ::close(toChild[0]);
    char signal = 0;
    ASSERT_EQ(::read(toParent[0], &signal, 1), 1) << "the other save did not reach its rename";
    const std::vector<std::string> atWork = TemporariesOf(dir.path(), child);
    ASSERT_EQ(atWork.size(), 1U);
    const fs::path temporary = dir.path() / atWork[0];
    MakeOld(temporary);

    EXPECT_NO_THROW(Save(path, "3"));
    EXPECT_TRUE(fs::exists(temporary)) << "the temporary file of a save at work was removed";

    EXPECT_EQ(::write(toChild[1], &signal, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other save failed";
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=2\r\n");
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    ::close(toParent[0]);
    ::close(toChild[1]);
}

// Only the user's own regular files named exactly as a save of this very file names its
// temporary files go, and only when their writer has ended; every other name, file kind,
// owner and file stays.
TEST(ProfileFileLeftovers, OnlyTemporariesOfEndedSavesOfThisFileGo) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    const pid_t ended = EndedProcess();
    const std::string gone = std::to_string(ended);
    const pid_t living = ::getpid();

    const std::set<std::string> removed = {
        TemporaryName(ended, 0),
        TemporaryName(ended, 12),
        // Its process id is taken, but no save leaves its file unlocked for minutes.
        TemporaryName(living, 5),
    };
    std::set<std::string> keptFiles = test::LookAlikeTemporaryNames(gone);
    keptFiles.insert({
        ".Jnx.ini.tmp-" + gone + "-4",  // locked: a save at work that another process id names
        "victim",                       // the symbolic link's target
    });
    for (const std::string& name : removed) {
        test::WriteBytes(dir.path() / name, "x");
    }
    for (const std::string& name : keptFiles) {
        test::WriteBytes(dir.path() / name, "x");
    }
    // Another user's files, named as ours and of an ended process: not ours to remove,
    // whoever saves (root too).
    constexpr uid_t kOtherUser = 2001;
    for (const int number : {7, 8, 9}) {
        const std::string name = TemporaryName(ended, number);
        test::WriteBytes(dir.path() / name, "x");
        if (::getuid() == 0) {
            ASSERT_EQ(::chown((dir.path() / name).c_str(), kOtherUser, kOtherUser), 0);
            keptFiles.insert(name);
        } else {
            ::unlink((dir.path() / name).c_str());
        }
    }
    // A save made this file a moment ago and is about to lock it.
    const std::string fresh = TemporaryName(living, 6);
    test::WriteBytes(dir.path() / fresh, "x");
    const std::string folder = TemporaryName(ended, 1);
    fs::create_directory(dir.path() / folder);
    test::WriteBytes(dir.path() / folder / "inside", "x");
    const std::string link = TemporaryName(ended, 2);
    fs::create_symlink("victim", dir.path() / link);
    const std::string pipe = TemporaryName(ended, 3);
    ASSERT_EQ(::mkfifo((dir.path() / pipe).c_str(), 0644), 0);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename() != fresh) {
            MakeOld(entry.path());
        }
    }
    const int locked =
        ::open((dir.path() / (".Jnx.ini.tmp-" + gone + "-4")).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(locked, 0);
    ASSERT_EQ(::flock(locked, LOCK_EX), 0);

    Save(path, "2");
    ::close(locked);

    std::set<std::string> kept = keptFiles;
    kept.insert({"Jnx.ini", fresh, folder, link, pipe});
    EXPECT_EQ(test::ListFolder(dir.path()), Lines(kept));
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=2\r\n");
    EXPECT_EQ(test::ReadBytes(dir.path() / "victim"), "x");
    EXPECT_EQ(test::ListFolder(dir.path() / folder), "inside\n");
    EXPECT_TRUE(fs::is_symlink(dir.path() / link));
}

// ---------------------------------------------------------------------------------------
// Files and folders the saving user may not write, and names at the file system's limit.

// A save of one key through SaveProfile, as the editor's saves go.
void SaveKey(const std::string& path, const std::string& value) {
    SaveProfile(path, [&value](ProfileDocument&) {
        return std::vector<ProfileWrite>{{"S", "K", value}};
    });
}

// Runs `body` in a child process as a user other than the file's owner (nobody, when the
// tests run as root); gives the child's exit status, or -1 when no such user can be had.
int AsAnotherUser(const std::function<int()>& body) {
    constexpr uid_t kNobody = 65534;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::getuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(99);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 99 ? WEXITSTATUS(status) : -1;
}

TEST(ProfileFileAccess, FileOfAnotherUserIsRefusedUntouched) {
    if (::getuid() != 0) {
        GTEST_SKIP() << "needs root to stand for the other user";
    }
    test::TempDir dir;
    fs::permissions(dir.path(), fs::perms(0777));  // a folder anyone may write
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    fs::permissions(path, fs::perms(0644));
    const int status = AsAnotherUser([&path] {
        try {
            SaveKey(path, "2");
            return 1;
        } catch (const WriteError&) {
            return 0;
        }
    });
    EXPECT_EQ(status, 0) << "another user's save replaced the file";
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=1\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0U) << "the file changed hands";
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// No temporary file can be made in the folder: the file is written in place, whole.
TEST(ProfileFileAccess, WritableFileInAFolderWeMayNotWriteIsSavedInPlace) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "; kept\r\n[S]\r\nK=longer value\r\n[T]\r\nL=2\r\n");
    fs::permissions(path, fs::perms(0666));
    fs::permissions(dir.path(), fs::perms(0555));
    const int status = AsAnotherUser([&path] {
        try {
            SaveKey(path, "1");
            return 0;
        } catch (const WriteError&) {
            return 1;
        }
    });
    fs::permissions(dir.path(), fs::perms(0700));
    EXPECT_EQ(status, 0) << "the save failed";
    EXPECT_EQ(test::ReadBytes(path), "; kept\r\n[S]\r\nK=1\r\n[T]\r\nL=2\r\n");
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// A save in place replaces only the file read: a write of the tool's that lands between
// the read and the write sends the save back to read the file again.
TEST(ProfileFileAccess, ASaveInPlaceKeepsAToolWriteSinceTheRead) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    fs::permissions(path, fs::perms(0666));
    fs::permissions(dir.path(), fs::perms(0555));
    const int status = AsAnotherUser([&path] {
        // The tool's write comes from this very process, which a lease would hold up.
        SaveSettleTimes().askWriters = false;
        int calls = 0;
        ProfileFile::setReplaceHookForTesting([&](const std::string& file) {
            if (calls++ == 0) {
                std::FILE* tool = std::fopen(file.c_str(), "ab");
                std::fputs("[Tool]\r\nSeen=yes\r\n", tool);
                std::fclose(tool);
            }
            return true;
        });
        try {
            SaveKey(path, "2");
            return calls == 2 ? 0 : 2;
        } catch (const WriteError&) {
            return 1;
        }
    });
    fs::permissions(dir.path(), fs::perms(0700));
    EXPECT_EQ(status, 0) << "the save failed, or did not go back to read the file";
    EXPECT_EQ(test::ReadBytes(path), "[S]\r\nK=2\r\n[Tool]\r\nSeen=yes\r\n");
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// A settings file reached through a link whose target's name is as long as a name can be:
// the temporary file's name is cut to fit beside it.
TEST(ProfileFileAccess, TargetWithTheLongestNameIsSaved) {
    test::TempDir dir;
    const std::string target(250, 'j');
    test::WriteBytes(dir.path() / target, "[S]\r\nK=1\r\n");
    fs::create_symlink(target, dir.path() / "Jnx.ini");
    const std::string path = dir.file("Jnx.ini");
    EXPECT_NO_THROW(SaveKey(path, "2"));
    EXPECT_NO_THROW(Save(path, "3"));
    EXPECT_EQ(test::ReadBytes(dir.path() / target), "[S]\r\nK=3\r\n");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "Jnx.ini"));
}

}  // namespace
}  // namespace jnx
