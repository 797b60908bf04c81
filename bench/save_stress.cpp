// Saves beside a tool that keeps rewriting the settings file, as the betting tool does: it
// reads the file, changes its own keys and writes the whole file back in place. The
// editor's saves run meanwhile, each with one value the user changed. The tool writes in
// one of these ways:
//
//   (no flag)            emptied, then written in one write;
//   --pieces             emptied, then written in pieces of 4 KB;
//   --pause-after-empty  as --pieces, but one write in ten stalls 300-800 ms between
//                        emptying the file and writing its first byte;
//   --pause-after-4k     as --pieces, the first piece cut at the last line end within the
//                        first 4 KB, and one write in ten stalls 300-800 ms after it;
//   --hold-open          opened for reading and writing, read through that descriptor,
//                        held open 5-100 ms (the way a profile function reads, changes one
//                        key and writes), then written back through it from the start and
//                        cut to its new length.
//
// The tool counts its own sequence in [Main] LastRun and [Group3] Seq. At every read it
// checks that the file is whole (it has [Main] Version, the sample's sections and ends as
// the sample does) and that its last write is still there (both counters at least what it
// wrote last). After every write it looks at its descriptor: a file with no name left is
// one a save had already replaced, and what the tool wrote into it is gone.
//
// Reports the half-written files a save kept (the file a save put in place, looked at just
// before its rename, or the file read right after the save while the tool was not writing,
// that lacks [Main] Version, a section or the sample's end), the half-written files the
// tool saw, the tool's writes that were undone, the user's edits lost, the saves that gave
// up and how long the saves took. Exits non-zero when a save kept a half-written file, the
// tool saw one, or a tool write was undone.
//
//   save_stress [--pieces | --pause-after-empty | --pause-after-4k | --hold-open]
//               [saves] [tool period in ms]
//
// Saves default to 200 for a tool writing without stalls, 300 for the others.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
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
using std::chrono::milliseconds;

constexpr std::size_t kPiece = 4096;
// The group whose section holds the tool's second counter.
constexpr std::size_t kSeqGroup = 3;
// The values one tool write sets: LastRun, Seq and every group's Bet.
constexpr long kValuesPerToolWrite = 2 + static_cast<long>(jnx::kGroupCount);

enum class Mode { OneWrite, Pieces, PauseAfterEmpty, PauseAfter4K, HoldOpen };

struct Shared {
    std::atomic<long> toolWrites{0};
    std::atomic<long> paused{0};        // tool writes that stalled halfway
    std::atomic<long> undone{0};        // tool writes gone: reverted, cut off, or replaced
    std::atomic<long> intoReplaced{0};  // of those, writes into a file a save had replaced
    std::atomic<long> halfSeen{0};      // half-written files the tool read
    // Odd while the tool is changing the file: a read that sees the same even number before
    // and after saw no write of the tool's in progress.
    std::atomic<long> writing{0};
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

// The names of the file's sections, sorted, as the profile reader sees its header lines.
std::vector<std::string> SectionNames(std::string_view bytes) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", at);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        std::string_view line = bytes.substr(at, end - at);
        const std::size_t first = line.find_first_not_of(" \t\v\f\x1a");
        if (first != std::string_view::npos && line[first] == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > first) {
                names.emplace_back(line.substr(first + 1, close - first - 1));
            }
        }
        at = end + 1;
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The sample's last line with its line break: nobody writes into the last section, so a
// whole file ends with it.
std::string SampleTail() {
    const std::string& sample = JnxSample();
    std::size_t end = sample.find_last_not_of("\r\n");
    end = end == std::string::npos ? 0 : end;
    const std::size_t start = sample.rfind('\n', end);
    return sample.substr(start == std::string::npos ? 0 : start + 1);
}

// Whether the file holds all the sample does: [Main] Version, the same sections, the same end.
bool IsWhole(const std::string& bytes) {
    static const std::vector<std::string> sections = SectionNames(JnxSample());
    static const std::string tail = SampleTail();
    jnx::ProfileDocument document(bytes);
    return document.find("Main", "Version").has_value() && SectionNames(bytes) == sections &&
           bytes.size() >= tail.size() &&
           bytes.compare(bytes.size() - tail.size(), tail.size(), tail) == 0;
}

// The tool's counter in the file: the lower of [Main] LastRun and [Group3] Seq; -1 when
// the file lacks either.
long ToolCounter(const std::string& bytes) {
    jnx::ProfileDocument document(bytes);
    const std::optional<std::string> lastRun = document.find("Main", "LastRun");
    const std::optional<std::string> seq = document.find(jnx::GroupSection(kSeqGroup), "Seq");
    if (!lastRun || lastRun->empty() || !seq || seq->empty()) {
        return -1;
    }
    return std::min(std::strtol(lastRun->c_str(), nullptr, 10),
                    std::strtol(seq->c_str(), nullptr, 10));
}

