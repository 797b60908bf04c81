// A stand-in for the betting tool while the editor starts: it keeps rewriting Jnx.ini in
// place, as the tool does, so that an editor started at any moment may find the file
// emptied or half written. The bytes it writes are the file's own when it starts, so that
// the file holds them again once it is stopped.
//
//   start_tool MODE FILE
//
// MODE is one of
//   whole   every 30 ms: the file opened with O_TRUNC, written in one write and closed;
//   pieces  the same in pieces of 4 KB with about 1 ms between pieces;
//   pause   like pieces, and one rewrite in ten holds the emptied file open for 300 to
//           800 ms before it writes, as the tool does when it stalls mid-write.
//
// SIGTERM or SIGINT ends it after the rewrite under way, so the file is never left cut
// short. It then prints "rewrites=N stalls=N" and exits 0; 1 when the file cannot be
// read or written, 2 on wrong arguments.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPeriod(30);
constexpr milliseconds kPieceGap(1);
constexpr std::size_t kPiece = 4096;
constexpr int kStallEvery = 10;
constexpr int kStallMinMs = 300;
constexpr int kStallMaxMs = 800;

volatile std::sig_atomic_t gStop = 0;

void OnStop(int /*signal*/) {
    gStop = 1;
}

enum class Mode { kWhole, kPieces, kPause };

bool ParseMode(std::string_view name, Mode& mode) {
    if (name == "whole") {
        mode = Mode::kWhole;
    } else if (name == "pieces") {
        mode = Mode::kPieces;
    } else if (name == "pause") {
        mode = Mode::kPause;
    } else {
        return false;
    }
    return true;
}

bool ReadAll(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream out;
    out << in.rdbuf();
    bytes = out.str();
    return !in.bad();
}

// A sleep that a stop signal does not cut short: the rewrite under way is finished first.
void Sleep(milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

bool WriteFully(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// One rewrite in place: emptied on open, then the stall if any, then the bytes.
bool Rewrite(const std::string& path, const std::string& bytes, std::size_t piece,
             milliseconds stall) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    if (stall.count() > 0) {
        Sleep(stall);
    }
    bool ok = true;
    for (std::size_t at = 0; ok && at < bytes.size(); at += piece) {
        if (at > 0) {
            Sleep(kPieceGap);
        }
        ok = WriteFully(fd, bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    Mode mode{};
    if (argc != 3 || !ParseMode(argv[1], mode)) {
        std::cerr << "usage: start_tool whole|pieces|pause FILE\n";
        return 2;
    }
    const std::string path = argv[2];
    std::string bytes;
    if (!ReadAll(path, bytes) || bytes.empty()) {
        std::cerr << "start_tool: cannot read " << path << "\n";
        return 1;
    }

    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    const std::size_t piece = mode == Mode::kWhole ? bytes.size() : kPiece;
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> stallMs(kStallMinMs, kStallMaxMs);
    // The first stall falls at a random rewrite, so that the stalls of runs started one
    // after another do not line up with the editor's starts.
    const int stallPhase = std::uniform_int_distribution<int>(0, kStallEvery - 1)(random);

    long rewrites = 0;
    long stalls = 0;
    while (gStop == 0) {
        milliseconds stall(0);
        if (mode == Mode::kPause && rewrites % kStallEvery == stallPhase) {
            stall = milliseconds(stallMs(random));
            ++stalls;
        }
        if (!Rewrite(path, bytes, piece, stall)) {
            std::cerr << "start_tool: cannot write " << path << ": " << std::strerror(errno)
                      << "\n";
            return 1;
        }
        ++rewrites;
        Sleep(kPeriod);
    }
    std::cout << "rewrites=" << rewrites << " stalls=" << stalls << "\n";
    return 0;
}
