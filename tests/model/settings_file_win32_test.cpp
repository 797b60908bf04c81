// Windows only: the code page the profile functions work in, and the settings file's place:
// for a program whose folder name ends in ソ (83 5C, whose trail byte is "\"), and for
// folders the profile functions cannot reach, whose names the ANSI code page lacks or
// whose paths are too long for them.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "settings_file.h"
#include "settings_path.h"

#include "support/test_files.h"
#include "support/test_models.h"

namespace jnx {
namespace {

// A name in the ANSI code page; the test's names have a code there for every character.
std::string Ansi(const std::wstring& wide) {
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length,
                        nullptr, nullptr);
    return ansi;
}

// A path as the wide functions take it at any length.
std::wstring Unlimited(const std::wstring& path) {
    return L"\\\\?\\" + path;
}

// The running test program's full name.
std::wstring OwnName() {
    std::wstring name(32768, L'\0');
    name.resize(GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size())));
    return name;
}

std::wstring LongPath(const std::wstring& path) {
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        return path;
    }
    buffer.resize(length);
    return buffer;
}

// Makes a folder and the folders above it.
bool MakeFolders(const std::wstring& folder) {
    for (std::size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        const std::wstring part = Unlimited(folder.substr(0, at));
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        if (at == std::wstring::npos) {
            return true;
        }
    }
}

// Runs a program with one argument; its exit code, or -1 when it could not be run.
long RunProgram(const std::wstring& program, const std::wstring& argument) {
    std::wstring commandLine = L"\"" + program + L"\" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD exitCode = 0;
    const bool finished = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                          GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return finished ? static_cast<long>(exitCode) : -1;
}

// What the settings path probe, copied into a folder as `program`, wrote and its exit code.
struct ProbeAnswer {
    long exitCode = -1;
    std::string written;
};

ProbeAnswer RunProbe(const std::wstring& program, const std::wstring& output) {
    const std::wstring own = OwnName();
    const std::wstring probe = own.substr(0, own.rfind(L'\\') + 1) + L"settings_path_probe.exe";
    if (!CopyFileW(probe.c_str(), Unlimited(program).c_str(), TRUE)) {
        return {};
    }
    ProbeAnswer answer;
    answer.exitCode = RunProgram(program, output);
    if (answer.exitCode >= 0 && answer.exitCode != 2) {
        answer.written = test::ReadBytes(output);
    }
    return answer;
}

// A folder in `base` ending in `last` whose Jnx.ini has a path of `bytes` bytes in the
// ANSI code page; folders of "a"s in front of `last` make up the length.
std::wstring FolderOfLength(const std::wstring& base, std::size_t bytes, const std::wstring& last) {
    std::size_t fill = bytes - Ansi(base + L"\\" + last + L"\\Jnx.ini").size() - 1;
    std::wstring folder = base + L"\\";
    for (; fill > 200; fill -= 101) {
        folder += std::wstring(100, L'a') + L"\\";
    }
    return folder + std::wstring(fill, L'a') + L"\\" + last;
}

// The profile functions see the file's bytes as they are only in code page 932.
TEST(Windows, AnsiCodePageIs932) {
    EXPECT_EQ(GetACP(), 932u);
}

// A program at "…\ソ\表.exe": both names end in a trail byte "\", neither of which may be
// taken for the separator.
TEST(SettingsPath, FolderNameEndingInTrailBackslash) {
    test::TempDir dir;
    const std::wstring base = LongPath(dir.path().wstring());
    const std::wstring folder = base + L"\\\u30BD";  // ソ, 83 5C
    ASSERT_TRUE(MakeFolders(folder));

    const ProbeAnswer answer = RunProbe(folder + L"\\\u8868.exe", base + L"\\path.txt");  // 表.exe
    ASSERT_EQ(answer.exitCode, 0);
    const std::string settings = answer.written;
    ASSERT_EQ(settings, Ansi(base) + "\\\x83\x5C\\Jnx.ini");

    // The profile functions take the path as it is.
    WriteIni(test::TestModel(), settings);
    SettingsModel loaded;
    ReadIni(loaded, settings);
    EXPECT_EQ(loaded, test::TestModel());
}

