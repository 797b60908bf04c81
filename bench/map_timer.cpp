// Times programs from their start to the first map of their window on the X display, and
// reads how much memory they peak at.
//
//   map_timer RUNS PROGRAM [ARGS...] [--versus PROGRAM [ARGS...]]
//
// Each program is started once untimed (to fill the file and font caches), then RUNS
// times; with two programs their runs alternate, A B A B …, so that the machine's drift
// falls on both alike. A run ends at the first MapNotify of a window the program made
// that is a child of the root, not override-redirect and not a dialog (a window transient
// for another); the program is then ended (SIGTERM, SIGKILL after a grace), reaped and its
// peak resident set read. A program that exits first, maps nothing within 20 s or opens
// a dialog first (an error box) fails the whole measurement.
//
// Output, one line a program and with two programs one line more:
//   result a program=NAME runs=N median_ms=X min_ms=X max_ms=X peak_rss_mib=X
//   ratio a/b median=X
// Exit status: 0 measured, 1 a run failed, 2 wrong arguments or no display, 128 + the
// signal when stopped by one.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kMapTimeout = std::chrono::seconds(20);
constexpr auto kTermGrace = std::chrono::seconds(2);
constexpr std::string_view kVersus = "--versus";

volatile sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
    gStopSignal = signal;
}

// The program being timed, while there is one.
pid_t gChild = 0;

// The display went away (its server ended): end the program being timed too instead of
// leaving it behind, and stop; Xlib must not get control back.
int OnDisplayLost(Display* /*display*/) {
    if (gChild > 0) {
        kill(gChild, SIGKILL);
        waitpid(gChild, nullptr, 0);
    }
    std::fputs("map_timer: lost the connection to the display\n", stderr);
    std::_Exit(1);
}

// Xlib's default handler ends the process on any error; a window that is gone by the time
// its properties are read is to be expected here.
int IgnoreXError(Display* /*display*/, XErrorEvent* /*error*/) {
    return 0;
}

// The stop signals are blocked except while waiting, so that one that comes is seen by
// the next wait instead of being lost between a check and the wait.
struct SignalMasks {
    sigset_t original;  // what the started programs get
    sigset_t waiting;   // while waiting: the stop signals let through
};

SignalMasks CatchStopSignals() {
    SignalMasks masks{};
    sigset_t stop;
    sigemptyset(&stop);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stop, signal);
        sigaction(signal, &action, nullptr);
    }
    sigprocmask(SIG_BLOCK, &stop, &masks.original);
    masks.waiting = masks.original;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigdelset(&masks.waiting, signal);
    }
    return masks;
}

timespec TimeLeft(Clock::time_point deadline) {
    const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
}

// Through syscall: some C libraries lack the wrapper or declare it without C linkage.
int OpenPidfd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

struct Atoms {
    Atom pid;
    Atom name;
    Atom utf8;
};

// The process id the window's maker wrote on it: nothing when it wrote none, -1 when the
// window is gone.
std::optional<long> WindowPid(Display* display, Window window, const Atoms& atoms) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, atoms.pid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) != Success) {
        return -1;
    }
    std::optional<long> pid;
    if (type == XA_CARDINAL && format == 32 && count == 1) {
        // Xlib hands 32-bit items over as longs.
        pid = static_cast<long>(*reinterpret_cast<const unsigned long*>(data));
    }
    if (data != nullptr) {
        XFree(data);
    }
    return pid;
}

std::string WindowTitle(Display* display, Window window, const Atoms& atoms) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, atoms.name, 0, 256, False, atoms.utf8, &type, &format,
                           &count, &after, &data) == Success &&
        type == atoms.utf8 && format == 8) {
        title.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return title;
}

struct Program {
    std::vector<char*> argv;  // ends with a null pointer for exec
    std::string name;
    std::vector<double> millis;
    long peakRssKib = 0;
};

struct Ended {
    int status;
    long maxRssKib;
};

// Ends the child: SIGTERM, and SIGKILL when it is still there after the grace or a stop
// signal came; then reaps it.
Ended EndChild(pid_t pid, int pidfd, const SignalMasks& masks) {
    kill(pid, SIGTERM);
    const Clock::time_point deadline = Clock::now() + kTermGrace;
    bool exited = false;
    while (!exited && gStopSignal == 0) {
        pollfd fd{pidfd, POLLIN, 0};
        const timespec left = TimeLeft(deadline);
        const int ready = ppoll(&fd, 1, &left, &masks.waiting);
        if (ready == 0 || (ready < 0 && errno != EINTR)) {
            break;
        }
        exited = ready > 0;
    }
    if (!exited) {
        kill(pid, SIGKILL);
    }
    Ended ended{0, 0};
    rusage usage{};
    while (wait4(pid, &ended.status, 0, &usage) < 0 && errno == EINTR) {
    }
    ended.maxRssKib = usage.ru_maxrss;  // KiB on Linux
    return ended;
}

std::string ExitText(int status) {
    if (WIFEXITED(status)) {
        return "status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("signal ") + strsignal(WTERMSIG(status));
    }
    return "status " + std::to_string(status);
}

struct Run {
    double millis;
    long maxRssKib;
};

