#pragma once

#include <array>
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

// Access to one profile ("INI") file in code page 932: reads as the profile functions read
// it, and writes that reach the file all at once, through the same save as the editor's
// (SaveProfile).
//
// The file is read once it has settled (as a save reads it), waiting up to
// SaveSettleTimes().limit; a file that does not settle by then is read as it is.
// Windows: reads go to the system's profile functions (GetPrivateProfileStringA), whose
// rules are the betting tool's. Elsewhere: the file is read once, when the object is made.
//
// Writes are kept in the object, and its reads give them back, until commit() saves them
// all in one replacement of the file; nothing reaches the file before.
class ProfileFile {
public:
    // Size of the buffer a read uses; at most kReadBufferSize - 1 bytes arrive.
    static constexpr std::size_t kReadBufferSize = 2048;

    // A missing file reads as empty. Throws ReadError ("<path> を読み込めません") when
    // something is at the path that cannot be read as a settings file (a folder, a named
    // pipe, a file the user may not read, one too large to hold).
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

    // Puts every write into the file as SaveProfile does. Throws WriteError
    // ("<path> に書き込めません"); the file is then as it was, and the writes stay kept.
    void commit();

    // Whether every read so far came from one version of the file: on Windows each read
    // reads the file afresh, and another program may have written it in between.
    [[nodiscard]] bool readOneVersion() const;

    // Makes every later read answer from the file's bytes as they were read when the object
    // was made (once the file had settled, or as it was when it did not settle), read as the
    // profile functions read them, so that all of them come from one version. For Windows,
    // where each read reads the file afresh, when another program wrote it between the
    // reads; elsewhere the reads answer from those bytes already. The writes kept stay.
    void readMadeVersion();

    // Whether the file holds other bytes now than when the object was made, or another
    // program is writing it (where the system tells).
    [[nodiscard]] bool changedSinceMade() const;

    // Test seam: called once per file replacement, after the temporary file (on Windows the
    // copy) is written and flushed and before it takes the settings file's place (for a
    // save in place, before the file is written). Returning false makes the save fail at
    // that point. An empty function removes the hook.
    using ReplaceHook = std::function<bool(const std::string& temporaryPath)>;
    static void setReplaceHookForTesting(ReplaceHook hook);
    // Called where a save renames its copy over the file (on Windows), after its last look
    // at the file and right before the rename, with the file's path: a write made there lands
    // where no look before the rename can see it. An empty function removes the hook.
    using RenameHook = std::function<void(const std::string& path)>;
    static void setRenameHookForTesting(RenameHook hook);

private:
    // The value of a key this object has written and not committed as a read gives it back.
    std::optional<Text> findWritten(std::string_view section, std::string_view key);
    // The file's own value of a key, as the platform reads it.
    Text readInFile(std::string_view section, std::string_view key, std::string_view defaultValue);
    std::optional<Text> findInFile(std::string_view section, std::string_view key);

    struct State;
    std::string path_;
    std::unique_ptr<State> state_;
    // The writes not committed yet, in order, and as reads give them back.
    std::vector<std::array<std::string, 3>> writes_;
    std::unique_ptr<ProfileDocument> written_;
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
    // Whether to ask the system who has the file open for writing (platform::WriterLease)
    // before trusting quiet time; tests turn it off to try quiet time alone, as where the
    // system will not say.
    bool askWriters = true;
};

// The settle times saves use; tests shorten them.
SettleTimes& SaveSettleTimes();

// Saves into a profile file that another program (the betting tool) may be rewriting at
// the same moment: that program empties the file and writes it again, so what is read must
// be a file that has stopped changing, and what is put in place must replace only the file
// that was read.
//
// 1. The file is read once it has settled: nobody has it open for writing, as the system
//    tells (a read lease on Linux, held from the read to the replacement), or, where the
//    system will not tell, it has not changed for SaveSettleTimes().quiet (quietWhenCut for
//    a file that looks cut short); and it is the same file, of the same size and
//    modification time, before and after the read.
// 2. `plan` gives the writes; when there are none the file is not touched at all.
// 3. The writes go into a new file beside it (on Windows, through the profile functions,
//    into a copy of it), which is flushed and then renamed over it in one step; but only
//    while the file is still the one read (same identity, size and modification time,
//    checked right before the rename) and no writer has started opening it since the read.
//    Otherwise the new file is dropped and the save goes back to step 1. A writer that
//    starts opening the file in the moment between that check and the rename would write
//    into the file read once it was gone: the file read is put back in its place then, and
//    the save goes back to step 1 as well. In a folder where no new file can be made, a
//    file the user may write is written in place, provided it is still the one read.
//
// The editor's saves, WriteIni and ProfileFile::commit() all save this way.
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
// ProfileDocument reads it as the profile functions do), and that must never wait: none
// when it is missing or cannot be read, or when another program has it open for writing
// now (`writing` then says so, where the system tells: read it again in a moment). The
// file is opened sharing reading, writing and deleting, and only for the one read, so that
// another program writing, removing or replacing it is never held up by this read.
std::optional<std::string> ReadProfileBytes(const std::string& path, bool* writing = nullptr);

}  // namespace jnx
