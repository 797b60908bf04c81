// Bad input for the settings file layer: binary garbage, NUL bytes, huge lines, values at
// the length limit, broken section lines, and the ways a save can fail on disk. Nothing
// may crash or hang, a load fails only with ConversionError (or ReadError for a file that
// cannot be read at all), and a save keeps every byte it does not write.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "settings_file.h"
#include "settings_model.h"
#include "tables.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using test::kCannotRead;
using test::kCannotWrite;
using test::kHyo;
using test::kNotAnInteger;
using test::TestModel;

constexpr std::size_t kTenMegabytes = std::size_t{10} * 1024 * 1024;

// Loads the file; a load may stop with ConversionError and nothing else.
bool LoadsOrStopsWithConversionError(SettingsModel& model, const std::string& path) {
    try {
        ReadIni(model, path);
        return true;
    } catch (const ConversionError&) {
        return false;
    } catch (const std::exception& error) {
        ADD_FAILURE() << "ReadIni threw " << typeid(error).name() << ": " << error.what();
    } catch (...) {
        ADD_FAILURE() << "ReadIni threw something that is no std::exception";
    }
    return false;
}

// The bytes WriteIni makes of `bytes`.
std::string WrittenOver(const SettingsModel& model, std::string_view bytes) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, bytes);
    WriteIni(model, path);
    return test::ReadBytes(path);
}

std::string WrittenToEmptyFile(const SettingsModel& model) {
    return WrittenOver(model, "");
}

// what() of the WriteError that `action` throws, or a note that it threw none.
template <typename Action>
std::string WriteErrorMessage(Action&& action) {
    try {
        action();
    } catch (const WriteError& error) {
        return error.what();
    } catch (const std::exception& error) {
        return "(not a WriteError: "s + error.what() + ")";
    }
    return "(no exception)";
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// True when no line of `bytes` can be the header of a section WriteIni writes.
bool NamesNoSectionOfOurs(std::string_view bytes) {
    const std::string lower = LowerAscii(bytes);
    return lower.find("group") == std::string::npos && lower.find("dir") == std::string::npos &&
           lower.find("options") == std::string::npos;
}

// Random bytes, weighted towards those that mean something to the file layer.
std::string Garbage(std::mt19937& random, std::size_t maxLength) {
    static constexpr char kMeaningfulBytes[] = "[]=\r\n \t\x1A\"';#\x81\x83\x95\x5C\x5D\xA0\xFF\0";
    constexpr std::string_view kMeaningful(kMeaningfulBytes, sizeof kMeaningfulBytes - 1);
    std::string bytes(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), '\0');
    for (char& c : bytes) {
        const auto pick = random();
        c = pick % 2 == 0 ? static_cast<char>(pick >> 8)
                          : kMeaningful[(pick >> 8) % kMeaningful.size()];
    }
    return bytes;
}

// ---------------------------------------------------------------------------------------
// Garbage and hostile lines in the file.

// Whole files of random bytes: a load fills the model or stops with ConversionError, a
// save appends its sections behind the garbage, and a load then gets the model.
TEST(Robustness, BinaryGarbageFiles) {
    std::mt19937 random(424242);
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const SettingsModel model = TestModel(1);
    int checked = 0;
    for (int n = 0; n < 300; ++n) {
        const std::string garbage = Garbage(random, n % 10 == 0 ? 65536 : 2048);
        SCOPED_TRACE("case " + std::to_string(n));
        test::WriteBytes(path, garbage);
        SettingsModel loaded;
        LoadsOrStopsWithConversionError(loaded, path);

        if (!NamesNoSectionOfOurs(garbage)) {
            continue;
        }
        ++checked;
        ASSERT_NO_THROW(WriteIni(model, path));
        const std::string written = test::ReadBytes(path);
        ASSERT_EQ(written.substr(0, garbage.size()), garbage);
        SettingsModel read;
        ASSERT_TRUE(LoadsOrStopsWithConversionError(read, path));
        ASSERT_TRUE(read == model);
    }
    EXPECT_GT(checked, 250);
}

