// Load and save of the settings file (a load, one value changed and a save, as the editor
// runs them: the save writes what the user changed into the file as it is) against its floor: the
// bare file calls any such save needs, with no parsing at all. Each runs on the sample file, on the
// sample padded to about 1 MB with keys of other programs, on the sample with 2,500, 10,000 or
// 40,000 sections of another program ahead of its own and on the sample with 80,000 keys of another
// program in one of its sections; the output ends with the ratio of the two for each file.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "profile_file.h"
#include "settings_file.h"
#include "settings_model.h"
#include "settings_sync.h"
#include "tables.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void FailWithErrno(const std::string& what, int error = errno) {
    throw std::system_error(error, std::generic_category(), what);
}

// Reads a whole file the way the save reads it: open, fstat, read to the end, close.
std::string ReadAll(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        FailWithErrno("open " + path);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        FailWithErrno("fstat " + path, error);
    }
    std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t size = 0;
    for (;;) {
        const ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            FailWithErrno("read " + path, error);
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
        if (size == bytes.size()) {
            bytes.resize(size * 2);
        }
    }
    ::close(fd);
    bytes.resize(size);
    return bytes;
}

// Writes `bytes` to a file that must not exist yet and flushes it to disk.
void WriteNewFileSynced(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        FailWithErrno("open " + path);
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            const int error = errno;
            ::close(fd);
            FailWithErrno("write " + path, error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        FailWithErrno("fsync " + path);
    }
}

// --- the padded settings file -------------------------------------------------------

constexpr std::string_view kYen = "\x89\x7E";                   // 円
constexpr std::string_view kHit = "\x93\x49\x92\x86";           // 的中
constexpr std::string_view kMiss = "\x95\x73\x93\x49\x92\x86";  // 不的中
constexpr int kPaddingLines = 20000;
constexpr int kLinesPerGroup = 100;  // the rest goes to [Log]

// The number with leading zeros to `width` digits.
std::string Padded(int number, std::size_t width) {
    const std::string digits = std::to_string(number);
    return std::string(width - std::min(width, digits.size()), '0') + digits;
}

// One bet as the betting tool logs it, e.g. "2026/12/06 東京11R 馬連 3-7 1200円 的中".
std::string BetRecord(int n) {
    std::string line = "2026/" + Padded(n % 12 + 1, 2) + "/" + Padded(n % 28 + 1, 2) + " ";
    line.append(jnx::CourseCode[static_cast<std::size_t>(n) % jnx::CourseCode.size()]);
    line.append(std::to_string(n % 12 + 1)).append("R ");
    line.append(jnx::BetTypeCode[static_cast<std::size_t>(n) % jnx::BetTypeCode.size()].name);
    line.append(" ").append(std::to_string(n % 8 + 1)).append("-");
    line.append(std::to_string(n % 8 + 9)).append(" ");
    line.append(std::to_string((n * 37 % 50 + 1) * 100)).append(kYen).append(" ");
    line.append(n % 3 == 0 ? kHit : kMiss);
    return line;
}

// The sample with kLinesPerGroup "RecordNNN=" lines at the end of every group section and
// the rest of kPaddingLines as "EntryNNNNN=" lines in a [Log] section at the end.
std::string PadSample(const std::string& sample) {
    constexpr std::string_view kBreak = "\r\n";
    std::string out;
    out.reserve(sample.size() + static_cast<std::size_t>(kPaddingLines) * 56);
    std::string blanks;  // blank lines held back so that padding goes before them
    bool inGroup = false;
    int written = 0;
    const auto padGroup = [&] {
        for (int i = 1; i <= kLinesPerGroup; ++i, ++written) {
            out.append("Record").append(Padded(i, 3)).append("=").append(BetRecord(written));
            out.append(kBreak);
        }
    };
    for (std::size_t pos = 0; pos < sample.size();) {
        std::size_t end = sample.find(kBreak, pos);
        end = end == std::string::npos ? sample.size() : end + kBreak.size();
        const std::string_view line = std::string_view(sample).substr(pos, end - pos);
        pos = end;
        if (line == kBreak) {
            blanks.append(line);
            continue;
        }
        if (line.front() == '[') {
            if (inGroup) {
                padGroup();
            }
            inGroup = line.starts_with("[Group");
        }
        out.append(blanks).append(line);
        blanks.clear();
    }
    if (inGroup) {
        padGroup();
    }
    out.append(blanks);
    out.append("[Log]").append(kBreak);
    for (int n = 1; written < kPaddingLines; ++n, ++written) {
        out.append("Entry").append(Padded(n, 5)).append("=").append(BetRecord(written));
        out.append(kBreak);
    }
    return out;
}

