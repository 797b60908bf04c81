// Saves beside the betting tool on Windows: the tool's stand-in (profile_tool.exe, beside
// this program) writes [Main] LastRun through WritePrivateProfileStringA every TOOL PERIOD,
// while the editor's saves run through its own save path (SettingsSync::save), each with
// one value the user changed. Run on Wine in code page 932 by bench/save_stress_wine.sh.
//
// Reports the tool's writes, the writes the profile functions refused it (someone held the
// file), the tool's writes a save undid (a number the tool wrote that was gone from the
// file at its next look, with no write of its own in between), the user's edits lost (a
// save that ended without error, after which the file does not hold the user's value), the
// saves that gave up and how long the saves took. Exits 1 when a tool write was undone or
// an edit lost.
//
//   save_stress_win [SAVES] [TOOL PERIOD IN MS] [FOLDER]
//
// SAVES defaults to 40, the period to 30 ms; FOLDER (made if missing, in the system's code
// page) to a fresh folder under the temporary folder. Jnx.ini is made there from the sample.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "settings_model.h"
#include "settings_sync.h"
#include "tables.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The file once it is whole: the tool empties it and writes it again, and a read in between
// sees it cut short. Given as it is after a second.
std::string ReadWhole(const std::string& path) {
    std::string bytes;
    for (int attempt = 0; attempt < 500; ++attempt) {
        bytes = ReadAll(path);
        if (!bytes.empty() && bytes.back() == '\n' &&
            jnx::ProfileDocument(bytes).find("Main", "Version")) {
            break;
        }
        Sleep(2);
    }
    return bytes;
}

std::string Folder(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

std::string ThisFolder() {
    char name[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, name, MAX_PATH);
    return Folder(name);
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

long LastRun(const std::string& bytes) {
    const std::optional<std::string> value = jnx::ProfileDocument(bytes).find("Main", "LastRun");
    return value && !value->empty() ? std::strtol(value->c_str(), nullptr, 10) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int saves = argc > 1 ? std::atoi(argv[1]) : 40;
    const long period = argc > 2 ? std::atol(argv[2]) : 30;
    if (saves < 1 || period < 0 || argc > 4) {
        std::cerr << "usage: save_stress_win [SAVES] [TOOL PERIOD IN MS] [FOLDER]\n";
        return 2;
    }
    std::string folder;
    if (argc > 3) {
        folder = argv[3];
    } else {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "jnx-stress-" + std::to_string(GetCurrentProcessId());
    }
    CreateDirectoryA(folder.c_str(), nullptr);
    if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    const std::string path = folder + "Jnx.ini";
    const std::string stop = folder + "stop";
    const std::string stats = folder + "tool-stats.txt";
    DeleteFileA(stop.c_str());
    DeleteFileA(stats.c_str());
    {
        jnx::ProfileDocument document(ReadAll(JNX_SAMPLE_SETTINGS));
        document.write("Main", "LastRun", "0");
        std::ofstream(path, std::ios::binary) << document.bytes();
    }

    // The editor's load comes before the tool starts: the saves are what is measured.
    jnx::SettingsModel model;
    jnx::SettingsSync sync(model);
    sync.load(path);

    std::string command = "\"" + ThisFolder();
    command += "profile_tool.exe\" \"";
    command += path;
    command += "\" " + std::to_string(period) + " \"";
    command += stop;
    command += "\" \"";
    command += stats;
    command += "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION tool{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &tool)) {
        std::cerr << "save_stress_win: cannot start " << command << "\n";
        return 1;
    }
    // The saves start once the tool writes.
    for (int i = 0; i < 1000 && LastRun(ReadAll(path)) < 1; ++i) {
        Sleep(10);
    }

    std::mt19937 random(42);
    int gaveUp = 0;
    int lostEdits = 0;
    std::vector<double> times;
    for (int i = 0; i < saves; ++i) {
        const std::size_t g = static_cast<std::size_t>(i) % jnx::kGroupCount;
        const std::string value = "9." + std::to_string(i);
        model.group(g).fields[jnx::kMinOddField] = value;
        const Clock::time_point start = Clock::now();
        try {
            sync.save(path);
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            // Only a write of the user's own key could put another value there.
            const auto saved =
                jnx::ProfileDocument(ReadWhole(path)).find(jnx::GroupSection(g), "MinOdd");
            if (!saved || *saved != value) {
                ++lostEdits;
            }
        } catch (const jnx::WriteError&) {
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            ++gaveUp;
        }
        Sleep(static_cast<DWORD>(random() % 40));
    }
    std::ofstream(stop, std::ios::binary) << "stop\n";
    WaitForSingleObject(tool.hProcess, INFINITE);
    DWORD toolStatus = 0;
    GetExitCodeProcess(tool.hProcess, &toolStatus);
    CloseHandle(tool.hProcess);
    CloseHandle(tool.hThread);
    const std::string toolReport = ReadAll(stats);
    long writes = 0;
    long refused = 0;
    long undone = 0;
    const bool understood = std::sscanf(toolReport.c_str(), "writes=%ld refused=%ld undone=%ld",
                                        &writes, &refused, &undone) == 3;
    if (argc <= 3) {
        for (const char* name : {path.c_str(), stop.c_str(), stats.c_str()}) {
            DeleteFileA(name);
        }
        RemoveDirectoryA(folder.c_str());
    }
    if (toolStatus != 0 || !understood) {
        std::cerr << "save_stress_win: the tool failed (status " << toolStatus
                  << "): " << toolReport << "\n";
        return 1;
    }

    std::cout << std::fixed << std::setprecision(1) << "tool writing [Main] LastRun through"
              << " WritePrivateProfileStringA every " << period << " ms, " << saves << " saves, "
              << writes << " tool writes\n"
              << "tool writes undone: " << undone << "\n"
              << "tool writes refused: " << refused << "\n"
              << "user edits lost: " << lostEdits << "\n"
              << "saves that gave up: " << gaveUp << "\n"
              << "save time ms: median " << Percentile(times, 0.5) << ", 95% "
              << Percentile(times, 0.95) << ", max " << Percentile(times, 1.0) << "\n";
    const std::size_t list = toolReport.find('\n');
    if (list != std::string::npos && list + 1 < toolReport.size()) {
        std::cout << toolReport.substr(list + 1);
    }
    return undone == 0 && lostEdits == 0 ? 0 : 1;
}
