#include "platform/System.h"

#include "platform/UserFolders.h"
#include "platform/posix/ExecReport.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plimbury {

std::string executablePath()
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        // readlink does not say whether it cut the name short: only a result
        // shorter than the buffer is known to be whole.
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string executableFolder()
{
    const std::string path = executablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

const char* pathSeparator() { return "/"; }

std::string programDataFolder()
{
    const std::string beside = executableFolder();
    if (!beside.empty() && access(beside.c_str(), W_OK) == 0)
        return beside;
    const std::string own = userDataFolder() + "/plimbury";
    std::error_code ec;
    std::filesystem::create_directories(own, ec);
    return own;
}

void openDocument(const std::string& path)
{
    startDetached("xdg-open", {path});
}

namespace {

bool isExecutableFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// execvp's PATH search, done before fork: the search allocates, which a
// child of a threaded program must not do.
std::string resolveProgram(const std::string& program)
{
    if (program.empty())
        return {};
    if (program.find('/') != std::string::npos)
        return program;
    const char* searchPath = std::getenv("PATH");
    std::string_view folders = searchPath && *searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        const std::size_t colon = folders.find(':');
        // An empty entry means the working folder.
        const std::string_view folder = colon == 0 || folders.empty() ? std::string_view(".") : folders.substr(0, colon);
        std::string candidate;
        candidate.append(folder).append(1, '/').append(program);
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        folders.remove_prefix(colon + 1);
    }
}

pid_t forkInChild()
{
    // fork() runs the atfork handlers of every library in the process, which
    // may take locks held by threads that do not exist in this child.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return _Fork();
#else
    return fork();
#endif
}

// Only async-signal-safe calls from here on: the parent may have threads.
[[noreturn]] void runGrandchild(const char* path, char* const* argv, int reportFd, int descriptorLimit)
{
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

    // Descriptors of ours that lack close-on-exec (a lock file, a local
    // server socket) must not live on in the started program.
    bool marked = false;
#ifdef CLOSE_RANGE_CLOEXEC
    marked = close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0;
#endif
    if (!marked)
        for (int fd = 3; fd < descriptorLimit; ++fd)
            if (fd != reportFd)
                fcntl(fd, F_SETFD, FD_CLOEXEC);

    execv(path, argv);
    const int error = errno;
    [[maybe_unused]] const ssize_t ignored = write(reportFd, &error, sizeof error);
    _exit(127);
}

} // namespace

bool startDetached(const std::string& program, const std::vector<std::string>& args)
{
    const std::string path = resolveProgram(program);
    if (path.empty())
        return false;
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const long openMax = sysconf(_SC_OPEN_MAX);
    const int descriptorLimit = static_cast<int>(std::clamp(openMax, 256L, 65536L));

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it (close-on-exec) and the parent reads end of file.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;

    // Double fork: the middle process exits at once and is reaped here; the
    // program itself becomes a child of init (or of the session's subreaper),
    // which reaps it, so no zombie is left whatever our SIGCHLD handling is.
    const pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        close(report[0]);
        setsid();
        const pid_t grandchild = forkInChild();
        if (grandchild == 0)
            runGrandchild(path.c_str(), argv.data(), report[1], descriptorLimit);
        if (grandchild < 0) {
            const int error = errno;
            [[maybe_unused]] const ssize_t ignored = write(report[1], &error, sizeof error);
        }
        _exit(0);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return readExecReport(report[0]) == 0;
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

std::string systemScreenSaverFolder()
{
    for (const char* folder : {"/usr/libexec/xscreensaver", "/usr/lib/xscreensaver"}) {
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec))
            return folder;
    }
    return "/usr/bin";
}

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace plimbury