// Garbage before the first section or after the last one is never part of a value the
// save writes: the result is the garbage and the saved settings, side by side.
TEST(Robustness, GarbageAroundTheSettingsIsKept) {
    std::mt19937 random(90210);
    const SettingsModel original = TestModel(1);
    const SettingsModel changed = TestModel(2);
    const std::string settings = WrittenToEmptyFile(original);
    const std::string settingsChanged = WrittenOver(changed, settings);
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");

    for (int n = 0; n < 100; ++n) {
        SCOPED_TRACE("case " + std::to_string(n));
        std::string garbage = Garbage(random, 1024);

        // Behind the last section anything goes: first sections and first keys win, and
        // every key is already there.
        test::WriteBytes(path, settings + garbage);
        SettingsModel read;
        ASSERT_TRUE(LoadsOrStopsWithConversionError(read, path));
        ASSERT_TRUE(read == original);
        ASSERT_NO_THROW(WriteIni(changed, path));
        ASSERT_EQ(test::ReadBytes(path), settingsChanged + garbage);

        // In front, as long as it names none of our sections and ends its last line.
        if (!NamesNoSectionOfOurs(garbage)) {
            continue;
        }
        garbage += "\r\n";
        test::WriteBytes(path, garbage + settings);
        ASSERT_TRUE(LoadsOrStopsWithConversionError(read, path));
        ASSERT_TRUE(read == original);
        ASSERT_NO_THROW(WriteIni(changed, path));
        ASSERT_EQ(test::ReadBytes(path), garbage + settingsChanged);
    }
}

// Hostile lines in front of the settings: none of them is a header of ours, so the loads
// read the settings and the saves keep the lines byte for byte.
TEST(Robustness, HostileLinesInFrontAreKept) {
    struct Case {
        const char* what;
        std::string lines;
    };
    const Case cases[] = {
        {"NUL in a section name",
         "[Group\0"
         "0]\r\nType=K\r\n"s},
        {"NUL before a header", "\0[Group0]\r\nType=K\r\n"s},
        {"NUL in key names and values", "Ty\0pe=K\r\nBb=\0\r\n\0=\0\r\n"s},
        {"[ without ]", "[Group0\r\nType=K\r\n[\r\n[[[\r\n"s},
        {"[ without ] but with =", "[Group0 = yes\r\n"s},
        {"] as the trail byte of the last character", "[Group0\x83]\r\nType=K\r\n"s},
        {"] as trail byte, then text", "[Group0\x83]x\r\nBb=x\r\n"s},
        {"lone lead byte before the line break", "Foo=\x83\r\n[Foo\x83\r\n"s},
        {"only line breaks", "\r\n\n\r\r\n\n"s},
        {"bytes that are no code page 932", "\x80\xA0\xFD\xFE\xFF=\xFF\r\n"s},
        {"a 10 MB line without =", std::string(kTenMegabytes, 'x') + "\r\n"},
        {"a 10 MB line with =", "Key=" + std::string(kTenMegabytes, '=') + "\r\n"},
        {"a 10 MB line of [", std::string(kTenMegabytes, '[') + "\r\n"},
    };
    const SettingsModel original = TestModel(1);
    const SettingsModel changed = TestModel(2);
    const std::string settings = WrittenToEmptyFile(original);
    const std::string settingsChanged = WrittenOver(changed, settings);
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteBytes(path, c.lines + settings);
        SettingsModel read;
        EXPECT_TRUE(LoadsOrStopsWithConversionError(read, path));
        EXPECT_TRUE(read == original);
        ASSERT_NO_THROW(WriteIni(changed, path));
        EXPECT_TRUE(test::ReadBytes(path) == c.lines + settingsChanged);
    }
}

// Hostile lines behind the settings, huge ones included, are kept byte for byte.
TEST(Robustness, HugeLinesBehindAreKept) {
    const std::string tail = std::string(kTenMegabytes, 'x') +
                             "\r\nBig=" + std::string(kTenMegabytes, 'v') + "\n[" +
                             std::string(kTenMegabytes, 'G') + "]\r" + std::string("\0\x83", 2);
    const SettingsModel original = TestModel(1);
    const SettingsModel changed = TestModel(2);
    const std::string settings = WrittenToEmptyFile(original);
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(path, settings + tail);
    SettingsModel read;
    EXPECT_TRUE(LoadsOrStopsWithConversionError(read, path));
    EXPECT_TRUE(read == original);
    ASSERT_NO_THROW(WriteIni(changed, path));
    EXPECT_TRUE(test::ReadBytes(path) == WrittenOver(changed, settings) + tail);
}

