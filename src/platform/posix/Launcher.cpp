#include "platform/Launcher.h"

#include "platform/System.h"
#include "platform/posix/ExecReport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string_view>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plimbury {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kEndingGrace = 1s;

bool isExecutableFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// What a started program runs, and how. Everything is made before fork:
// the child of a program with threads may only make async-signal-safe calls,
// so it cannot allocate.
struct Plan {
    std::string path;
    std::vector<char*> argv;
    int input = -1;    // standard input; -1 keeps ours
    int output = -1;   // standard output and error; -1 keeps ours
    pid_t endWith = 0; // SIGTERM when this parent's thread ends; 0 for none
    int descriptorLimit = 0;

    Plan(std::string executable, const std::vector<std::string>& args)
        : path(std::move(executable))
        , descriptorLimit(static_cast<int>(std::clamp(sysconf(_SC_OPEN_MAX), 256L, 65536L)))
    {
        argv.reserve(args.size() + 1);
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
    }
};

// A name with a "/" is passed on untouched, so that exec reports why it
// cannot be run; a bare name not found in PATH gives "".
std::string resolved(const std::string& program)
{
    return program.find('/') == std::string::npos ? findProgram(program) : program;
}

pid_t forkProcess()
{
    // fork() runs the atfork handlers of every library in the process, which
    // may take locks held by threads that do not exist in the child.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return _Fork();
#else
    return fork();
#endif
}

void report(int fd, int error)
{
    [[maybe_unused]] const ssize_t ignored = write(fd, &error, sizeof error);
}

void reap(pid_t pid, int* status = nullptr)
{
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
}

// In the child, so async-signal-safe calls only.
[[noreturn]] void execute(const Plan& plan, int reportFd)
{
    if (plan.endWith != 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // The parent may have gone before that took effect.
        if (getppid() != plan.endWith)
            _exit(0);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Ignored signals stay ignored across exec; a program started with
    // SIGPIPE ignored misbehaves.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig)
        if (sig != SIGKILL && sig != SIGSTOP)
            sigaction(sig, &byDefault, nullptr);

    if (plan.input >= 0)
        dup2(plan.input, 0);
    if (plan.output >= 0) {
        dup2(plan.output, 1);
        dup2(plan.output, 2);
    }
    // Descriptors of ours that lack close-on-exec (a lock file, a local
    // server socket) must not live on in the started program.
    bool marked = false;
#ifdef CLOSE_RANGE_CLOEXEC
    marked = close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0;
#endif
    if (!marked)
        for (int fd = 3; fd < plan.descriptorLimit; ++fd)
            if (fd != reportFd)
                fcntl(fd, F_SETFD, FD_CLOEXEC);

    execv(plan.path.c_str(), plan.argv.data());
    report(reportFd, errno);
    _exit(127);
}

struct Started {
    pid_t pid = -1;
    int error = 0;
};

// Starts the plan as a child of ours, or, `detached`, as a grandchild in a
// session of its own whose parent has already ended: init (or the session's
// subreaper) reaps it then, so no zombie is left whatever our SIGCHLD
// handling is. Returns once the exec has succeeded or failed.
Started start(const Plan& plan, bool detached)
{
    if (plan.path.empty())
        return {-1, ENOENT};
    // The child reports a failed exec through this pipe; a successful exec
    // closes it (close-on-exec) and the parent reads end of file.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return {-1, errno};

    const pid_t pid = forkProcess();
    if (pid == 0) {
        if (!detached)
            execute(plan, pipeFds[1]);
        setsid();
        const pid_t grandchild = forkProcess();
        if (grandchild == 0)
            execute(plan, pipeFds[1]);
        if (grandchild < 0)
            report(pipeFds[1], errno);
        _exit(0);
    }
    const int forkError = errno;
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return {-1, forkError};
    }
    const int error = readExecReport(pipeFds[0]);
    if (detached || error != 0) {
        reap(pid);
        return {-1, error};
    }
    return {pid, 0};
}

} // namespace

std::string findProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return isExecutableFile(name) ? name : std::string();
    std::string searchPath = environmentValue("PATH");
    if (searchPath.empty())
        searchPath = "/usr/local/bin:/usr/bin:/bin";
    std::string_view folders = searchPath;
    for (;;) {
        const std::size_t colon = folders.find(':');
        // An empty entry means the working folder.
        const std::string_view folder = colon == 0 || folders.empty() ? std::string_view(".") : folders.substr(0, colon);
        std::string candidate(folder);
        candidate.append(1, '/').append(name);
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        folders.remove_prefix(colon + 1);
    }
}

bool startDetached(const std::string& program, const std::vector<std::string>& args)
{
    if (program.empty())
        return false;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return start(Plan(resolved(program), argv), true).error == 0;
}

CommandResult runCommand(const std::vector<std::string>& argv, int timeoutMs)
{
    CommandResult result;
    if (argv.empty()) {
        result.startErrno = ENOENT;
        return result;
    }
    Plan plan(resolved(argv[0]), argv);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        result.startErrno = errno;
        return result;
    }
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    plan.input = input;
    plan.output = out[1];
    const Started started = input < 0 ? Started{-1, errno} : start(plan, false);
    if (input >= 0)
        close(input);
    close(out[1]);
    if (started.error != 0) {
        close(out[0]);
        result.startErrno = started.error;
        return result;
    }

    // A program that stays (one that became the running desktop instead of
    // passing the request on, say) must not hold the window's thread.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto remainingMs = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(left > 0 ? left : 0);
    };
    char buffer[4096];
    for (;;) {
        // Output left open by something the program started ends the
        // reading at the deadline too.
        pollfd waiting{out[0], POLLIN, 0};
        const int ready = poll(&waiting, 1, remainingMs());
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        result.output.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);

    int status = 0;
    for (;;) {
        const pid_t done = waitpid(started.pid, &status, WNOHANG);
        if (done == started.pid)
            break;
        if (done < 0 && errno != EINTR)
            return result;
        if (remainingMs() == 0) {
            kill(started.pid, SIGKILL);
            reap(started.pid);
            return result;
        }
        std::this_thread::sleep_for(5ms);
    }
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}

ChildProgram::ChildProgram(const std::string& path, const std::vector<std::string>& argv, int outputFd)
{
    Plan plan(path, argv);
    plan.output = outputFd;
    plan.endWith = getpid();
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0) {
        m_startError = errno;
        return;
    }
    plan.input = input;
    const Started started = start(plan, false);
    close(input);
    m_pid = started.pid;
    m_startError = started.error;
}

ChildProgram::ChildProgram(ChildProgram&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1))
    , m_startError(other.m_startError)
{
}

ChildProgram& ChildProgram::operator=(ChildProgram&& other) noexcept
{
    if (this != &other) {
        end();
        m_pid = std::exchange(other.m_pid, -1);
        m_startError = other.m_startError;
    }
    return *this;
}

std::optional<int> ChildProgram::endStatus()
{
    int status = 0;
    if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid)
        return std::nullopt;
    m_pid = -1;
    return status;
}

void ChildProgram::end() noexcept
{
    const pid_t pid = std::exchange(m_pid, -1);
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
            reap(pid);
            return;
        }
        std::this_thread::sleep_for(5ms);
    }
}

int readExecReport(int fd)
{
    int error = 0;
    ssize_t got;
    do {
        got = read(fd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got == 0)
        return 0;
    if (got < 0)
        return EIO;
    return error ? error : ENOEXEC;
}

} // namespace plimbury
