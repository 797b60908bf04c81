// A save leaves Jnx.ini the same file to everyone who uses it: its owner, group, permission
// bits, access list and other extended attributes, its other names, and where it lives.
// Links put in its place by another user in a shared folder lead the save nowhere, and a
// full disk leaves the file as it was. Most cases need root, to stand for the users.

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"

#include "support/test_files.h"

namespace jnx {
namespace {

namespace fs = std::filesystem;

// The editor's user, the betting tool's (or a second user's) account, and a group both
// are in.
constexpr uid_t kEditor = 2000;
constexpr uid_t kTool = 2001;
constexpr gid_t kShared = 3000;

// Runs `body` in a child process as `user` (with its own group and kShared); gives the
// child's exit status, or -1 when the child could not become that user.
int AsUser(uid_t user, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t groups[] = {kShared};
        if (::setgroups(1, groups) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0) {
            ::_exit(99);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 99 ? WEXITSTATUS(status) : -1;
}

// A save of one key as the editor's saves go: 0 when it is saved, 1 when it is refused with
// a write error, 2 for anything else.
int SaveKey(const std::string& path, const std::string& value) {
    try {
        SaveProfile(path, [&value](ProfileDocument&) {
            return std::vector<ProfileWrite>{{"S", "K", value}};
        });
        return 0;
    } catch (const WriteError&) {
        return 1;
    } catch (...) {
        return 2;
    }
}

struct stat StatusOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

void MakeFile(const fs::path& path, std::string_view bytes, uid_t owner, gid_t group, mode_t mode) {
    test::WriteBytes(path, bytes);
    ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

void MakeFolder(const fs::path& path, uid_t owner, mode_t mode) {
    fs::create_directory(path);
    ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

void MakeLink(const fs::path& target, const fs::path& link, uid_t owner) {
    fs::create_symlink(target, link);
    ASSERT_EQ(::lchown(link.c_str(), owner, owner), 0);
}

// Whether the tests may stand for other users (as root); the caller skips when not.
bool MayStandForUsers() {
    return ::getuid() == 0;
}

// ---------------------------------------------------------------------------------------
// Links in shared folders.

// A shared folder holds the betting tool's Jnx.ini; the editor's user has loaded it, and a
// link now stands in its place. The save follows it only as the kernel's protection for
// links in shared folders would (a link of the user's own or of the folder's owner), only to
// a file that is there, and another user's link only to that user's own file: the tool's
// account cannot have the save write a private file of the user's.
TEST(FileIdentity, LinksInASharedFolderAreFollowedOnlyAsTheKernelWould) {
    if (!MayStandForUsers()) {
        GTEST_SKIP() << "needs root to stand for the users";
    }
    struct Case {
        const char* name;
        uid_t folderOwner;
        mode_t folderMode;
        uid_t linkOwner;
        uid_t targetOwner;  // the user's private file, or one of the tool's it may write
        bool missing;       // the link leads to no file
        bool saved;
    };
    const Case cases[] = {
        {"the tool's link to a private file", kTool, 0777, kTool, kEditor, false, false},
        {"the same, sticky folder", kTool, 01777, kTool, kEditor, false, false},
        {"the tool's link to a missing file", kTool, 0777, kTool, kEditor, true, false},
        {"the tool's link in a sticky folder of root's", 0, 01777, kTool, kTool, false, false},
        {"the user's own link to a missing file", kTool, 0777, kEditor, kEditor, true, false},
        {"the user's own link", kTool, 0777, kEditor, kEditor, false, true},
        {"the user's own link, sticky folder", 0, 01777, kEditor, kEditor, false, true},
        {"the folder owner's link to a file of theirs", kTool, 01777, kTool, kTool, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const fs::path shared = dir.path() / "shared";
        MakeFolder(shared, c.folderOwner, c.folderMode);
        const fs::path targets = dir.path() / "targets";
        MakeFolder(targets, c.targetOwner, c.targetOwner == kEditor ? 0700 : 0755);
        const fs::path target = targets / "settings.ini";
        if (!c.missing) {
            MakeFile(target, "[S]\r\nK=1\r\n", c.targetOwner, c.targetOwner,
                     c.targetOwner == kEditor ? 0600 : 0666);
        }
        MakeLink(target, shared / "Jnx.ini", c.linkOwner);

        const std::string path = (shared / "Jnx.ini").string();
        EXPECT_EQ(AsUser(kEditor, [&path] { return SaveKey(path, "LINE_CHOSEN_BY_B"); }),
                  c.saved ? 0 : 1);
        EXPECT_TRUE(fs::is_symlink(shared / "Jnx.ini"));
        if (c.missing) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(target))) << "the save made it";
        } else {
            EXPECT_EQ(test::ReadBytes(target),
                      c.saved ? "[S]\r\nK=LINE_CHOSEN_BY_B\r\n" : "[S]\r\nK=1\r\n");
            EXPECT_EQ(StatusOf(target).st_uid, c.targetOwner);
        }
        EXPECT_EQ(test::ListFolder(targets), c.missing ? "" : "settings.ini\n");
        EXPECT_EQ(test::ListFolder(shared), "Jnx.ini\n");
    }
}

// ---------------------------------------------------------------------------------------
// Owner, group and permissions.

// Another user's file the editor's user may write through its group, or through the
// permission bits for everyone: saved, and still the other user's, in any shared folder.
TEST(FileIdentity, AnotherUsersWritableFileKeepsItsOwnerAndGroup) {
    if (!MayStandForUsers()) {
        GTEST_SKIP() << "needs root to stand for the users";
    }
    struct Case {
        mode_t fileMode;
        gid_t group;
        mode_t folderMode;
    };
    const Case cases[] = {
        {0660, kShared, 0777},
        {0660, kShared, 01777},
        {0666, kTool, 0777},
        {0660, kShared, 0755},  // a folder only its owner may write
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << std::oct << "file " << c.fileMode << ", folder " << c.folderMode);
        test::TempDir dir;
        const fs::path folder = dir.path() / "shared";
        MakeFolder(folder, kTool, c.folderMode);
        const fs::path file = folder / "Jnx.ini";
        MakeFile(file, "; the tool's\r\n[S]\r\nK=1\r\n", kTool, c.group, c.fileMode);
        const std::string path = file.string();
        EXPECT_EQ(AsUser(kEditor, [&path] { return SaveKey(path, "2"); }), 0);
        EXPECT_EQ(test::ReadBytes(file), "; the tool's\r\n[S]\r\nK=2\r\n");
        const struct stat after = StatusOf(file);
        EXPECT_EQ(after.st_uid, kTool);
        EXPECT_EQ(after.st_gid, c.group);
        EXPECT_EQ(after.st_mode & 07777, c.fileMode);
        EXPECT_EQ(test::ListFolder(folder), "Jnx.ini\n");
    }
}

// The bytes of an access list as the system keeps it in the attribute
// system.posix_acl_access: the file's owner, one more user, the group, the mask and others.
std::string AccessList(unsigned ownerPerms, uid_t user, unsigned userPerms, unsigned groupPerms,
                       unsigned otherPerms) {
    std::string bytes;
    const auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    const auto entry = [&put](unsigned tag, unsigned perms, std::uint32_t id) {
        put(tag, 2);
        put(perms, 2);
        put(id, 4);
    };
    constexpr std::uint32_t kNoId = 0xFFFFFFFF;
    put(2, 4);                                   // version
    entry(0x01, ownerPerms, kNoId);              // the owner
    entry(0x02, userPerms, user);                // one more user
    entry(0x04, groupPerms, kNoId);              // the group
    entry(0x10, userPerms | groupPerms, kNoId);  // the mask
    entry(0x20, otherPerms, kNoId);              // others
    return bytes;
}

std::optional<std::string> Attribute(const fs::path& path, const char* name) {
    std::string value(4096, '\0');
    const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
    if (size < 0) {
        return std::nullopt;
    }
    value.resize(static_cast<std::size_t>(size));
    return value;
}

// A private file the betting tool's account may write through an entry of its access list,
// with an attribute of the user's: both are there after a save, by its owner or by root.
TEST(FileIdentity, AccessListAndAttributesAreKept) {
    if (!MayStandForUsers()) {
        GTEST_SKIP() << "needs root to stand for the users";
    }
    for (const uid_t saver : {kEditor, uid_t{0}}) {
        SCOPED_TRACE(::testing::Message() << "saved by " << saver);
        test::TempDir dir;
        const fs::path folder = dir.path() / "own";
        MakeFolder(folder, kEditor, 0700);
        const fs::path file = folder / "Jnx.ini";
        MakeFile(file, "[S]\r\nK=1\r\n", kEditor, kEditor, 0600);
        const std::string list = AccessList(6, kTool, 6, 0, 0);
        if (::setxattr(file.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) != 0 ||
            ::setxattr(file.c_str(), "user.tool", "kept", 4, 0) != 0) {
            GTEST_SKIP() << "no access lists or attributes here: " << std::strerror(errno);
        }
        const mode_t mode = StatusOf(file).st_mode & 07777;
        ASSERT_EQ(mode, 0660U);  // the group's bits show the mask

        const std::string path = file.string();
        if (saver == 0) {
            EXPECT_EQ(SaveKey(path, "2"), 0);
        } else {
            EXPECT_EQ(AsUser(saver, [&path] { return SaveKey(path, "2"); }), 0);
        }
        EXPECT_EQ(test::ReadBytes(file), "[S]\r\nK=2\r\n");
        EXPECT_EQ(Attribute(file, "system.posix_acl_access"), list);
        EXPECT_EQ(Attribute(file, "user.tool"), "kept");
        EXPECT_EQ(StatusOf(file).st_mode & 07777, mode);
        EXPECT_EQ(StatusOf(file).st_uid, kEditor);
        EXPECT_EQ(test::ListFolder(folder), "Jnx.ini\n");
    }
}

// A folder whose default access list gives every new file an entry: the new file a save
// makes gets it too, but the settings file had none, and has none after the save.
TEST(FileIdentity, NoAccessListComesFromTheFolder) {
    test::TempDir dir;
    const fs::path file = dir.path() / "Jnx.ini";
    test::WriteBytes(file, "[S]\r\nK=1\r\n");
    ::chmod(file.c_str(), 0640);
    const std::string list = AccessList(7, 12345, 7, 5, 5);
    if (::setxattr(dir.path().c_str(), "system.posix_acl_default", list.data(), list.size(), 0) !=
        0) {
        GTEST_SKIP() << "no access lists here: " << std::strerror(errno);
    }
    EXPECT_EQ(SaveKey(file.string(), "2"), 0);
    EXPECT_EQ(test::ReadBytes(file), "[S]\r\nK=2\r\n");
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), std::nullopt);
    EXPECT_EQ(StatusOf(file).st_mode & 07777, 0640U);
}