// A 10 MB value is read as its first kMaxValueLength bytes and replaced whole by a save.
TEST(Robustness, HugeValueOfOursIsReadShortAndReplaced) {
    const SettingsModel changed = TestModel(2);
    const std::string front = "[Group0]\r\nBb=1\r\nOdd=";
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    test::WriteBytes(
        path, front + std::string(kTenMegabytes, '9') + "\r\n" + WrittenToEmptyFile(TestModel(1)));
    SettingsModel read;
    EXPECT_TRUE(LoadsOrStopsWithConversionError(read, path));
    EXPECT_EQ(read.group(0).fields[kOddField], std::string(ProfileDocument::kMaxValueLength, '9'));

    ASSERT_NO_THROW(WriteIni(changed, path));
    const std::string written = test::ReadBytes(path);
    EXPECT_LT(written.size(), 100000u);
    EXPECT_EQ(written.substr(0, 10), "[Group0]\r\n");
    EXPECT_TRUE(LoadsOrStopsWithConversionError(read, path));
    EXPECT_TRUE(read == changed);
}

// Reads and writes of ProfileDocument on broken structure, each with the exact bytes the
// write must give.
TEST(Robustness, BrokenStructureKeepsItsBytes) {
    struct Case {
        const char* what;
        std::string original;
        std::string_view section;
        std::string_view key;
        std::string read;  // before the write
        std::string written;
    };
    const Case cases[] = {
        {"NUL ends the value; the write replaces what stood behind it too",
         "[S]\r\nK=ab\0cd\r\nL=x\0y\r\n"s, "S", "K", "ab", "[S]\r\nK=new\r\nL=x\0y\r\n"s},
        {"NUL in a key name: another key", "[S]\r\nK\0=v\r\n"s, "S", "K", "(none)",
         "[S]\r\nK\0=v\r\nK=new\r\n"s},
        {"NUL in a section name: another section", "[S\0]\r\nK=v\r\n"s, "S", "K", "(none)",
         "[S\0]\r\nK=v\r\n[S]\r\nK=new\r\n"s},
        {"lone lead byte at the end of the file", "[S]\r\nK=5\x83", "S", "K", "5\x83",
         "[S]\r\nK=new"},
        {"lone lead byte at the end, key added", "[S]\r\nL=5\x83", "S", "K", "(none)",
         "[S]\r\nL=5\x83\r\nK=new\r\n"},
        {"lone lead byte at the end, section added", "[T]\r\nK=5\x83", "S", "K", "(none)",
         "[T]\r\nK=5\x83\r\n[S]\r\nK=new\r\n"},
        {"file of one lead byte", "\x83", "S", "K", "(none)", "\x83\r\n[S]\r\nK=new\r\n"},
        {"[ without ] belongs to the section before", "[S]\r\nK=1\r\n[T\r\nL=2\r\n", "S", "L", "2",
         "[S]\r\nK=1\r\n[T\r\nL=new\r\n"},
        {"] as trail byte: no header", "[S]\r\nK=1\r\n[\x83]\r\nL=2\r\n", "S", "M", "(none)",
         "[S]\r\nK=1\r\n[\x83]\r\nL=2\r\nM=new\r\n"},
        {"] as trail byte, then a real ]", "[\x83]]\r\nK=1\r\n", "\x83]", "K", "1",
         "[\x83]]\r\nK=new\r\n"},
        {"trail byte \\ before ]", "[\x95\x5C]\r\nK=1\r\n", kHyo, "K", "1",
         "[\x95\x5C]\r\nK=new\r\n"},
        {"empty file", "", "S", "K", "(none)", "[S]\r\nK=new\r\n"},
        {"only line breaks: LF", "\n\n", "S", "K", "(none)", "\n\n[S]\nK=new\n"},
        {"only line breaks: CR", "\r\r", "S", "K", "(none)", "\r\r[S]\rK=new\r"},
        {"only line breaks: CR LF after LF", "\n\r\n", "S", "K", "(none)", "\n\r\n[S]\nK=new\n"},
        {"blanks only", " \t\x1A\x0B", "S", "K", "(none)", " \t\x1A\x0B\r\n[S]\r\nK=new\r\n"},
        {"header without line break", "[S]", "S", "K", "(none)", "[S]\r\nK=new\r\n"},
        {"equals sign only", "[S]\r\n=\r\n", "S", "K", "(none)", "[S]\r\n=\r\nK=new\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProfileDocument document(c.original);
        EXPECT_EQ(document.read(c.section, c.key, "(none)"), c.read);
        document.write(c.section, c.key, "new");
        EXPECT_EQ(document.bytes(), c.written);
        EXPECT_EQ(ProfileDocument(document.bytes()).read(c.section, c.key, ""), "new");
    }
}

// Files without anything of ours: the load stops at the first course number, which is
// missing, having changed nothing behind it; the save appends everything.
TEST(Robustness, EmptyFileAndFilesOfLineBreaks) {
    const SettingsModel model = TestModel(1);
    const std::string fresh = WrittenToEmptyFile(model);
    ASSERT_EQ(fresh.substr(0, 24), "[Group0]\r\nActive=False\r\n");
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    for (const std::string original : {"", "\r\n", "\n\n\n", "\r\r", "\r\n\r\n", "\n\r\n\r"}) {
        SCOPED_TRACE("file: " + std::to_string(original.size()) + " bytes");
        test::WriteBytes(path, original);
        SettingsModel read = TestModel(3);
        try {
            ReadIni(read, path);
            ADD_FAILURE() << "no course number, yet the load went through";
        } catch (const ConversionError& error) {
            EXPECT_EQ(std::string(error.what()), "''" + kNotAnInteger);
        }
        SettingsModel rest = TestModel(3);
        rest.groups[0] = read.groups[0];
        EXPECT_TRUE(read == rest) << "the load went on after the failed conversion";

        ASSERT_NO_THROW(WriteIni(model, path));
        // Added lines end like the first line.
        const std::string newline = original.empty()               ? "\r\n"
                                    : original.starts_with("\r\n") ? "\r\n"
                                                                   : original.substr(0, 1);
        std::string expected = fresh;
        if (newline != "\r\n") {
            expected.clear();
            for (std::size_t pos = 0; pos < fresh.size(); ++pos) {
                if (fresh.compare(pos, 2, "\r\n") == 0) {
                    expected += newline;
                    ++pos;
                } else {
                    expected += fresh[pos];
                }
            }
        }
        EXPECT_TRUE(test::ReadBytes(path) == original + expected);
        EXPECT_TRUE(LoadsOrStopsWithConversionError(read, path));
        EXPECT_TRUE(read == model);
    }
}

// ---------------------------------------------------------------------------------------
// Failures on disk.

// Sets the replacement hook for as long as it lives.
class ScopedReplaceHook {
public:
    explicit ScopedReplaceHook(ProfileFile::ReplaceHook hook) {
        ProfileFile::setReplaceHookForTesting(std::move(hook));
    }
    ~ScopedReplaceHook() { ProfileFile::setReplaceHookForTesting({}); }
    ScopedReplaceHook(const ScopedReplaceHook&) = delete;
    ScopedReplaceHook& operator=(const ScopedReplaceHook&) = delete;
    ScopedReplaceHook(ScopedReplaceHook&&) = delete;
    ScopedReplaceHook& operator=(ScopedReplaceHook&&) = delete;
};

TEST(RobustnessOnDisk, PathThroughMissingFolder) {
    test::TempDir dir;
    const std::string path = dir.file("missing/Jnx.ini");
    EXPECT_EQ(WriteErrorMessage([&] { WriteIni(TestModel(1), path); }), path + kCannotWrite);
    EXPECT_EQ(test::ListFolder(dir.path()), "");
}

TEST(RobustnessOnDisk, FolderRemovedAfterTheLoad) {
    test::TempDir dir;
    const fs::path folder = dir.path() / "settings";
    fs::create_directory(folder);
    const std::string path = (folder / "Jnx.ini").string();
    test::WriteBytes(path, "[S]\r\nK=1\r\n");
    ProfileFile profile(path);
    fs::remove_all(folder);
    profile.write("S", "K", "2");
    EXPECT_EQ(WriteErrorMessage([&] { profile.commit(); }), path + kCannotWrite);
    EXPECT_FALSE(fs::exists(folder));
}

// A failure between the flushed temporary file and the rename leaves the old file and no
// temporary file.
TEST(RobustnessOnDisk, FailureBeforeTheRename) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    const std::string old = WrittenToEmptyFile(TestModel(1)) + "; mine\r\n\x83";
    test::WriteBytes(path, old);
    const SettingsModel changed = TestModel(2);

    std::string temporary;
    std::string temporaryBytes;
    {
        ScopedReplaceHook failing([&](const std::string& temporaryPath) {
            temporary = temporaryPath;
            temporaryBytes = test::ReadBytes(temporaryPath);
            return false;
        });
        EXPECT_EQ(WriteErrorMessage([&] { WriteIni(changed, path); }), path + kCannotWrite);
    }
    EXPECT_EQ(fs::path(temporary).parent_path(), dir.path());
    EXPECT_TRUE(temporaryBytes == WrittenOver(changed, old)) << "the temporary file was incomplete";
    EXPECT_TRUE(test::ReadBytes(path) == old);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");

    // Without the hook the same save goes through.
    ASSERT_NO_THROW(WriteIni(changed, path));
    EXPECT_TRUE(test::ReadBytes(path) == temporaryBytes);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// A save through a symbolic link, or a chain of them, replaces the file at the end of the
// chain and keeps the links.
TEST(RobustnessOnDisk, SymbolicLinksAreKept) {
    test::TempDir dir;
    const fs::path elsewhere = dir.path() / "elsewhere";
    fs::create_directory(elsewhere);
    const fs::path target = elsewhere / "real.ini";
    test::WriteBytes(target, "; kept\n[Dir]\nPatData=old\n");
    const fs::path absoluteLink = dir.path() / "absolute.ini";
    const fs::path relativeLink = dir.path() / "Jnx.ini";
    fs::create_symlink(target, absoluteLink);
    fs::create_symlink("absolute.ini", relativeLink);  // link to a link

    const SettingsModel model = TestModel(1);
    ASSERT_NO_THROW(WriteIni(model, relativeLink.string()));
    EXPECT_TRUE(fs::is_symlink(relativeLink));
    EXPECT_TRUE(fs::is_symlink(absoluteLink));
    EXPECT_EQ(fs::read_symlink(relativeLink), "absolute.ini");
    EXPECT_EQ(fs::read_symlink(absoluteLink), target);
    EXPECT_EQ(test::ReadBytes(target).substr(0, 25), "; kept\n[Dir]\nPatData=D:\\P");
    SettingsModel read;
    EXPECT_TRUE(LoadsOrStopsWithConversionError(read, target.string()));
    EXPECT_TRUE(read == model);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\nabsolute.ini\nelsewhere\n");
    EXPECT_EQ(test::ListFolder(elsewhere), "real.ini\n");
}

TEST(RobustnessOnDisk, PermissionBitsAreKept) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    for (const auto permissions :
         {fs::perms(0640), fs::perms(0600), fs::perms(0755), fs::perms(0604), fs::perms(0200)}) {
        SCOPED_TRACE(::testing::Message() << "mode " << std::oct << static_cast<int>(permissions));
        test::WriteBytes(path, "[Dir]\r\nPatData=old\r\n");
        fs::permissions(path, permissions);
        ASSERT_NO_THROW(WriteIni(TestModel(1), path));
        EXPECT_EQ(fs::status(path).permissions(), permissions);
    }
}

