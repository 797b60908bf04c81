#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "text.h"

namespace jnx {

// Access to one profile ("INI") file in code page 932, alive for one load or one save.
//
// Windows: every call goes to GetPrivateProfileStringA / WritePrivateProfileStringA;
// a failed write throws WriteError at once; commit() and the destructor flush the
// profile cache.
// Elsewhere: the file is read once when the object is made; writes are kept in memory
// and commit() replaces the file in one step (a flushed temporary file in the same
// folder renamed over it, keeping its permission bits, through a symbolic link to its
// target). A write changes only the value bytes of its own key line; every other byte
// stays as it was. If the commit fails the file is left exactly as it was. A commit also
// removes the temporary files of earlier commits that were ended before their rename
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

    // Stores the value verbatim: no quoting, no trimming, no escaping.
    void write(std::string_view section, std::string_view key, std::string_view value);

    // Puts every write into the file. Throws WriteError ("<path> に書き込めません").
    void commit();

    // Test seam of the in-memory implementation: called once per file replacement, after
    // the temporary file is written and flushed and before it is renamed over the
    // settings file. Returning false makes the commit fail at that point. An empty
    // function removes the hook.
    using ReplaceHook = std::function<bool(const std::string& temporaryPath)>;
    static void setReplaceHookForTesting(ReplaceHook hook);

private:
    struct State;
    std::string path_;
    std::unique_ptr<State> state_;
};

}  // namespace jnx
