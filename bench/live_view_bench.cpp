// The window following the file, on the sample padded to about 1 MB with another program's
// keys: a refresh (the file read once and 36 changed totals shown in the rows) against a
// plain load of the same file, and the editor's CPU time while it sits idle on an
// unchanged file.
//
//   live_view_bench [RUNS] [IDLE_SECONDS]

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "qv_env.h"
#include "settings_model.h"
#include "settings_sync.h"
#include "tables.h"

namespace {

constexpr int kLogLines = 20000;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The sample with a [Log] section of kLogLines lines of the betting tool's at its end.
std::string Padded(const std::string& sample) {
    std::ostringstream out;
    out << sample << "[Log]\r\n";
    for (int n = 1; n <= kLogLines; ++n) {
        out << "Entry" << std::setw(5) << std::setfill('0') << n << "=2026/12/" << std::setw(2)
            << n % 28 + 1 << " \x93\x8C\x8B\x9E" << n % 12 + 1 << "R \x94\x6E\x98\x41 3-7 "
            << (n * 37 % 50 + 1) * 100 << "\x89\x7E\r\n";
    }
    return out.str();
}

// The file with every group's total set to `total`, as the betting tool writes after a race.
std::string WithTotals(const std::string& bytes, int total) {
    std::string out;
    out.reserve(bytes.size() + 64);
    std::size_t pos = 0;
    bool inGroup = false;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string_view line(bytes.data() + pos, end - pos);
        if (line.starts_with("[")) {
            inGroup = line.starts_with("[Group");
        }
        if (inGroup && line.starts_with("Total=")) {
            out.append("Total=").append(std::to_string(total)).append("\r\n");
        } else {
            out.append(line);
        }
        pos = end;
    }
    return out;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int idleSeconds = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
#ifndef Q_OS_WIN  // the Windows build has its own platform only
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("Jnx.ini")).toStdString();
    const std::string padded = Padded(ReadFile(JNX_SAMPLE_SETTINGS));
    const std::string versions[2] = {WithTotals(padded, 1111), WithTotals(padded, 2222)};
    WriteFile(path, versions[0]);

    jnx::TQvEnv window([&path] { return path; });
    window.FormCreate();

    std::vector<double> loads;
    std::vector<double> refreshes;
    jnx::SettingsModel model;
    jnx::SettingsSync sync(model);
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        sync.load(path);
        loads.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e3);

        // Another program's write (not timed), then the refresh that shows it.
        WriteFile(path, versions[(run + 1) % 2]);
        timer.start();
        window.followFile();
        refreshes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e3);
        if (window.row(1).text(jnx::layout::Column::Total)->text() !=
            (run % 2 == 0 ? "2222" : "1111")) {
            std::cerr << "the refresh did not show the new total\n";
            return 1;
        }
    }
    // What the watch delivered meanwhile is not idling: let it settle first.
    QTimer::singleShot(500, &application, &QCoreApplication::quit);
    QApplication::exec();

    const double cpuBefore = CpuSeconds();
    const int followsBefore = window.followCount();
    QTimer::singleShot(std::chrono::seconds(idleSeconds), &application, &QCoreApplication::quit);
    QApplication::exec();
    const double idleCpu = CpuSeconds() - cpuBefore;

    const double load = Median(loads);
    const double refresh = Median(refreshes);
    std::cout << std::fixed << std::setprecision(0) << "file: " << padded.size() / 1024 << " KiB, "
              << runs << " runs\n"
              << "load (the window's load, with its bases), median: " << load << " us\n"
              << "refresh (read, 36 totals taken, rows shown), median: " << refresh << " us\n"
              << std::setprecision(3) << "idle " << idleSeconds << " s: " << idleCpu * 1e3
              << " ms CPU, " << window.followCount() - followsBefore << " reads\n"
              << std::setprecision(2) << "ratio refresh / load = " << refresh / load << "\n";
    return 0;
}