// A file nobody may write is read-only, as the profile functions find it, whoever saves
// (root included): it is refused and stays as it was, bytes and mode.
TEST(RobustnessOnDisk, ReadOnlyFileIsRefusedUntouched) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    for (const auto permissions : {fs::perms(0444), fs::perms(0400), fs::perms(0)}) {
        SCOPED_TRACE(::testing::Message() << "mode " << std::oct << static_cast<int>(permissions));
        test::WriteBytes(path, "[Dir]\r\nPatData=old\r\n");
        fs::permissions(path, permissions);
        EXPECT_EQ(WriteErrorMessage([&] { WriteIni(TestModel(1), path); }), path + kCannotWrite);
        EXPECT_EQ(fs::status(path).permissions(), permissions);
        fs::permissions(path, fs::perms(0600));
        EXPECT_EQ(test::ReadBytes(path), "[Dir]\r\nPatData=old\r\n");
        EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
    }
}

// A file too large to hold in memory is reported as unreadable, naming it, and neither a
// load nor a save touches it.
TEST(RobustnessOnDisk, FileTooLargeToReadIsReportedAsSuch) {
    test::TempDir dir;
    const std::string path = dir.file("Jnx.ini");
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    std::error_code error;
    fs::resize_file(path, std::uintmax_t{100} << 30, error);  // sparse: no disk taken
    if (error) {
        GTEST_SKIP() << "no sparse file of 100 GB here: " << error.message();
    }
    SettingsModel model;
    try {
        ReadIni(model, path);
        ADD_FAILURE() << "loaded";
    } catch (const ReadError& read) {
        EXPECT_EQ(read.message(), path + kCannotRead);
        EXPECT_EQ(read.path(), path);
    }
    EXPECT_EQ(WriteErrorMessage([&] { WriteIni(TestModel(1), path); }), path + kCannotWrite);
    EXPECT_EQ(fs::file_size(path), std::uintmax_t{100} << 30);
    EXPECT_EQ(test::ListFolder(dir.path()), "Jnx.ini\n");
}

