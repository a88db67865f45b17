// Wayland compositors with no interface of their own for the wallpaper: a
// swaybg child of this program draws it on the compositor's background layer
// for as long as it runs.
#include "desktop/DesktopBackend.h"

#include "platform/Error.h"
#include "platform/posix/ExecReport.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plimbury::desktop {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// swaybg says nothing once it has drawn. What shows it is done is that it
// sleeps, waiting for the compositor, after the busy work of starting,
// loading the picture and scaling it: asleep at this many samples in a row.
constexpr auto kSampleInterval = 20ms;
constexpr int kAsleepSamples = 4;
// One still busy after this (a huge picture on a slow machine) is taken as
// drawing all the same: the change must not hold the window for long.
constexpr auto kLongestWatch = 3s;
constexpr auto kEndingGrace = 1s;

// Where swaybg's messages go: a file in memory that it can write to for as
// long as it runs without ever blocking on a reader (a line or two for each
// output that comes), read back only while a change is watched.
class Log {
public:
    Log()
        : m_fd(memfd_create("swaybg-log", MFD_CLOEXEC))
    {
        if (m_fd < 0)
            m_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    }
    ~Log()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    int fd() const { return m_fd; }

    // Appends what was written since the last call.
    void readNew(std::string& text)
    {
        char buffer[4096];
        for (;;) {
            const ssize_t got = pread(m_fd, buffer, sizeof buffer, m_offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return;
            text.append(buffer, static_cast<std::size_t>(got));
            m_offset += got;
        }
    }

private:
    int m_fd;
    off_t m_offset = 0;
};

struct Started {
    pid_t pid = -1;
    int error = 0;  // why it could not be started
};

Started start(const std::string& program, const std::vector<std::string>& args, int logFd)
{
    // Everything the child needs is made here: after fork only
    // async-signal-safe calls are allowed, the program having threads.
    const char* path = program.c_str();
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    sigset_t none;
    sigemptyset(&none);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    const pid_t parent = getpid();

    Started started;
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    // A failed exec is reported through this pipe; a successful one closes
    // it (close-on-exec) and the parent reads end of file.
    int report[2];
    if (input < 0 || pipe2(report, O_CLOEXEC) != 0) {
        started.error = errno;
        if (input >= 0)
            close(input);
        return started;
    }

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Without the atfork handlers of every library, which may take locks
    // held by threads that do not exist in the child.
    const pid_t pid = _Fork();
#else
    const pid_t pid = fork();
#endif
    if (pid == 0) {
        // A program that crashes or is killed leaves no wallpaper drawer
        // behind; and it may have gone before this took effect.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(0);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // Ignored signals stay ignored across exec.
        for (int sig = 1; sig < NSIG; ++sig)
            if (sig != SIGKILL && sig != SIGSTOP)
                sigaction(sig, &byDefault, nullptr);
        dup2(input, 0);
        dup2(logFd, 1);
        dup2(logFd, 2);
        // Descriptors of ours without close-on-exec (a lock file, a local
        // server socket) must not live on in a program that outlives a change.
#ifdef CLOSE_RANGE_CLOEXEC
        close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif
        execve(path, argv.data(), environ);
        const int error = errno;
        [[maybe_unused]] const ssize_t ignored = write(report[1], &error, sizeof error);
        _exit(127);
    }
    const int forkError = errno;
    close(input);
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        started.error = forkError;
        return started;
    }
    if (const int error = readExecReport(report[0])) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        started.error = error;
        return started;
    }
    started.pid = pid;
    return started;
}

// The state letter of /proc/<pid>/stat ('R', 'S', 'D', 'Z'...); 0 when it
// cannot be read.
char processState(pid_t pid)
{
    const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[512];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    close(fd);
    if (got <= 0)
        return 0;
    // The command name in parentheses may hold anything, parentheses too.
    const std::string_view stat(buffer, static_cast<std::size_t>(got));
    const std::size_t nameEnd = stat.rfind(')');
    return nameEnd != std::string_view::npos && nameEnd + 2 < stat.size() ? stat[nameEnd + 2] : 0;
}

