#pragma once

// What a save beside another writer needs of the system; profile_file_posix.cpp and
// profile_file_win32.cpp provide it, profile_save.cpp uses it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "profile_document.h"
#include "profile_file.h"

namespace jnx::platform {

// What tells one version of a file from another: the file itself (its volume and its
// number there), its size and its modification and status-change times.
struct FileVersion {
    bool exists = false;
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since the epoch
    std::int64_t changed = 0;   // the same; 0 where the system keeps no such time

    friend bool operator==(const FileVersion&, const FileVersion&) = default;

    // Whether the two are one file with the same contents as far as the system tells: a
    // rename changes the status-change time only.
    [[nodiscard]] bool sameContents(const FileVersion& other) const {
        return exists == other.exists && volume == other.volume && file == other.file &&
               size == other.size && modified == other.modified;
    }
};

// Every key write a profile object or a save makes counts here (ProfileKeyWritesForTesting).
long& KeyWrites();

// The file a save of `path` writes: on POSIX systems the target of a symbolic link,
// followed link by link.
std::string SaveTarget(const std::string& path);

// The file's version now; a missing file has exists == false. None when the system will
// not tell (no permission to look into its folder, say).
std::optional<FileVersion> VersionOf(const std::string& path);

// The time now, counted as modification times are.
std::int64_t FileClockNow();

enum class Outcome {
    Done,     // read, or put in place
    Changed,  // the file is no longer the version asked for: read it again
    Failed,   // it cannot be read or written
};

// Reads the whole file into `bytes`, provided it is `expected` before and after the read.
Outcome ReadVersion(const std::string& path, const FileVersion& expected, std::string& bytes);

// Makes the writes into a new file of the version `read` (whose bytes `document` holds)
// and puts it in the file's place, provided the file is still that version right before.
// Gives in `readBack`, write by write, what a read of the key gives back, and in `written`
// the version of the file put in place.
Outcome PutWrites(const std::string& path, const FileVersion& read, ProfileDocument& document,
                  const std::vector<ProfileWrite>& writes,
                  std::vector<std::optional<Text>>& readBack, FileVersion& written);

}  // namespace jnx::platform
