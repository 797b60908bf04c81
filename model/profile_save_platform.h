#pragma once

// What a save beside another writer needs of the system; profile_save_posix.cpp and
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

// Every key write a save makes counts here (ProfileKeyWritesForTesting).
long& KeyWrites();

// The hook ProfileFile::setReplaceHookForTesting set; empty when none is.
ProfileFile::ReplaceHook& ReplaceHook();
// The hook ProfileFile::setRenameHookForTesting set; empty when none is.
ProfileFile::RenameHook& RenameHook();

// The file a save of `path` writes: on POSIX systems the target of a symbolic link,
// followed link by link. Throws WriteError for a link that may not be followed (another
// user's, in a folder others may write) and for links that lead round in a loop.
std::string SaveTarget(const std::string& path);

// The file's version now; a missing file has exists == false. None when the system will
// not tell (no permission to look into its folder, say).
std::optional<FileVersion> VersionOf(const std::string& path);

// The time now, counted as modification times are.
std::int64_t FileClockNow();

// The system's answer to "is anyone writing this file?", held while the caller reads the
// file and puts a new one in its place. On Linux a read lease on the file: the system
// refuses it while any process has the file open for writing, and while it is held, a
// process that opens the file for writing waits until it is let go, and the holder can see
// that one is waiting. Elsewhere, and where the system will not lease the file (another
// user's file, a file system without leases), there is no answer and quiet time decides.
class WriterLease {
public:
    enum class Answer {
        NoWriter,  // held: nobody has the file open for writing
        Writing,   // another process has it open for writing now
        Unknown,   // the system does not say
    };

    WriterLease() = default;
    // Asks once, never waiting. Asks nothing when SaveSettleTimes().askWriters is off.
    explicit WriterLease(const std::string& path);
    ~WriterLease();
    WriterLease(const WriterLease&) = delete;
    WriterLease& operator=(const WriterLease&) = delete;
    WriterLease(WriterLease&& other) noexcept;
    WriterLease& operator=(WriterLease&& other) noexcept;

    [[nodiscard]] Answer answer() const { return answer_; }
    // The version of the file leased, when held.
    [[nodiscard]] const FileVersion& version() const { return version_; }
    // Whether a process has started opening the leased file for writing since it was taken
    // (and waits for the lease to go). False when the lease is not held.
    [[nodiscard]] bool writerWaiting() const;
    // Lets the file go: a writer waiting for it goes on. The answer becomes Unknown.
    void release() noexcept;

private:
    Answer answer_ = Answer::Unknown;
    FileVersion version_;
    int fd_ = -1;
};

enum class Outcome {
    Done,     // read, or put in place
    Changed,  // the file is no longer the version asked for: read it again
    Failed,   // it cannot be read or written
};

// Reads the whole file into `bytes`, provided it is `expected` before and after the read.
Outcome ReadVersion(const std::string& path, const FileVersion& expected, std::string& bytes);

// Reads the whole file as it is; none when it is missing. Throws ReadError when something
// is there that cannot be read as a settings file: no regular file (a folder, a named
// pipe, a device, links in a loop), a file the user may not read, or one too large to be
// read whole. Nothing that could wait (a named pipe) is waited for.
std::optional<std::string> ReadWhole(const std::string& path);

// Makes the writes into a new file of the version `read` (whose bytes `document` holds)
// and puts it in the file's place, provided the file is still that version right before
// and, where `lease` is held, no writer is waiting for it. Where the new file could not be
// the old one in all but its bytes (its owner, group, access list or other names), or no
// new file can be made beside it, the writes go into the file itself instead, once it is
// sure to have room for them. Gives in `readBack`, write by
// write, what a read of the key gives back, and in `written` the version of the file put
// in place.
Outcome PutWrites(const std::string& path, const FileVersion& read, ProfileDocument& document,
                  const std::vector<ProfileWrite>& writes, WriterLease& lease,
                  std::vector<std::optional<Text>>& readBack, FileVersion& written);

// The file's bytes for a load: read once the file has settled as a save reads it, or as
// it is when it has not settled within SaveSettleTimes().limit; none when it is missing
// (provided by profile_save.cpp). `version`, when given, gets the version
// read (none when the system will not tell). Throws ReadError as ReadWhole does.
std::optional<std::string> ReadForLoad(const std::string& path,
                                       std::optional<FileVersion>* version = nullptr);

}  // namespace jnx::platform