// Where a tool write went.
enum class Landing {
    NotMade,   // the file could not be opened
    InFile,    // into the settings file
    Replaced,  // into a file that had lost its name to a save's rename before the write ended
};

bool WriteFully(int fd, const char* data, std::size_t size, off_t at = -1) {
    while (size > 0) {
        const ssize_t n = at < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        if (at >= 0) {
            at += n;
        }
    }
    return true;
}

Landing LandingOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_nlink == 0 ? Landing::Replaced : Landing::InFile;
}

// Writes in place: the file emptied, then written whole or in pieces, with the stall, if
// any, after the emptying or after the first piece.
Landing WriteInPlace(const std::string& path, const std::string& bytes, Mode mode,
                     std::optional<milliseconds> stall) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return Landing::NotMade;
    }
    std::size_t first = mode == Mode::OneWrite ? bytes.size() : std::min(kPiece, bytes.size());
    if (mode == Mode::PauseAfter4K) {
        const std::size_t lineEnd = std::string_view(bytes).substr(0, first).rfind('\n');
        if (lineEnd != std::string_view::npos) {
            first = lineEnd + 1;
        }
    }
    if (stall && mode == Mode::PauseAfterEmpty) {
        std::this_thread::sleep_for(*stall);
    }
    bool written = WriteFully(fd, bytes.data(), first);
    if (stall && mode == Mode::PauseAfter4K) {
        std::this_thread::sleep_for(*stall);
    }
    for (std::size_t at = first; written && at < bytes.size(); at += kPiece) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const std::size_t size = std::min(kPiece, bytes.size() - at);
        written = WriteFully(fd, bytes.data() + at, size);
    }
    const Landing landing = LandingOf(fd);
    ::close(fd);
    return landing;
}

// The whole file through a descriptor already open, from its start.
bool ReadOpened(int fd, std::string& bytes) {
    bytes.clear();
    char buffer[8192];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

// The tool: every `period` it reads the file, sets its counters and the latest bet of every
// group, and writes the file back in place.
[[noreturn]] void RunTool(const std::string& path, Shared& shared, milliseconds period, Mode mode) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> stallMs(300, 800);
    std::uniform_int_distribution<int> holdMs(5, 100);
    // The counter of the tool's last write that is still to be found in the file; -1 when
    // there is none to look for.
    long last = -1;
    for (long n = 1; !shared.stop; ++n) {
        int fd = -1;
        std::string bytes;
        if (mode == Mode::HoldOpen) {
            fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0 || !ReadOpened(fd, bytes)) {
                if (fd >= 0) {
                    ::close(fd);
                }
                std::this_thread::sleep_for(period);
                continue;
            }
        } else {
            bytes = ReadAll(path);
        }

        const bool whole = IsWhole(bytes);
        if (!whole) {
            ++shared.halfSeen;
        }
        if (last >= 0 && ToolCounter(bytes) < last) {
            ++shared.undone;
        }

        // The tool keeps its whole state: a file a save cut short gets its sections back,
        // so that every kept half-written file counts once.
        jnx::ProfileDocument document(whole ? bytes : JnxSample());
        document.write("Main", "LastRun", std::to_string(n));
        document.write(jnx::GroupSection(kSeqGroup), "Seq", std::to_string(n));
        for (std::size_t g = 0; g < jnx::kGroupCount; ++g) {
            document.write(jnx::GroupSection(g), "Bet", std::to_string(n));
        }
        const std::string out = document.bytes();

        Landing landing = Landing::NotMade;
        if (mode == Mode::HoldOpen) {
            std::this_thread::sleep_for(milliseconds(holdMs(random)));
            ++shared.writing;
            if (WriteFully(fd, out.data(), out.size(), 0) &&
                ::ftruncate(fd, static_cast<off_t>(out.size())) == 0) {
                landing = LandingOf(fd);
            }
            ::close(fd);
            ++shared.writing;
        } else {
            std::optional<milliseconds> stall;
            if ((mode == Mode::PauseAfterEmpty || mode == Mode::PauseAfter4K) &&
                random() % 10 == 0) {
                stall = milliseconds(stallMs(random));
                ++shared.paused;
            }
            ++shared.writing;
            landing = WriteInPlace(path, out, mode, stall);
            ++shared.writing;
        }

        switch (landing) {
            case Landing::NotMade:
                break;
            case Landing::InFile:
                last = n;
                ++shared.toolWrites;
                break;
            case Landing::Replaced:
                // Gone already: the next read has nothing of this write's to look for.
                last = -1;
                ++shared.toolWrites;
                ++shared.undone;
                ++shared.intoReplaced;
                break;
        }
        std::this_thread::sleep_for(period);
    }
    ::_exit(0);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

