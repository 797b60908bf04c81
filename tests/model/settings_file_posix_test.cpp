// What a save promises beyond the Windows profile functions: only the value bytes of the
// keys it writes change. Also where the settings file lies on Linux.

#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings_file.h"
#include "settings_path.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

namespace fs = std::filesystem;
using test::kKyoto;
using test::kWakuren;

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

    SettingsModel model = test::TestModel();
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
        "[Dir]\r\nBetAutoRead=C:\\Jnx\\\x95\x5C"
        "0\\\r\nPatData=D:\\PAT\\\x83\x5C\\\n"
        "[Options]\r\nOKStep=False\r\nExtra=x\n";
    for (std::size_t g = 1; g < kGroupCount; ++g) {
        expected += test::NewGroupSection(g, "\n");
    }
    EXPECT_EQ(test::ReadBytes(path), expected);

    // Saving the same model again changes nothing.
    WriteIni(model, path);
    EXPECT_EQ(test::ReadBytes(path), expected);
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
    // Only group 2's "Active=true", which does not read as set, has become "Active=False".
    std::string expected = test::ReadBytes(test::SampleSettingsPath());
    expected.replace(expected.find("Active=true", expected.find("[Group2]")), 11, "Active=False");
    EXPECT_EQ(once, expected);
}

TEST(SettingsPath, IsBesideTheRunningExecutable) {
    const fs::path executable = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(SettingsFilePath(), (executable.parent_path() / "Jnx.ini").string());
}

// Folder names in UTF-8, as Linux names files. Read as code page 932, the last byte of the
// first three is a lead byte that would take the "/" after it into a character; 競馬 pairs
// up harmlessly.
const char* const kUtf8Folders[] = {
    "\xE8\xA8\xAD\xE5\xAE\x9A",                                                  // 設定
    "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88",                                      // テスト
    "\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B",  // Документы
    "\xE7\xAB\xB6\xE9\xA6\xAC",                                                  // 競馬
};

TEST(SettingsPath, PosixFolderPartCutsAtTheLastSlashByte) {
    for (const char* name : kUtf8Folders) {
        const std::string folder = std::string("/home/u/") + name + "/";
        EXPECT_EQ(PosixFolderPart(folder + "JnxEnv"), folder) << name;
    }
    // A code page 932 lead byte means nothing in a Linux path either.
    EXPECT_EQ(PosixFolderPart("/srv/\x83/JnxEnv"), "/srv/\x83/");
    EXPECT_EQ(PosixFolderPart("/JnxEnv"), "/");
    EXPECT_EQ(PosixFolderPart("JnxEnv"), "");
    EXPECT_EQ(PosixFolderPart("C:\\Tools\\Jnx.exe"), "");
}

// Runs a program with one argument; its exit status, or -1 when it could not be run.
int RunProgram(const std::string& program, const std::string& argument) {
    std::string arg0 = program;
    std::string arg1 = argument;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A program copied into a folder of such a name looks for its settings file in that
// folder, not in the one above.
TEST(SettingsPath, BesideAProgramInAFolderWithAUtf8Name) {
    const fs::path probe = fs::read_symlink("/proc/self/exe").parent_path() / "settings_path_probe";
    ASSERT_TRUE(fs::exists(probe));
    for (const char* name : kUtf8Folders) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const fs::path folder = dir.path() / name;
        fs::create_directory(folder);
        const fs::path program = folder / "JnxEnv";
        fs::copy_file(probe, program);
        const fs::path output = dir.path() / "path.txt";
        ASSERT_EQ(RunProgram(program.string(), output.string()), 0);
        EXPECT_EQ(test::ReadBytes(output), (folder / "Jnx.ini").string());
    }
}

}  // namespace
}  // namespace jnx