// Ends a child of ours and reaps it; one that has already ended is reaped.
void end(pid_t pid) noexcept
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    const Clock::time_point deadline = Clock::now() + kEndingGrace;
    for (;;) {
        const pid_t done = waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return;
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            return;
        }
        std::this_thread::sleep_for(5ms);
    }
}

// swaybg's lines ("2026-01-31 10:00:00 - [main.c:621] Failed to load image:
// x.bmp") without their time and source, each once, without the note of
// every output it found.
std::string tidied(const std::string& said)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < said.size()) {
        std::size_t stop = said.find('\n', begin);
        if (stop == std::string::npos)
            stop = said.size();
        std::string line = said.substr(begin, stop - begin);
        begin = stop + 1;
        if (const std::size_t source = line.find(" - ["); source != std::string::npos) {
            if (const std::size_t message = line.find("] ", source); message != std::string::npos)
                line.erase(0, message + 2);
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line.rfind("Found config", 0) == 0)
            continue;
        bool seen = false;
        for (const std::string& earlier : lines)
            seen = seen || earlier == line;
        if (!seen)
            lines.push_back(line);
    }
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : " ") + line;
    return text;
}

class SwaybgBackend final : public DesktopBackend {
public:
    SwaybgBackend() = default;
    ~SwaybgBackend() override { end(m_drawing); }
    SwaybgBackend(const SwaybgBackend&) = delete;
    SwaybgBackend& operator=(const SwaybgBackend&) = delete;

    void showWallpaper(const std::string& path) override
    {
        const std::string program = findProgram("swaybg");
        if (program.empty())
            throw Error("Cannot start swaybg. " + systemErrorText(ENOENT));
        // swaybg opens the picture again whenever an output appears or
        // changes, so it needs a name that keeps its picture for as long as
        // it runs: "lumavue.bmp" is replaced at the next change, and the
        // user's own file may be edited or removed.
        const std::string shown = freshWallpaperPath(path, wallpaperCacheFolder());
        // After a failed change the picture of the swaybg still running must
        // stay the newest, or the next change would remove it.
        auto refused = [&](const std::string& text) {
            unlink(shown.c_str());
            return Error(text);
        };
        Log log;
        const Started started = start(program, {"swaybg", "-m", "stretch", "-i", shown}, log.fd());
        if (started.error != 0)
            throw refused("Cannot start swaybg. " + systemErrorText(started.error));

        std::string said;
        int asleep = 0;
        const Clock::time_point deadline = Clock::now() + kLongestWatch;
        for (;;) {
            std::this_thread::sleep_for(kSampleInterval);
            int status = 0;
            if (waitpid(started.pid, &status, WNOHANG) == started.pid) {
                log.readNew(said);
                std::string text = "swaybg did not set the wallpaper";
                if (WIFEXITED(status))
                    text += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
                else
                    text += " (ended by signal " + std::to_string(WTERMSIG(status)) + ")";
                if (const std::string message = tidied(said); !message.empty())
                    text += ": " + message;
                throw refused(text);
            }
            // Sampled before the messages are read: what it wrote before
            // falling asleep is then there to be read.
            asleep = processState(started.pid) == 'S' ? asleep + 1 : 0;
            log.readNew(said);
            // It stays running without a picture it cannot load.
            if (said.find("Failed to load") != std::string::npos) {
                end(started.pid);
                throw refused("swaybg did not set the wallpaper: " + tidied(said));
            }
            if (asleep >= kAsleepSamples || Clock::now() >= deadline)
                break;
        }

        // Only now: a compositor may put the new surface under the old one
        // (sway does), and ending the old one first would bare the screen.
        end(m_drawing);
        m_drawing = started.pid;
    }

private:
    pid_t m_drawing = -1;
};

} // namespace

std::unique_ptr<DesktopBackend> makeSwaybgBackend()
{
    return std::make_unique<SwaybgBackend>();
}

} // namespace plimbury::desktop
