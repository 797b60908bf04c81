// A save beside another program that rewrites the same file: read it once it has settled,
// and replace it only while it is still the file read.

#include <algorithm>
#include <chrono>
#include <thread>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "profile_save_platform.h"

namespace jnx {

namespace {

// The file this program's last save put in place: until someone else changes it, it has
// settled, and the next save need not wait for it.
struct OwnVersion {
    std::string target;
    platform::FileVersion version;
};

OwnVersion& LastSaved() {
    static OwnVersion saved;
    return saved;
}

// Whether the file's bytes look like a file another program has emptied and not yet
// written again, or is writing in pieces: empty, or not ending in a line break (the
// profile functions end every line they write with one).
bool LooksCut(const std::string& bytes) {
    return bytes.empty() || (bytes.back() != '\n' && bytes.back() != '\r');
}

}  // namespace

namespace platform {

long& KeyWrites() {
    static long writes = 0;
    return writes;
}

}  // namespace platform

long ProfileKeyWritesForTesting() {
    return platform::KeyWrites();
}

SettleTimes& SaveSettleTimes() {
    static SettleTimes times;
    return times;
}

std::vector<std::optional<Text>> SaveProfile(const std::string& path, const SavePlan& plan) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::nanoseconds;
    const SettleTimes times = SaveSettleTimes();
    const Clock::time_point start = Clock::now();
    const std::string target = platform::SaveTarget(path);

    // The version seen last and since when: a file whose modification time cannot be
    // trusted (one from the future) settles once it has been seen unchanged long enough.
    std::optional<platform::FileVersion> seen;
    Clock::time_point seenSince;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now - start > times.limit) {
            throw WriteError(path);
        }
        const std::optional<platform::FileVersion> version = platform::VersionOf(target);
        if (!version) {
            throw WriteError(path);
        }
        if (version != seen) {
            seen = version;
            seenSince = now;
        }
        nanoseconds quietFor = now - seenSince;
        const OwnVersion& own = LastSaved();
        if (own.target == target && version->sameContents(own.version)) {
            quietFor = times.quiet;
        } else if (version->exists) {
            quietFor =
                std::max(quietFor, nanoseconds(platform::FileClockNow() - version->modified));
        }
        if (quietFor < times.quiet) {
            std::this_thread::sleep_for(
                std::max<nanoseconds>(times.quiet - quietFor, std::chrono::milliseconds(1)));
            continue;
        }

        std::string bytes;
        if (version->exists) {
            const platform::Outcome read = platform::ReadVersion(target, *version, bytes);
            if (read == platform::Outcome::Changed) {
                continue;
            }
            if (read == platform::Outcome::Failed) {
                throw WriteError(path);
            }
            if (quietFor < times.quietWhenCut && LooksCut(bytes)) {
                std::this_thread::sleep_for(std::min<nanoseconds>(times.quietWhenCut - quietFor,
                                                                  std::chrono::milliseconds(20)));
                continue;
            }
        }
        ProfileDocument document(std::move(bytes));
        const std::vector<ProfileWrite> writes = plan(document);
        if (writes.empty()) {
            return {};
        }
        std::vector<std::optional<Text>> readBack;
        platform::FileVersion written;
        switch (platform::PutWrites(target, *version, document, writes, readBack, written)) {
            case platform::Outcome::Done:
                LastSaved() = {target, written};
                return readBack;
            case platform::Outcome::Changed:
                continue;
            case platform::Outcome::Failed:
                throw WriteError(path);
        }
    }
}

}  // namespace jnx