// --- the files the benchmarks work on -----------------------------------------------

enum class Fixture { Sample, Padded };

// A temporary folder holding a copy of the sample and the padded sample, each in its
// own folder as "Jnx.ini"; removed at exit.
class BenchFiles {
public:
    BenchFiles() {
        std::string pattern = (fs::temp_directory_path() / "jnx-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            FailWithErrno("mkdtemp");
        }
        folder_ = pattern;
        const std::string sample = ReadAll(JNX_SAMPLE_SETTINGS);
        sample_ = Create("sample", sample);
        padded_ = Create("padded", PadSample(sample));
    }
    ~BenchFiles() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    BenchFiles(const BenchFiles&) = delete;
    BenchFiles& operator=(const BenchFiles&) = delete;
    BenchFiles(BenchFiles&&) = delete;
    BenchFiles& operator=(BenchFiles&&) = delete;

    [[nodiscard]] const std::string& path(Fixture fixture) const {
        return fixture == Fixture::Sample ? sample_ : padded_;
    }

private:
    [[nodiscard]] std::string Create(const std::string& name, std::string_view bytes) const {
        const fs::path folder = folder_ / name;
        fs::create_directory(folder);
        std::string path = (folder / "Jnx.ini").string();
        WriteNewFileSynced(path, bytes);
        // One load and save first: it rewrites the values the editor normalises (an
        // "Active=true" becomes "False"), so that every timed save writes the same bytes.
        jnx::SettingsModel model;
        jnx::ReadIni(model, path);
        jnx::WriteIni(model, path);
        return path;
    }

    fs::path folder_;
    std::string sample_;
    std::string padded_;
};

const BenchFiles& Files() {
    static const BenchFiles files;
    return files;
}

// Counts the file replacements the save makes while it is alive.
class ReplacementCounter {
public:
    ReplacementCounter() {
        jnx::ProfileFile::setReplaceHookForTesting([this](const std::string&) {
            ++count_;
            return true;
        });
    }
    ~ReplacementCounter() { jnx::ProfileFile::setReplaceHookForTesting({}); }
    ReplacementCounter(const ReplacementCounter&) = delete;
    ReplacementCounter& operator=(const ReplacementCounter&) = delete;
    ReplacementCounter(ReplacementCounter&&) = delete;
    ReplacementCounter& operator=(ReplacementCounter&&) = delete;

    [[nodiscard]] long count() const { return count_; }

private:
    long count_ = 0;
};

// --- benchmarks ---------------------------------------------------------------------

// A load of the file, one value changed as a user would, and the save, as the editor runs
// them. The value goes back and forth between two texts of one length, so that every
// save replaces the file and the file keeps its size.
void LoadEditSave(jnx::SettingsModel& model, jnx::SettingsSync& sync, const std::string& path) {
    sync.load(path);
    std::string& total = model.group(0).fields[jnx::kTotalField];
    total = total == "1" ? "2" : "1";
    sync.save(path);
}

void TimeLoadSave(benchmark::State& state, const std::string& path) {
    jnx::SettingsModel model;
    jnx::SettingsSync sync(model);
    for ([[maybe_unused]] auto _ : state) {
        LoadEditSave(model, sync, path);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(path)));
}

