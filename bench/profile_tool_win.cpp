// A stand-in for the betting tool on Windows: it keeps writing one key of Jnx.ini through
// WritePrivateProfileStringA, as the tool does, so that the profile functions rewrite the
// whole file each time (on Wine: CreateFileW with CREATE_ALWAYS and no sharing, so a write
// fails while anyone holds the file open).
//
//   profile_tool FILE PERIOD_MS STOP_FILE [STATS_FILE]
//
// Every PERIOD_MS (0: as fast as it can) it reads the file's [Main] LastRun, then writes
// the next number of its own into it. A number it wrote that is gone from the file at its
// next read, with no write of its own in between, is a write someone undid. It ends once
// STOP_FILE exists, after one more look, and writes "writes=N refused=N undone=N" (writes
// made, writes the profile functions refused, writes undone) to STATS_FILE, or to its
// output when none is given. Each undone write is listed there too, with the number gone
// and the number found. Exits 0; 2 on wrong arguments, 1 when the file cannot be read.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "profile_document.h"

namespace {

// The file's bytes, opened sharing everything and held for the one read only; none when
// it cannot be opened now (a rename under way).
std::optional<std::string> ReadFileBytes(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) {
        return std::nullopt;
    }
    return bytes;
}

// [Main] LastRun as a number; -1 when the file lacks it or it is no number.
long LastRun(const std::string& bytes) {
    const std::optional<std::string> value = jnx::ProfileDocument(bytes).find("Main", "LastRun");
    if (!value || value->empty()) {
        return -1;
    }
    char* end = nullptr;
    const long number = std::strtol(value->c_str(), &end, 10);
    return *end == '\0' ? number : -1;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Counts {
    long writes = 0;
    long refused = 0;
    long undone = 0;
    std::vector<std::string> undoneList;
};

// Looks at the file: the number written last must still be there, or a later one. Gives
// false when the file could not be read.
bool Look(const std::string& path, long& last, Counts& counts) {
    std::optional<std::string> bytes;
    for (int attempt = 0; attempt < 100 && !bytes; ++attempt) {
        bytes = ReadFileBytes(path);
        if (!bytes) {
            Sleep(1);
        }
    }
    if (!bytes) {
        return false;
    }
    const long found = LastRun(*bytes);
    if (last >= 0 && found < last) {
        ++counts.undone;
        counts.undoneList.push_back("undone " + std::to_string(last) + " found " +
                                    std::to_string(found));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: profile_tool FILE PERIOD_MS STOP_FILE [STATS_FILE]\n");
        return 2;
    }
    const std::string path = argv[1];
    const long period = std::strtol(argv[2], nullptr, 10);
    const std::string stop = argv[3];
    Counts counts;
    // The number written last that is still to be found in the file; -1 when there is
    // none to look for.
    long last = -1;
    long next = 1;
    const std::optional<std::string> first = ReadFileBytes(path);
    if (first) {
        next = std::max(LastRun(*first), 0L) + 1;
    }
    while (!Exists(stop)) {
        if (!Look(path, last, counts)) {
            std::fprintf(stderr, "profile_tool: cannot read %s\n", path.c_str());
            return 1;
        }
        const std::string value = std::to_string(next);
        if (WritePrivateProfileStringA("Main", "LastRun", value.c_str(), path.c_str())) {
            last = next;
            ++counts.writes;
        } else {
            ++counts.refused;
        }
        ++next;
        if (period > 0) {
            Sleep(static_cast<DWORD>(period));
        }
    }
    if (!Look(path, last, counts)) {
        return 1;
    }
    std::string report = "writes=" + std::to_string(counts.writes) +
                         " refused=" + std::to_string(counts.refused) +
                         " undone=" + std::to_string(counts.undone) + "\n";
    for (const std::string& line : counts.undoneList) {
        report += line + "\n";
    }
    if (argc == 5) {
        FILE* out = std::fopen(argv[4], "wb");
        if (out == nullptr) {
            return 1;
        }
        std::fputs(report.c_str(), out);
        std::fclose(out);
    } else {
        std::fputs(report.c_str(), stdout);
    }
    return 0;
}
