#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace jnx {

class ProfileDocument;

// Access to one profile ("INI") file in code page 932, alive for one load or one save.
//
// Windows: reads and writes go to the system's profile functions (GetPrivateProfileStringA,
// WritePrivateProfileStringA), whose rules are the betting tool's. The first write copies
// the file into a new file beside it (".<file>.tmp-<pid>-<n>", its attributes with it; an
// empty file when there is none) and every read and write after that goes to the copy, so
// a save sees its own writes and nothing reaches the file before the commit. commit()
// flushes the copy and renames it over the file in one step (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); a read-only file is refused. No file
// can be renamed over while another program has it open, even one that shares its deletion;
// the rename is tried again until SaveSettleTimes().limit has passed. If a write or the
// commit fails, the file is left exactly as it was, the copy is removed and every later
// write and commit of the object fails too; the destructor removes an uncommitted copy. A
// commit also removes the copies of earlier saves that were ended before their replacement
// (regular files of that name whose writer's process is gone, open to no one); nothing else.
//
// Elsewhere: the file is read once when the object is made; writes are kept in memory and
// commit() replaces the file in one step (a flushed temporary file in the same folder
// renamed over it, keeping its permission bits, through a symbolic link to its target). A
// write changes only the value bytes of its own key line; every other byte stays as it
// was. If the commit fails the file is left exactly as it was. A commit also removes the
// temporary files of earlier commits that were ended before their rename
// (".<file>.tmp-<pid>-<n>", regular files whose writer is gone); nothing else.
class ProfileFile {
public:
    // Size of the buffer a read uses; at most kReadBufferSize - 1 bytes arrive.
    static constexpr std::size_t kReadBufferSize = 2048;

    explicit ProfileFile(std::string path);
    ~ProfileFile();  // writes nothing that was not committed; never throws
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;
    ProfileFile(ProfileFile&&) = delete;
    ProfileFile& operator=(ProfileFile&&) = delete;

    // The value of `key` in `section`, or the default (its trailing blanks dropped)
    // when the file lacks the key.
    Text read(std::string_view section, std::string_view key, std::string_view defaultValue);

    // The value of `key` in `section` as read() gives it, or none when the file lacks the key.
    std::optional<Text> find(std::string_view section, std::string_view key);

    // Stores the value verbatim: no quoting, no trimming, no escaping.
    void write(std::string_view section, std::string_view key, std::string_view value);

    // What find() gives for a key this object has written `value` to: the value as a read
    // returns it. On Windows the key is read back from the file being written.
    std::optional<Text> findWritten(std::string_view section, std::string_view key,
                                    std::string_view value);

    // Puts every write into the file. Throws WriteError ("<path> に書き込めません").
    void commit();

    // Test seam: called once per file replacement, after the temporary file (on Windows the
    // copy) is written and flushed and before it takes the settings file's place. Returning
    // false makes the commit fail at that point. An empty function removes the hook.
    using ReplaceHook = std::function<bool(const std::string& temporaryPath)>;
    static void setReplaceHookForTesting(ReplaceHook hook);

private:
    struct State;
    std::string path_;
    std::unique_ptr<State> state_;
};

// One value a save writes.
struct ProfileWrite {
    std::string_view section;
    std::string_view key;
    std::string_view value;
};

// Works out a save's writes from the file as it is: given the file's contents as read once
// they had settled (no sections at all when there is no file), it gives the writes to make,
// in order. A save calls it again, from scratch, whenever the file changed before the writes
// could be put in place.
using SavePlan = std::function<std::vector<ProfileWrite>(ProfileDocument& file)>;

// How a save waits for a file that another program is writing.
struct SettleTimes {
    // The file counts as settled once it has not changed for this long.
    std::chrono::milliseconds quiet{20};
    // The same for a file that looks cut short: empty, or not ending in a line break. The
    // other program may be stalled between emptying the file and writing it.
    std::chrono::milliseconds quietWhenCut{500};
    // Past this, the save gives up.
    std::chrono::milliseconds limit{2000};
};

// The settle times saves use; tests shorten them.
SettleTimes& SaveSettleTimes();

// Saves into a profile file that another program (the betting tool) may be rewriting at
// the same moment: that program empties the file and writes it again, so what is read must
// be a file that has stopped changing, and what is put in place must replace only the file
// that was read.
//
// 1. The file is read once it has settled: it has not changed for SaveSettleTimes().quiet
//    (quietWhenCut for a file that looks cut short), and it is the same file, of the same
//    size and modification time, before and after the read.
// 2. `plan` gives the writes; when there are none the file is not touched at all.
// 3. The writes go into a new file beside it (on Windows, through the profile functions,
//    into a copy of it), which is flushed and then renamed over it in one step, as
//    ProfileFile::commit() does; but only while the file is still the one read (same
//    identity, size and modification time, checked right before the rename). Otherwise the
//    new file is dropped and the save goes back to step 1.
//
// Gives, write by write, what a read of the key gives back now. Throws WriteError
// ("<path> に書き込めません") when the file does not settle within SaveSettleTimes().limit,
// cannot be read or written, or may not be written by this user; the file is then left as
// it was (or as the other program left it).
std::vector<std::optional<Text>> SaveProfile(const std::string& path, const SavePlan& plan);

// Test seam: how many key writes this process has made through profile objects and saves
// (on Windows, calls of WritePrivateProfileStringA with a key).
long ProfileKeyWritesForTesting();

// The whole file as it is now, in one read, for a caller that parses it itself (a
// ProfileDocument reads it as the profile functions do); none when it is missing or cannot be
// read. The file is opened sharing reading, writing and deleting, so that another program
// writing or removing it is never held up by this read; one renaming a new file over it
// fails while any reader has it open (on Windows as on Wine), so it is open only for the
// one read.
std::optional<std::string> ReadProfileBytes(const std::string& path);

}  // namespace jnx
