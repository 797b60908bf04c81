// The promises of the in-memory profile code beyond the Windows functions: the file is
// read once when opened and written once, in one step, by commit().

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "errors.h"
#include "profile_file.h"
#include "test_files.h"

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
        EXPECT_EQ(std::string(error.what()),
                  path + "\x20\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1");
    }
    ProfileFile::setReplaceHookForTesting({});
    EXPECT_EQ(test::ReadBytes(path), original);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

}  // namespace
}  // namespace jnx
