// A save beside another program that rewrites the same file: read it once it has settled,
// and replace it only while it is still the file read. Loads and the live view read the
// file by the same rules.

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "errors.h"
#include "profile_document.h"
#include "profile_file.h"
#include "profile_save_platform.h"

namespace jnx {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

// How often a file another program has open for writing is asked about again.
constexpr std::chrono::milliseconds kWriterPoll{3};

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

// A file read once it had settled, with the lease that keeps writers out until the caller
// lets it go (none held where the system does not tell).
struct SettledFile {
    platform::FileVersion version;
    std::string bytes;
    platform::WriterLease lease;
};

enum class Settle { Read, TimedOut, Failed };

// Waits until the file has settled and reads it: nobody has it open for writing, as the
// system tells; or, where it does not tell, it has not changed for the quiet time (the
// longer one for a file that looks cut short). The file must be the same version before
// and after the read. A missing file counts as read, with no bytes.
Settle ReadSettled(const std::string& target, Clock::time_point giveUp, SettledFile& out) {
    const SettleTimes times = SaveSettleTimes();
    // The version seen last and since when: a file whose modification time cannot be
    // trusted (one from the future) settles once it has been seen unchanged long enough.
    std::optional<platform::FileVersion> seen;
    Clock::time_point seenSince;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now > giveUp) {
            return Settle::TimedOut;
        }
        const std::optional<platform::FileVersion> version = platform::VersionOf(target);
        if (!version) {
            return Settle::Failed;
        }
        if (version != seen) {
            seen = version;
            seenSince = now;
        }
        platform::WriterLease lease;
        if (version->exists) {
            lease = platform::WriterLease(target);
        }
        if (lease.answer() == platform::WriterLease::Answer::Writing) {
            std::this_thread::sleep_for(kWriterPoll);
            continue;
        }
        const bool held = lease.answer() == platform::WriterLease::Answer::NoWriter;
        if (held && !lease.version().sameContents(*version)) {
            continue;  // replaced between the two looks
        }

        nanoseconds quietFor = now - seenSince;
        if (!held) {
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
        }

        std::string bytes;
        if (version->exists) {
            const platform::Outcome read = platform::ReadVersion(target, *version, bytes);
            if (read == platform::Outcome::Changed) {
                continue;
            }
            if (read == platform::Outcome::Failed) {
                return Settle::Failed;
            }
            if (!held && quietFor < times.quietWhenCut && LooksCut(bytes)) {
                std::this_thread::sleep_for(std::min<nanoseconds>(times.quietWhenCut - quietFor,
                                                                  std::chrono::milliseconds(20)));
                continue;
            }
        }
        out.version = *version;
        out.bytes = std::move(bytes);
        out.lease = std::move(lease);
        return Settle::Read;
    }
}

}  // namespace

namespace platform {

long& KeyWrites() {
    static long writes = 0;
    return writes;
}

ProfileFile::ReplaceHook& ReplaceHook() {
    static ProfileFile::ReplaceHook hook;
    return hook;
}

ProfileFile::RenameHook& RenameHook() {
    static ProfileFile::RenameHook hook;
    return hook;
}

std::optional<std::string> ReadForLoad(const std::string& path,
                                       std::optional<FileVersion>* version) {
    SettledFile file;
    const Settle settle = ReadSettled(path, Clock::now() + SaveSettleTimes().limit, file);
    if (settle == Settle::Read) {
        if (version != nullptr) {
            *version = file.version;
        }
        if (!file.version.exists) {
            return std::nullopt;
        }
        return std::move(file.bytes);
    }
    // Never settled: read as it is, as the profile functions would; but a file seen whole
    // is taken where it is seen within half the limit again: the same bytes in two reads in
    // a row, each with no writer, as far as the system tells, before or after it, and no
    // change across it. A program that rewrites the file without pause leaves it whole
    // between its writes; one read alone is not enough, for a file's modification time
    // moves in steps of milliseconds, and a rewrite to the same length within one of them
    // changes nothing a look can see.
    const Clock::time_point until = Clock::now() + SaveSettleTimes().limit / 2;
    const auto noWriter = [&path] {
        return WriterLease(path).answer() != WriterLease::Answer::Writing;
    };
    std::optional<std::string> seen;
    // What cannot be read as a file (a folder, a named pipe) is reported at once.
    while (settle == Settle::TimedOut && Clock::now() < until) {
        const std::optional<FileVersion> now = VersionOf(path);
        if (!now) {
            break;
        }
        std::string bytes;
        if (now->exists && noWriter() && ReadVersion(path, *now, bytes) == Outcome::Done &&
            !LooksCut(bytes) && noWriter()) {
            if (bytes == seen) {
                if (version != nullptr) {
                    *version = now;
                }
                return bytes;
            }
            seen = std::move(bytes);
            continue;
        }
        seen.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (version != nullptr) {
        *version = VersionOf(path);
    }
    return ReadWhole(path);
}

}  // namespace platform

void ProfileFile::setReplaceHookForTesting(ReplaceHook hook) {
    platform::ReplaceHook() = std::move(hook);
}

void ProfileFile::setRenameHookForTesting(RenameHook hook) {
    platform::RenameHook() = std::move(hook);
}

long ProfileKeyWritesForTesting() {
    return platform::KeyWrites();
}

SettleTimes& SaveSettleTimes() {
    static SettleTimes times;
    return times;
}

std::vector<std::optional<Text>> SaveProfile(const std::string& path, const SavePlan& plan) {
    const Clock::time_point giveUp = Clock::now() + SaveSettleTimes().limit;
    for (;;) {
        const std::string target = platform::SaveTarget(path);
        SettledFile file;
        if (ReadSettled(target, giveUp, file) != Settle::Read) {
            throw WriteError(path);
        }
        // A link that leads nowhere is not followed to make a file there: whoever made it
        // chose where that file would be.
        if (target != path && !file.version.exists) {
            throw WriteError(path);
        }
        ProfileDocument document(std::move(file.bytes));
        const std::vector<ProfileWrite> writes = plan(document);
        if (writes.empty()) {
            return {};
        }
        // The link is asked again right before the file it leads to is replaced: one put
        // in the file's place since is followed only as the first was.
        if (platform::SaveTarget(path) != target) {
            continue;
        }
        std::vector<std::optional<Text>> readBack;
        platform::FileVersion written;
        switch (platform::PutWrites(target, file.version, document, writes, file.lease, readBack,
                                    written)) {
            case platform::Outcome::Done:
                LastSaved() = {target, written};
                return readBack;
            case platform::Outcome::Changed:
                // The lease goes with `file`: a writer that waits for it writes now, and the
                // next read waits for that writer.
                continue;
            case platform::Outcome::Failed:
                throw WriteError(path);
        }
    }
}

std::optional<std::string> ReadProfileBytes(const std::string& path, bool* writing) {
    if (writing != nullptr) {
        *writing = false;
    }
    const platform::WriterLease lease(path);
    if (lease.answer() == platform::WriterLease::Answer::Writing) {
        if (writing != nullptr) {
            *writing = true;
        }
        return std::nullopt;
    }
    try {
        return platform::ReadWhole(path);
    } catch (const ReadError&) {
        return std::nullopt;
    }
}

}  // namespace jnx
