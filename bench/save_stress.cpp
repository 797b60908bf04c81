// Saves beside a tool that keeps rewriting the settings file, as the betting tool does: it
// reads the file, changes its own keys and writes the whole file back in place (emptied,
// then written; with --pieces in pieces of 4 KB). The editor's saves run meanwhile, each
// with one value the user changed. Reports the half-written files a save kept, the tool's
// writes a save undid, the user's edits lost, the saves that gave up, and how long the
// saves took.
//
//   save_stress [--pieces] [saves] [tool period in ms]

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "settings_model.h"
#include "settings_sync.h"
#include "tables.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Shared {
    std::atomic<long> toolWrites{0};
    std::atomic<long> undone{0};  // tool writes found reverted at its next read
    std::atomic<bool> stop{false};
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string JnxSample() {
    static const std::string sample = ReadAll(JNX_SAMPLE_SETTINGS);
    return sample;
}

// The tool's counter in the file: its [Main] LastRun; -1 when the file lacks it.
long ToolCounter(const std::string& bytes) {
    jnx::ProfileDocument document(bytes);
    const std::optional<std::string> value = document.find("Main", "LastRun");
    if (!value || value->empty()) {
        return -1;
    }
    return std::strtol(value->c_str(), nullptr, 10);
}

// Writes in place: the file emptied, then written whole or in pieces.
void WriteInPlace(const std::string& path, const std::string& bytes, std::size_t piece) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::size_t size = std::min(piece, bytes.size() - at);
        if (::write(fd, bytes.data() + at, size) != static_cast<ssize_t>(size)) {
            break;
        }
        if (piece < bytes.size()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    ::close(fd);
}

// The tool: every `period` it reads the file, sets its counter and the latest bet of every
// group, and writes the file back in place.
[[noreturn]] void RunTool(const std::string& path, Shared& shared, std::chrono::milliseconds period,
                          std::size_t piece) {
    long last = -1;
    for (long n = 1; !shared.stop; ++n) {
        const std::string bytes = ReadAll(path);
        const long seen = ToolCounter(bytes);
        if (last >= 0 && seen >= 0 && seen < last) {
            ++shared.undone;
        }
        jnx::ProfileDocument document(bytes);
        // The tool keeps its whole state: a file a save cut short gets its sections back,
        // so that every kept half-written file counts once.
        if (!document.find("Main", "Version")) {
            document = jnx::ProfileDocument(JnxSample());
        }
        document.write("Main", "LastRun", std::to_string(n));
        for (std::size_t g = 0; g < jnx::kGroupCount; ++g) {
            document.write(jnx::GroupSection(g), "Bet", std::to_string(n));
        }
        WriteInPlace(path, document.bytes(), piece == 0 ? bytes.size() + 64 : piece);
        last = n;
        ++shared.toolWrites;
        std::this_thread::sleep_for(period);
    }
    ::_exit(0);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    bool pieces = false;
    std::vector<std::string> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pieces") {
            pieces = true;
        } else {
            numbers.push_back(arg);
        }
    }
    const int saves = numbers.size() > 0 ? std::stoi(numbers[0]) : 200;
    const auto period = std::chrono::milliseconds(numbers.size() > 1 ? std::stoi(numbers[1]) : 30);

    const fs::path folder =
        fs::temp_directory_path() / ("jnx-stress-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "Jnx.ini").string();
    std::string sample = ReadAll(JNX_SAMPLE_SETTINGS);
    {
        jnx::ProfileDocument document(sample);
        document.write("Main", "LastRun", "0");
        std::ofstream(path, std::ios::binary) << document.bytes();
    }

    // The editor's load comes before the tool starts: the saves are what is measured, and a
    // load does not wait for a file the tool is halfway through writing.
    jnx::SettingsModel model;
    jnx::SettingsSync sync(model);
    sync.load(path);

    auto* shared = static_cast<Shared*>(
        ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (shared) Shared;
    const pid_t tool = ::fork();
    if (tool == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // ends with the saves, however they end
        RunTool(path, *shared, period, pieces ? 4096 : 0);
    }

    // What each save put in place, looked at just before it took the file's place.
    bool lastTemporaryWhole = true;
    jnx::ProfileFile::setReplaceHookForTesting([&](const std::string& temporary) {
        jnx::ProfileDocument document(ReadAll(temporary));
        lastTemporaryWhole = document.find("Main", "Version").has_value();
        return true;
    });

    std::mt19937 random(42);
    int halfWritten = 0;
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
            if (!lastTemporaryWhole) {
                ++halfWritten;
            }
            jnx::ProfileDocument now(ReadAll(path));
            const auto saved = now.find(jnx::GroupSection(g), "MinOdd");
            if (saved && *saved != value && now.find("Main", "Version")) {
                ++lostEdits;
            }
        } catch (const jnx::WriteError&) {
            ++gaveUp;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
    }
    shared->stop = true;
    ::waitpid(tool, nullptr, 0);
    fs::remove_all(folder);

    std::cout << std::fixed << std::setprecision(1) << "tool rewriting every " << period.count()
              << " ms " << (pieces ? "in 4 KB pieces" : "in one write") << ", " << saves
              << " saves, " << shared->toolWrites << " tool writes\n"
              << "half-written files kept: " << halfWritten << "\n"
              << "tool writes undone: " << shared->undone << " (" << shared->undone * 37
              << " values)\n"
              << "user edits lost: " << lostEdits << "\n"
              << "saves that gave up: " << gaveUp << "\n"
              << "save time ms: median " << Percentile(times, 0.5) << ", 95% "
              << Percentile(times, 0.95) << ", max " << Percentile(times, 1.0) << "\n";
    return halfWritten == 0 ? 0 : 1;
}