// The same bytes read, written to a new file in the same folder, flushed to disk and
// renamed over the original, as the save does; only the folder's own fsync after the
// rename is left out.
void TimeFloor(benchmark::State& state, const std::string& path) {
    const std::string temporary = path + ".floor";
    for ([[maybe_unused]] auto _ : state) {
        const std::string bytes = ReadAll(path);
        WriteNewFileSynced(temporary, bytes);
        if (::rename(temporary.c_str(), path.c_str()) != 0) {
            state.SkipWithError("rename failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(path)));
}

void BM_LoadSave(benchmark::State& state, Fixture fixture) {
    const ReplacementCounter replacements;
    TimeLoadSave(state, Files().path(fixture));
    // A save replaces the file exactly once: this must read 1.
    state.counters["files_written"] = benchmark::Counter(static_cast<double>(replacements.count()),
                                                         benchmark::Counter::kAvgIterations);
}

void BM_Floor(benchmark::State& state, Fixture fixture) {
    TimeFloor(state, Files().path(fixture));
}

// Wall-clock time: most of a save is spent waiting for the disk.
void Timed(benchmark::internal::Benchmark* bench) {
    bench->Unit(benchmark::kMicrosecond)->UseRealTime();
}

// --- files of other shapes ----------------------------------------------------------

// The sample grown by sections of other programs or by keys in one of its sections: the
// load and save must cost the same per megabyte however the file grows.
enum class Shape { Sections2500, Sections10000, Sections40000, Keys80000 };

constexpr std::array<Shape, 4> kShapes = {Shape::Sections2500, Shape::Sections10000,
                                          Shape::Sections40000, Shape::Keys80000};

// The name of a shape as its benchmarks are registered ("BM_ShapeLoadSave/sections_2500").
const char* ShapeName(Shape shape) {
    switch (shape) {
        case Shape::Sections2500:
            return "sections_2500";
        case Shape::Sections10000:
            return "sections_10000";
        case Shape::Sections40000:
            return "sections_40000";
        case Shape::Keys80000:
            return "keys_80000";
    }
    return "";
}

// The sample with `count` sections of another program ahead of its own ("[Bet00001]"
// with one "Record=" line each), so that a look-up walking the sections from the top
// would pass every one of them before the settings' own.
std::string WithSections(const std::string& sample, int count) {
    std::string out;
    out.reserve(sample.size() + static_cast<std::size_t>(count) * 64);
    for (int n = 1; n <= count; ++n) {
        out.append("[Bet").append(Padded(n, 5)).append("]\r\n");
        out.append("Record=").append(BetRecord(n)).append("\r\n");
    }
    return out.append(sample);
}

// The sample with `count` "RecordNNNNN=" lines of another program at the end of its
// first group, before the blank line that ends it.
std::string WithKeysInFirstGroup(const std::string& sample, int count) {
    const std::size_t groupEnd = sample.find("\r\n\r\n[Group1]");
    if (groupEnd == std::string::npos) {
        throw std::runtime_error("the sample has no [Group1] after a blank line");
    }
    std::string out;
    out.reserve(sample.size() + static_cast<std::size_t>(count) * 64);
    out.append(sample, 0, groupEnd + 2);
    for (int n = 1; n <= count; ++n) {
        out.append("Record").append(Padded(n, 5)).append("=").append(BetRecord(n));
        out.append("\r\n");
    }
    return out.append(sample, groupEnd + 2);
}

std::string ShapedSample(const std::string& sample, Shape shape) {
    switch (shape) {
        case Shape::Sections2500:
            return WithSections(sample, 2500);
        case Shape::Sections10000:
            return WithSections(sample, 10000);
        case Shape::Sections40000:
            return WithSections(sample, 40000);
        case Shape::Keys80000:
            return WithKeysInFirstGroup(sample, 80000);
    }
    return sample;
}

// A temporary folder holding one "Jnx.ini" of each shape in a folder of its own; removed
// at exit. Each file has had one load and save, and a second one has been checked to
// replace it once and keep its bytes.
class ShapeFiles {
public:
    ShapeFiles() {
        std::string pattern = (fs::temp_directory_path() / "jnx-bench-shapes-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            FailWithErrno("mkdtemp");
        }
        folder_ = pattern;
        const std::string sample = ReadAll(JNX_SAMPLE_SETTINGS);
        for (const Shape shape : kShapes) {
            paths_[shape] = Create(ShapeName(shape), ShapedSample(sample, shape));
        }
    }
    ~ShapeFiles() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    ShapeFiles(const ShapeFiles&) = delete;
    ShapeFiles& operator=(const ShapeFiles&) = delete;
    ShapeFiles(ShapeFiles&&) = delete;
    ShapeFiles& operator=(ShapeFiles&&) = delete;

    [[nodiscard]] const std::string& path(Shape shape) const { return paths_.at(shape); }

private:
    [[nodiscard]] std::string Create(const std::string& name, std::string_view bytes) const {
        const fs::path folder = folder_ / name;
        fs::create_directory(folder);
        std::string path = (folder / "Jnx.ini").string();
        WriteNewFileSynced(path, bytes);
        jnx::SettingsModel model;
        jnx::SettingsSync sync(model);
        LoadEditSave(model, sync, path);
        const std::string before = ReadAll(path);
        const ReplacementCounter replacements;
        LoadEditSave(model, sync, path);
        LoadEditSave(model, sync, path);
        if (replacements.count() != 2 || ReadAll(path) != before) {
            throw std::runtime_error("two saves of " + path +
                                     " must replace it twice and give its bytes back");
        }
        return path;
    }

    fs::path folder_;
    std::map<Shape, std::string> paths_;
};

const ShapeFiles& Shapes() {
    static const ShapeFiles files;
    return files;
}

double Megabytes(const std::string& path) {
    return static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
}

// BM_LoadSave and BM_Floor on a file of the given shape.
void BM_ShapeLoadSave(benchmark::State& state, Shape shape) {
    TimeLoadSave(state, Shapes().path(shape));
}

void BM_ShapeFloor(benchmark::State& state, Shape shape) {
    TimeFloor(state, Shapes().path(shape));
}

BENCHMARK_CAPTURE(BM_LoadSave, sample, Fixture::Sample)->Apply(Timed);
BENCHMARK_CAPTURE(BM_Floor, sample, Fixture::Sample)->Apply(Timed);
BENCHMARK_CAPTURE(BM_LoadSave, padded, Fixture::Padded)->Apply(Timed);
BENCHMARK_CAPTURE(BM_Floor, padded, Fixture::Padded)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeLoadSave, sections_2500, Shape::Sections2500)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeFloor, sections_2500, Shape::Sections2500)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeLoadSave, sections_10000, Shape::Sections10000)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeFloor, sections_10000, Shape::Sections10000)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeLoadSave, sections_40000, Shape::Sections40000)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeFloor, sections_40000, Shape::Sections40000)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeLoadSave, keys_80000, Shape::Keys80000)->Apply(Timed);
BENCHMARK_CAPTURE(BM_ShapeFloor, keys_80000, Shape::Keys80000)->Apply(Timed);