// ---------------------------------------------------------------------------------------
// Other names.

// A settings file with a second name: a save through either name is seen through the other.
TEST(FileIdentity, AHardLinkedFileStaysOneFile) {
    test::TempDir dir;
    const fs::path file = dir.path() / "Jnx.ini";
    const fs::path other = dir.path() / "tool.ini";
    test::WriteBytes(file, "[S]\r\nK=1\r\n");
    fs::create_hard_link(file, other);
    const ino_t inode = StatusOf(file).st_ino;

    EXPECT_EQ(SaveKey(file.string(), "2"), 0);
    EXPECT_EQ(test::ReadBytes(other), "[S]\r\nK=2\r\n");
    EXPECT_EQ(SaveKey(other.string(), "a longer value"), 0);
    EXPECT_EQ(test::ReadBytes(file), "[S]\r\nK=a longer value\r\n");
    EXPECT_EQ(SaveKey(file.string(), "3"), 0);
    EXPECT_EQ(test::ReadBytes(other), "[S]\r\nK=3\r\n");
    EXPECT_EQ(StatusOf(file).st_ino, inode);
    EXPECT_EQ(StatusOf(file).st_nlink, 2U);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\ntool.ini\n");
}

// ---------------------------------------------------------------------------------------
// A full disk.

// A small file system of its own, filled up; unmounted when the test ends.
class FullFileSystem {
public:
    FullFileSystem() {
        mount_ = dir_.path() / "disk";
        fs::create_directory(mount_);
        mounted_ = ::mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=256k,mode=0755") == 0;
    }
    ~FullFileSystem() {
        if (mounted_) {
            ::umount2(mount_.c_str(), MNT_DETACH);
        }
    }
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;
    FullFileSystem(FullFileSystem&&) = delete;
    FullFileSystem& operator=(FullFileSystem&&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const fs::path& path() const { return mount_; }

    // Fills what room is left with a file of its own.
    void fill() const {
        const std::string filler = (mount_ / "filler").string();
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, block.data(), 1) > 0) {
        }
        ::close(fd);
    }

