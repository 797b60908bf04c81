// Windows only: the code page the profile functions work in, and the settings file's place
// for a program whose folder name ends in ソ (83 5C, whose trail byte is "\").

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "settings_file.h"
#include "settings_path.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

// The folder of the running test program, with its trailing "\".
std::string OwnFolder() {
    std::string name(MAX_PATH, '\0');
    const DWORD length = GetModuleFileNameA(nullptr, name.data(), MAX_PATH);
    name.resize(length < MAX_PATH ? length : 0);
    return WindowsFolderPart(name);
}

std::string LongPath(const std::string& path) {
    std::string buffer(MAX_PATH * 4, '\0');
    const DWORD length =
        GetLongPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return path;
    }
    buffer.resize(length);
    return buffer;
}

// Runs a program with one argument; its exit code, or -1 when it could not be run.
long RunProgram(const std::string& program, const std::string& argument) {
    std::string commandLine = "\"" + program + "\" \"" + argument + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return -1;
    }
    DWORD exitCode = 0;
    const bool finished = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                          GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return finished ? static_cast<long>(exitCode) : -1;
}

// The profile functions see the file's bytes as they are only in code page 932.
TEST(Windows, AnsiCodePageIs932) {
    EXPECT_EQ(GetACP(), 932u);
}

// A program at "…\ソ\表.exe": both names end in a trail byte "\", neither of which may be
// taken for the separator.
TEST(SettingsPath, FolderNameEndingInTrailBackslash) {
    test::TempDir dir;
    const std::string base = LongPath(dir.path().string());
    const std::string folder = base + "\\\x83\x5C";         // ソ
    const std::string program = folder + "\\\x95\x5C.exe";  // 表.exe
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(
        CopyFileA((OwnFolder() + "settings_path_probe.exe").c_str(), program.c_str(), TRUE));

    const std::string output = base + "\\path.txt";
    ASSERT_EQ(RunProgram(program, output), 0);
    const std::string settings = test::ReadBytes(output);
    ASSERT_EQ(settings, folder + "\\Jnx.ini");

    // The profile functions take the path as it is.
    WriteIni(test::TestModel(), settings);
    SettingsModel loaded;
    ReadIni(loaded, settings);
    EXPECT_EQ(loaded, test::TestModel());
}

}  // namespace
}  // namespace jnx