// The longest path is the file's, whatever its characters, and saves reach it: a save's
// copy beside the file, with a longer name, too.
TEST(SettingsPath, LongestPathReachesTheFile) {
    for (const std::wstring& last : {std::wstring(L"x"), std::wstring(L"\u30BD\u8868")}) {  // ソ表
        SCOPED_TRACE(Ansi(last));
        test::TempDir dir;
        const std::wstring base = LongPath(dir.path().wstring());
        const std::wstring folder = FolderOfLength(base, LongestWindowsSettingsPath(), last);
        ASSERT_TRUE(MakeFolders(folder));

        const ProbeAnswer answer = RunProbe(folder + L"\\JnxEnv.exe", base + L"\\path.txt");
        ASSERT_EQ(answer.exitCode, 0);
        const std::string settings = answer.written;
        ASSERT_EQ(settings, Ansi(folder) + "\\Jnx.ini");
        ASSERT_EQ(settings.size(), LongestWindowsSettingsPath());

        // A first save makes the file, a second writes into the file that is there.
        SettingsModel changed = test::TestModel();
        WriteIni(changed, settings);
        changed.patFolder = "C:\\other\\";
        WriteIni(changed, settings);
        SettingsModel loaded;
        ReadIni(loaded, settings);
        EXPECT_EQ(loaded, changed);
        EXPECT_EQ(test::ListFolder(std::filesystem::path(folder)), "Jnx.ini\nJnxEnv.exe\n");
    }
}

// Folders the profile functions cannot reach. The ANSI names the system itself gives are a
// path to no file ("?") or to another one ("Cafe", "a\b"); at a path too long the profile
// functions read nothing and write nowhere, telling of success. The program names the file
// by its own name as unreadable, in the message by what the code page has of it. (A program
// at a path past MAX_PATH does not start from another here; the end-to-end test starts one.)
TEST(SettingsPath, FolderTheProfileFunctionsCannotReach) {
    const struct {
        const char* name;
        std::wstring last;       // the folder's name, at the path's end
        std::wstring inMessage;  // how the message's bytes give it
        std::size_t bytes;       // the path's length in bytes, 0 for as it comes
    } cases[] = {
        {"e with acute, best fit e", L"Caf\u00E9", L"Caf?", 0},
        {"yen sign, best fit backslash", L"a\u00A5b", L"a?b", 0},
        {"one byte longer than the longest", L"x", L"x", LongestWindowsSettingsPath() + 1},
        {"ending in trail byte backslashes, one byte longer", L"\u30BD\u8868", L"\u30BD\u8868",
         LongestWindowsSettingsPath() + 1},
        // Fewer UTF-16 units than MAX_PATH, more bytes in the code page.
        {"past MAX_PATH in bytes only", std::wstring(80, L'\u8868'), std::wstring(80, L'\u8868'),
         300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::wstring base = LongPath(dir.path().wstring());
        const std::wstring folder =
            c.bytes == 0 ? base + L"\\" + c.last : FolderOfLength(base, c.bytes, c.last);
        ASSERT_TRUE(MakeFolders(folder));

        const ProbeAnswer answer = RunProbe(folder + L"\\JnxEnv.exe", base + L"\\path.txt");
        ASSERT_EQ(answer.exitCode, 3) << answer.written;
        const std::size_t lineEnd = answer.written.find('\n');
        ASSERT_NE(lineEnd, std::string::npos);
        const std::wstring inMessage =
            folder.substr(0, folder.size() - c.last.size()) + c.inMessage;
        EXPECT_EQ(answer.written.substr(0, lineEnd),
                  Ansi(inMessage) + "\\Jnx.ini" + test::kCannotRead);
        const std::string units = answer.written.substr(lineEnd + 1);
        const std::wstring path = folder + L"\\Jnx.ini";
        ASSERT_EQ(units.size(), path.size() * 2);
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(units.data()), path.size()), path);
    }
}

}  // namespace
}  // namespace jnx