private:
    test::TempDir dir_;
    fs::path mount_;
    bool mounted_ = false;
};

// The settings file of 8,192 bytes, its key first and a comment to fill it up.
std::string FileOf8192Bytes() {
    std::string bytes = "[S]\r\nK=12345\r\n;";
    bytes.append(8192 - bytes.size() - 2, 'x');
    bytes += "\r\n";
    return bytes;
}

// A value one byte longer on a full disk is refused with the file as it was, whether it is
// written in place (a folder the user may not write) or through a new file; a shorter one
// needs no room, and is saved.
TEST(FileIdentity, AFullDiskLeavesTheFileAsItWas) {
    if (!MayStandForUsers()) {
        GTEST_SKIP() << "needs root to stand for the users";
    }
    struct Case {
        const char* name;
        bool inPlace;
        const char* value;
        bool saved;
    };
    const Case cases[] = {
        {"in place, longer", true, "123456", false},
        {"in place, shorter", true, "1234", true},
        {"new file, longer", false, "123456", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FullFileSystem disk;
        if (!disk.mounted()) {
            GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
        }
        const fs::path folder = disk.path() / "tool";
        MakeFolder(folder, 0, c.inPlace ? 0755 : 0777);
        const fs::path file = folder / "Jnx.ini";
        const std::string before = FileOf8192Bytes();
        // Another user's file is written in place; the user's own is replaced.
        const uid_t owner = c.inPlace ? 0 : kEditor;
        MakeFile(file, before, owner, owner, 0666);
        disk.fill();

        const std::string path = file.string();
        const std::string value = c.value;
        EXPECT_EQ(AsUser(kEditor, [&path, &value] { return SaveKey(path, value); }),
                  c.saved ? 0 : 1);
        std::string expected = before;
        if (c.saved) {
            expected.replace(7, 5, value);
        }
        EXPECT_EQ(test::ReadBytes(file), expected);
        EXPECT_EQ(test::ListFolder(folder), "Jnx.ini\n");
    }
}

}  // namespace
}  // namespace jnx