// Something at the settings path that is no settings file: the load names it as
// unreadable, and neither it nor the save waits for anything (a named pipe would wait for
// a writer) or changes anything there.
TEST(RobustnessOnDisk, NoSettingsFileAtTheSettingsPath) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
    };
    const std::vector<Case> cases = {
        {"folder",
         [](const fs::path& at) {
             fs::create_directory(at);
             test::WriteBytes(at / "inside", "x");
         }},
        {"named pipe", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }},
        {"links in a loop",
         [](const fs::path& at) {
             fs::create_symlink("other", at);
             fs::create_symlink(at.filename(), at.parent_path() / "other");
         }},
        {"device", [](const fs::path& at) { fs::create_symlink("/dev/null", at); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const fs::path at = dir.path() / "Jnx.ini";
        c.make(at);
        const std::string before = test::ListFolder(dir.path());
        const std::string path = at.string();

        // A named pipe opened for reading waits for a writer: should the load or the save
        // still be at work after a while, the test plays the writer, and fails.
        const auto unblocked = [&path](const std::function<void()>& action) {
            std::atomic<bool> done = false;
            std::thread worker([&] {
                action();
                done = true;
            });
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (!done && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            const bool waited = !done;
            while (!done) {
                const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            worker.join();
            return !waited;
        };

        std::string readMessage;
        EXPECT_TRUE(unblocked([&] {
            try {
                SettingsModel read;
                ReadIni(read, path);
            } catch (const ReadError& error) {
                readMessage = error.message();
            } catch (const std::exception& error) {
                readMessage = error.what();
            }
        })) << "the load waited";
        EXPECT_EQ(readMessage, path + kCannotRead);

        std::string writeMessage;
        EXPECT_TRUE(unblocked([&] {
            writeMessage = WriteErrorMessage([&] { WriteIni(TestModel(1), path); });
        })) << "the save waited";
        EXPECT_EQ(writeMessage, path + kCannotWrite);
        EXPECT_EQ(test::ListFolder(dir.path()), before);
        if (std::error_code error; fs::is_directory(at, error)) {
            EXPECT_EQ(test::ListFolder(at), "inside\n");
        }
    }
}

}  // namespace
}  // namespace jnx