// Starts the program, waits for its window and ends it. Nothing when the run failed,
// after saying why.
std::optional<Run> RunOnce(Display* display, const Atoms& atoms, const Program& program,
                           const SignalMasks& masks) {
    const Window root = DefaultRootWindow(display);
    // What earlier runs left in the queue is not this run's.
    XSync(display, True);

    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("map_timer: fork");
        return std::nullopt;
    }
    if (pid == 0) {
        sigprocmask(SIG_SETMASK, &masks.original, nullptr);
        execvp(program.argv[0], program.argv.data());
        _exit(127);
    }
    gChild = pid;
    const int pidfd = OpenPidfd(pid);
    if (pidfd < 0) {
        std::perror("map_timer: pidfd_open");
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        gChild = 0;
        return std::nullopt;
    }

    const Clock::time_point deadline = start + kMapTimeout;
    std::optional<Clock::time_point> mapped;
    std::string failure;
    bool exited = false;
    while (!mapped && failure.empty()) {
        // XPending reads what has come in; the queue must be empty before waiting on the
        // connection.
        while (!mapped && failure.empty() && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify || event.xmap.event != root ||
                event.xmap.override_redirect) {
                continue;
            }
            const Clock::time_point now = Clock::now();
            const Window window = event.xmap.window;
            const std::optional<long> maker = WindowPid(display, window, atoms);
            if (maker && *maker != pid) {
                continue;  // an earlier run's, or gone
            }
            Window owner = None;
            if (XGetTransientForHint(display, window, &owner) != 0) {
                failure = "opened a dialog (\"" + WindowTitle(display, window, atoms) +
                          "\") before its window";
            } else {
                mapped = now;
            }
        }
        if (mapped || !failure.empty()) {
            break;
        }
        if (exited) {
            failure = "exited before mapping a window";
            break;
        }
        if (Clock::now() >= deadline) {
            failure = "mapped no window within " +
                      std::to_string(std::chrono::seconds(kMapTimeout).count()) + " s";
            break;
        }
        std::array<pollfd, 2> fds{{{ConnectionNumber(display), POLLIN, 0}, {pidfd, POLLIN, 0}}};
        const timespec left = TimeLeft(deadline);
        if (ppoll(fds.data(), fds.size(), &left, &masks.waiting) < 0 && errno != EINTR) {
            failure = std::string("ppoll: ") + std::strerror(errno);
            break;
        }
        if (gStopSignal != 0) {
            failure = std::string("stopped by ") + strsignal(gStopSignal);
            break;
        }
        // Events that came with the exit are still read before it counts.
        exited = (fds[1].revents & POLLIN) != 0;
    }

    const Ended ended = EndChild(pid, pidfd, masks);
    gChild = 0;
    close(pidfd);
    if (!failure.empty()) {
        std::fprintf(stderr, "map_timer: %s %s", program.name.c_str(), failure.c_str());
        if (exited) {
            std::fprintf(stderr, " (%s)", ExitText(ended.status).c_str());
        }
        std::fputc('\n', stderr);
        return std::nullopt;
    }
    return Run{std::chrono::duration<double, std::milli>(*mapped - start).count(), ended.maxRssKib};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int Usage() {
    std::fputs(
        "usage: map_timer RUNS PROGRAM [ARGS...] [--versus PROGRAM [ARGS...]]\n"
        "Times each program RUNS times (after one untimed start) from its start to the map of\n"
        "its first window on $DISPLAY; two programs are run alternately.\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        return Usage();
    }
    char* end = nullptr;
    errno = 0;
    const long runs = std::strtol(argv[1], &end, 10);
    if (errno != 0 || end == argv[1] || *end != '\0' || runs < 1 || runs > 100000) {
        return Usage();
    }
    std::vector<Program> programs(1);
    for (int i = 2; i < argc; ++i) {
        if (argv[i] == kVersus && programs.size() == 1) {
            programs.emplace_back();
        } else {
            programs.back().argv.push_back(argv[i]);
        }
    }
    for (Program& program : programs) {
        if (program.argv.empty()) {
            return Usage();
        }
        const std::string_view path = program.argv.front();
        const std::size_t slash = path.rfind('/');
        program.name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        program.argv.push_back(nullptr);
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "map_timer: cannot open display \"%s\"\n", XDisplayName(nullptr));
        return 2;
    }
    // The started programs open their own connection.
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(OnDisplayLost);
    const Atoms atoms{XInternAtom(display, "_NET_WM_PID", False),
                      XInternAtom(display, "_NET_WM_NAME", False),
                      XInternAtom(display, "UTF8_STRING", False)};
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const SignalMasks masks = CatchStopSignals();

    int status = 0;
    for (long run = -1; run < runs && status == 0; ++run) {
        for (Program& program : programs) {
            const std::optional<Run> result = RunOnce(display, atoms, program, masks);
            if (!result) {
                status = gStopSignal != 0 ? 128 + gStopSignal : 1;
                break;
            }
            if (run >= 0) {  // run -1 warms up
                program.millis.push_back(result->millis);
                program.peakRssKib = std::max(program.peakRssKib, result->maxRssKib);
            }
        }
    }
    XCloseDisplay(display);
    if (status != 0) {
        return status;
    }

    char label = 'a';
    for (const Program& program : programs) {
        const auto [least, most] =
            std::minmax_element(program.millis.begin(), program.millis.end());
        std::printf(
            "result %c program=%s runs=%zu median_ms=%.1f min_ms=%.1f max_ms=%.1f "
            "peak_rss_mib=%.1f\n",
            label++, program.name.c_str(), program.millis.size(), Median(program.millis), *least,
            *most, static_cast<double>(program.peakRssKib) / 1024.0);
    }
    if (programs.size() == 2) {
        std::printf("ratio a/b median=%.3f\n",
                    Median(programs[0].millis) / Median(programs[1].millis));
    }
    return 0;
}