const char* Describe(Mode mode) {
    switch (mode) {
        case Mode::OneWrite:
            return "in one write";
        case Mode::Pieces:
            return "in 4 KB pieces";
        case Mode::PauseAfterEmpty:
            return "in 4 KB pieces, one write in ten stalled 300-800 ms after emptying";
        case Mode::PauseAfter4K:
            return "in 4 KB pieces, one write in ten stalled 300-800 ms after the first piece";
        case Mode::HoldOpen:
            return "through a descriptor held open 5-100 ms from its read";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Mode> chosen;
    std::vector<std::string> numbers;
    bool understood = true;
    for (int i = 1; i < argc && understood; ++i) {
        const std::string arg = argv[i];
        std::optional<Mode> flag;
        if (arg == "--pieces") {
            flag = Mode::Pieces;
        } else if (arg == "--pause-after-empty") {
            flag = Mode::PauseAfterEmpty;
        } else if (arg == "--pause-after-4k") {
            flag = Mode::PauseAfter4K;
        } else if (arg == "--hold-open") {
            flag = Mode::HoldOpen;
        } else if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos) {
            numbers.push_back(arg);
            continue;
        }
        understood = flag && (!chosen || *chosen == *flag);
        chosen = flag;
    }
    if (!understood || numbers.size() > 2) {
        std::cerr << "usage: save_stress [--pieces | --pause-after-empty | --pause-after-4k |"
                     " --hold-open] [saves] [tool period in ms]\n";
        return 2;
    }
    const Mode mode = chosen.value_or(Mode::OneWrite);
    const bool stalls = mode != Mode::OneWrite && mode != Mode::Pieces;
    const int saves = !numbers.empty() ? std::stoi(numbers[0]) : (stalls ? 300 : 200);
    const auto period = milliseconds(numbers.size() > 1 ? std::stoi(numbers[1]) : 30);
    if (saves < 1) {
        std::cerr << "save_stress: at least one save\n";
        return 2;
    }

    const fs::path folder =
        fs::temp_directory_path() / ("jnx-stress-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "Jnx.ini").string();
    {
        jnx::ProfileDocument document(JnxSample());
        document.write("Main", "LastRun", "0");
        document.write(jnx::GroupSection(kSeqGroup), "Seq", "0");
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
        RunTool(path, *shared, period, mode);
    }

    // What each save put in place, looked at just before it took the file's place; the
    // last file looked at in a save that succeeded is the one renamed.
    bool temporaryWhole = true;
    jnx::ProfileFile::setReplaceHookForTesting([&](const std::string& temporary) {
        temporaryWhole = IsWhole(ReadAll(temporary));
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
        temporaryWhole = true;
        const Clock::time_point start = Clock::now();
        try {
            sync.save(path);
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            // The file as the save left it: read while the tool was not writing, a file that
            // is not whole can only be one a save put there.
            const long before = shared->writing;
            const std::string bytes = ReadAll(path);
            const bool settled = before % 2 == 0 && shared->writing == before;
            if (!temporaryWhole || (settled && !IsWhole(bytes))) {
                ++halfWritten;
            }
            jnx::ProfileDocument now(bytes);
            const auto saved = now.find(jnx::GroupSection(g), "MinOdd");
            if (saved && *saved != value && now.find("Main", "Version")) {
                ++lostEdits;
            }
        } catch (const jnx::WriteError&) {
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            ++gaveUp;
        }
        std::this_thread::sleep_for(milliseconds(random() % 40));
    }
    shared->stop = true;
    ::waitpid(tool, nullptr, 0);
    jnx::ProfileFile::setReplaceHookForTesting({});
    fs::remove_all(folder);

    const long undone = shared->undone;
    std::cout << std::fixed << std::setprecision(1) << "tool rewriting every " << period.count()
              << " ms " << Describe(mode) << ", " << saves << " saves, " << shared->toolWrites
              << " tool writes";
    if (mode == Mode::PauseAfterEmpty || mode == Mode::PauseAfter4K) {
        std::cout << " (" << shared->paused << " stalled)";
    }
    std::cout << "\n"
              << "half-written files kept: " << halfWritten << "\n"
              << "half-written files seen by the tool: " << shared->halfSeen << "\n"
              << "tool writes undone: " << undone << " (" << undone * kValuesPerToolWrite
              << " values; " << shared->intoReplaced << " into a file a save had replaced)\n"
              << "user edits lost: " << lostEdits << "\n"
              << "saves that gave up: " << gaveUp << "\n"
              << "save time ms: median " << Percentile(times, 0.5) << ", 95% "
              << Percentile(times, 0.95) << ", max " << Percentile(times, 1.0) << "\n";
    return halfWritten == 0 && shared->halfSeen == 0 && undone == 0 ? 0 : 1;
}
