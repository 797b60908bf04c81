// A load and a save while the betting tool, another process (on Windows another thread,
// writing as a Windows program does), is in the middle of writing the settings file: it has emptied
// the file and stalls, has written its first 4 KB and stalls, or holds the file open from its read
// to its write. Each time the load reads the tool's whole file, and the save leaves the tool's
// whole file with the user's edit. Where the system will not say who is writing, quiet time
// decides, and a writer that empties the file and stalls for a moment is waited for all the same.

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <future>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "profile_file.h"
#include "settings_sync.h"
#include "tables.h"

#include "support/test_files.h"

namespace jnx {
namespace {

using std::chrono::milliseconds;

enum class Writer {
    EmptiesThenStalls,        // emptied (O_TRUNC), the whole file written after the stall
    WritesFirst4KThenStalls,  // its first 4 KB, up to a line end, then the rest after the stall
    HoldsOpen,  // opened for reading and writing, read, and written back after the stall
};

enum class Action { Load, Save };

struct WriterCase {
    const char* name;
    Writer writer;
    milliseconds stall;
    Action action;
    bool askWriters;  // whether the editor may ask the system who is writing
};

void PrintTo(const WriterCase& c, std::ostream* out) {
    *out << c.name;
}

// What the tool writes before it stalls: its first 4 KB, up to a line end, for the writer
// that stalls there; nothing for the others.
std::string_view FirstPiece(const WriterCase& c, const std::string& tool) {
    if (c.writer != Writer::WritesFirst4KThenStalls) {
        return {};
    }
    return std::string_view(tool).substr(0, tool.rfind('\n', 4095) + 1);
}

#ifdef _WIN32

bool WriteAll(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The tool, writing as a Windows program does (sharing reading only), in a thread: starts
// writing `tool` into the file, says so through `ready`, stalls, and ends the write. Gives
// whether every step worked.
bool RunWriter(const WriterCase& c, const std::string& path, const std::string& tool,
               std::promise<void>& ready) {
    const bool holds = c.writer == Writer::HoldsOpen;
    const std::string_view first = FirstPiece(c, tool);
    const HANDLE file = CreateFileA(
        path.c_str(), holds ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE, FILE_SHARE_READ,
        nullptr, holds ? OPEN_EXISTING : TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = file != INVALID_HANDLE_VALUE;
    if (ok && holds) {
        std::string read(1 << 16, '\0');
        DWORD got = 0;
        ok = ReadFile(file, read.data(), static_cast<DWORD>(read.size()), &got, nullptr) &&
             got > 0 && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0;
    }
    ok = ok && WriteAll(file, first);
    ready.set_value();
    std::this_thread::sleep_for(c.stall);
    ok = ok && WriteAll(file, std::string_view(tool).substr(first.size())) && SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE) {
        ok = CloseHandle(file) && ok;
    }
    return ok;
}

// The tool at work beside the test: started by the constructor, which returns once the
// tool is in the middle of its write.
class ToolAtWork {
public:
    ToolAtWork(const WriterCase& c, const std::string& path, const std::string& tool) {
        std::promise<void> ready;
        std::future<void> started = ready.get_future();
        done_ =
            std::async(std::launch::async, [&c, path, tool, ready = std::move(ready)]() mutable {
                return RunWriter(c, path, tool, ready);
            });
        started.wait();
    }
    // Whether the tool's write worked, once it has ended.
    bool finished() { return done_.get(); }

private:
    std::future<bool> done_;
};

#else

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The tool, in a process of its own: starts writing `tool` into the file, tells the test
// through `ready` that it is in the middle of it, stalls, and ends the write. Exits 0 when
// every step worked.
[[noreturn]] void RunWriter(const WriterCase& c, const std::string& path, const std::string& tool,
                            int ready) {
    const bool holds = c.writer == Writer::HoldsOpen;
    const std::string_view first = FirstPiece(c, tool);
    const char signal = 'r';
    const int fd = ::open(path.c_str(), (holds ? O_RDWR : O_WRONLY | O_TRUNC) | O_CLOEXEC);
    bool ok = fd >= 0;
    if (ok && holds) {
        std::string read(1 << 16, '\0');
        ok = ::read(fd, read.data(), read.size()) > 0 && ::lseek(fd, 0, SEEK_SET) == 0;
    }
    ok = ok && WriteAll(fd, first) && ::write(ready, &signal, 1) == 1;
    std::this_thread::sleep_for(c.stall);
    ok = ok && WriteAll(fd, std::string_view(tool).substr(first.size())) &&
         ::ftruncate(fd, static_cast<off_t>(tool.size())) == 0 && ::close(fd) == 0;
    ::_exit(ok ? 0 : 1);
}

// The tool at work beside the test: started by the constructor, which returns once the
// tool is in the middle of its write.
class ToolAtWork {
public:
    ToolAtWork(const WriterCase& c, const std::string& path, const std::string& tool) {
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            RunWriter(c, path, tool, ready[1]);
        }
        ::close(ready[1]);
        char signal = 0;
        started_ = pid_ > 0 && ::read(ready[0], &signal, 1) == 1;
        ::close(ready[0]);
    }
    // Whether the tool's write worked, once it has ended.
    bool finished() {
        int status = 0;
        return started_ && ::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
};

#endif

class WriterProcess : public ::testing::TestWithParam<WriterCase> {
protected:
    void TearDown() override { SaveSettleTimes() = SettleTimes{}; }

    test::TempDir dir_;
    std::string path_ = dir_.file("Jnx.ini");
    SettingsModel model_;
    SettingsSync sync_{model_};
};

TEST_P(WriterProcess, LeavesTheToolsWholeFile) {
    const WriterCase& c = GetParam();
    const std::string sample = test::ReadBytes(test::SampleSettingsPath());
    // The tool's file: a new total, and a section of its own at the end; and that file with
    // the user's edit, both as the profile functions write them.
    const std::string scratch = dir_.file("scratch.ini");
    test::WriteBytes(scratch, sample);
    test::OtherProgramWrites(scratch, "Group3", "Total", "4321");
    test::OtherProgramWrites(scratch, "ToolOnly", "Seen", "yes");
    const std::string tool = test::ReadBytes(scratch);
    test::OtherProgramWrites(scratch, "Group5", "MinOdd", "4.4");
    const std::string toolWithEdit = test::ReadBytes(scratch);
    ASSERT_GT(tool.size(), 4096U);

    test::WriteBytes(path_, sample);
    if (c.action == Action::Save) {
        sync_.load(path_);
        model_.group(5).fields[kMinOddField] = "4.4";
    }
    SaveSettleTimes().askWriters = c.askWriters;

    ToolAtWork toolAtWork(c, path_, tool);
    if (c.action == Action::Load) {
        EXPECT_NO_THROW(sync_.load(path_));
    } else {
        EXPECT_NO_THROW(sync_.save(path_));
    }
    EXPECT_TRUE(toolAtWork.finished()) << "the tool's write failed";

    EXPECT_EQ(model_.group(3).fields[kTotalField], "4321") << "the tool's value was not read";
    if (c.action == Action::Load) {
        EXPECT_TRUE(test::ReadBytes(path_) == tool) << "the load changed the file";
        return;
    }
    EXPECT_TRUE(test::ReadBytes(path_) == toolWithEdit) << "not the tool's file with the edit";
}

INSTANTIATE_TEST_SUITE_P(
    Writers, WriterProcess,
    ::testing::Values(WriterCase{"SaveWhileEmptiedFor800ms", Writer::EmptiesThenStalls,
                                 milliseconds(800), Action::Save, true},
                      WriterCase{"SaveWhileCutAtALineEndFor150ms", Writer::WritesFirst4KThenStalls,
                                 milliseconds(150), Action::Save, true},
                      WriterCase{"SaveWhileHeldOpenFromReadToWrite", Writer::HoldsOpen,
                                 milliseconds(300), Action::Save, true},
                      WriterCase{"LoadWhileEmptiedFor800ms", Writer::EmptiesThenStalls,
                                 milliseconds(800), Action::Load, true},
                      WriterCase{"LoadWhileCutAtALineEndFor150ms", Writer::WritesFirst4KThenStalls,
                                 milliseconds(150), Action::Load, true},
                      WriterCase{"LoadWhileHeldOpenFromReadToWrite", Writer::HoldsOpen,
                                 milliseconds(300), Action::Load, true},
                      // Quiet time alone: an emptied file waits longer than the tool stalls here.
                      WriterCase{"SaveByQuietTimeWhileEmptiedFor150ms", Writer::EmptiesThenStalls,
                                 milliseconds(150), Action::Save, false},
                      WriterCase{"LoadByQuietTimeWhileEmptiedFor150ms", Writer::EmptiesThenStalls,
                                 milliseconds(150), Action::Load, false}),
    [](const ::testing::TestParamInfo<WriterCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jnx