// Console output as usual, remembering each benchmark's time (the median when the runs
// are repeated) to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            // "BM_LoadSave/sample", as BENCHMARK_CAPTURE names it.
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_[name] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Iteration && medians_.count(name) == 0) {
                times_[name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // For each file whose two benchmarks both ran.
    void PrintRatios() const {
        for (const char* fixture : {"sample", "padded"}) {
            const double ours = Time(std::string("BM_LoadSave/") + fixture);
            const double floor = Time(std::string("BM_Floor/") + fixture);
            if (ours > 0 && floor > 0) {
                std::cout << "ratio " << fixture << ": ReadIni+WriteIni / floor = " << std::fixed
                          << std::setprecision(2) << ours / floor << "\n";
            }
        }
    }

    // For each shape whose two benchmarks both ran, with the file's size and what the load
    // and save cost above the floor per megabyte, which must not grow with the file.
    void PrintShapeRatios() const {
        for (const Shape shape : kShapes) {
            const std::string name = ShapeName(shape);
            const double ours = Time("BM_ShapeLoadSave/" + name);
            const double floor = Time("BM_ShapeFloor/" + name);
            if (ours > 0 && floor > 0) {
                const double megabytes = Megabytes(Shapes().path(shape));
                std::cout << "ratio " << name << ": ReadIni+WriteIni / floor = " << std::fixed
                          << std::setprecision(2) << ours / floor << " (" << megabytes
                          << " MB; per MB: " << ours / megabytes << " us, floor "
                          << floor / megabytes << " us, above the floor "
                          << (ours - floor) / megabytes << " us)\n";
            }
        }
    }

private:
    [[nodiscard]] double Time(const std::string& name) const {
        if (const auto found = medians_.find(name); found != medians_.end()) {
            return found->second;
        }
        const auto found = times_.find(name);
        return found == times_.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> times_;
    std::map<std::string, double> medians_;
};

// What the benchmarks rely on: a save of one changed value replaces the file exactly once,
// and one that changes nothing leaves it alone.
bool CheckSaves() {
    bool ok = true;
    for (const Fixture fixture : {Fixture::Sample, Fixture::Padded}) {
        const std::string& path = Files().path(fixture);
        const std::string before = ReadAll(path);
        jnx::SettingsModel model;
        jnx::SettingsSync sync(model);
        sync.load(path);
        const ReplacementCounter replacements;
        sync.save(path);
        const bool same = ReadAll(path) == before;
        LoadEditSave(model, sync, path);
        std::cout << "check: an unchanged save and a save of one value of " << path << " ("
                  << before.size() << " bytes) replaced it " << replacements.count()
                  << " time(s); the first kept " << (same ? "its bytes" : "NOT ITS BYTES") << "\n";
        ok = ok && replacements.count() == 1 && same;
    }
    std::cout << std::flush;  // before the library's own report on stderr
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    try {
        if (!CheckSaves()) {
            std::cerr << "check failed: a save must replace the file once and keep its bytes\n";
            return 1;
        }
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        reporter.PrintRatios();
        reporter.PrintShapeRatios();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
