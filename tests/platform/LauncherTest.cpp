// Starting programs away from Windows: the PATH search, the detached start,
// the command waited for, and the child kept running.
#ifndef _WIN32

#include "platform/Launcher.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace plimbury;
using namespace plimbury::test;

namespace {

// Records its argument count and arguments, NUL-terminated, then the
// descriptors it holds into
// files beside itself. The results appear by rename, so a reader never sees
// half a file.
constexpr const char* kRecorder = "#!/bin/sh\n"
                                  "here=$(dirname \"$0\")\n"
                                  "ls /proc/$$/fd > \"$here/fds.tmp\"\n"
                                  "mv \"$here/fds.tmp\" \"$here/fds\"\n"
                                  "{ printf '%s\\0' $#; for a; do printf '%s\\0' \"$a\"; done; } > \"$here/args.tmp\"\n"
                                  "mv \"$here/args.tmp\" \"$here/args\"\n";

std::string makeRecorder(const TempDir& dir, const std::string& folderName)
{
    const fs::path folder = dir.path() / folderName;
    fs::create_directories(folder);
    const std::string script = (folder / "record.scr").string();
    writeFile(script, kRecorder);
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

// Waits for a file the started program writes; a generous limit, not a timing check.
bool waitForFile(const std::string& path)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::string> splitOnNul(const std::string& bytes)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        parts.push_back(bytes.substr(start, end - start));
    return parts;
}

// Processes whose parent is this test: a started program must not be one, and
// no zombie may be left behind.
std::vector<std::string> childrenOfThisProcess()
{
    std::vector<std::string> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readFile(entry.path().string() + "/stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = '?';
        int parent = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == getpid())
            children.push_back(name + " state " + state);
    }
    return children;
}

TEST(StartDetached, StartsTheProgramWithExactlyItsArguments)
{
    const std::vector<std::vector<std::string>> argumentSets = {
        {"-s"},
        {},
        {"two words", "$HOME", "*", "", "'single' \"double\"", "a;b|c&d", "caf\xC3\xA9"},
    };
    for (const auto& args : argumentSets) {
        SCOPED_TRACE(args.size());
        TempDir dir;
        const std::string script = makeRecorder(dir, "Screen Savers (test)");
        ASSERT_TRUE(startDetached(script, args));
        EXPECT_EQ(childrenOfThisProcess(), std::vector<std::string>{});
        ASSERT_TRUE(waitForFile(dir.file("Screen Savers (test)/args")));
        std::vector<std::string> expected = args;
        expected.insert(expected.begin(), std::to_string(args.size()));
        EXPECT_EQ(splitOnNul(readFile(dir.file("Screen Savers (test)/args"))), expected);
    }
}

TEST(StartDetached, LeavesNoZombieBehind)
{
    TempDir dir;
    const std::string script = makeRecorder(dir, "with blanks");
    ASSERT_TRUE(startDetached(script, {"-s"}));
    ASSERT_TRUE(waitForFile(dir.file("with blanks/args")));
    // The recorder has ended or is about to; whatever its state, it is not
    // ours to reap.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(childrenOfThisProcess(), std::vector<std::string>{});
}

TEST(StartDetached, TheProgramInheritsNoDescriptorOfOurs)
{
    TempDir dir;
    const std::string script = makeRecorder(dir, "fds");
    // A descriptor opened without close-on-exec, as a library might leave one.
    const int leaky = open(dir.file("fds").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(leaky, 0);
    const int high = dup2(leaky, 57);
    ASSERT_EQ(high, 57);
    const bool started = startDetached(script, {"-s"});
    close(leaky);
    close(high);
    ASSERT_TRUE(started);
    ASSERT_TRUE(waitForFile(dir.file("fds/args")));
    const std::string fds = "\n" + readFile(dir.file("fds/fds"));
    EXPECT_EQ(fds.find("\n57\n"), std::string::npos) << fds;
    EXPECT_EQ(fds.find("\n" + std::to_string(leaky) + "\n"), std::string::npos) << fds;
}

TEST(StartDetached, ReportsProgramsThatCannotBeStarted)
{
    TempDir dir;
    writeFile(dir.file("not executable.scr"), "#!/bin/sh\nexit 0\n");
    writeFile(dir.file("no interpreter.scr"), "#!/no/such/interpreter\n");
    fs::permissions(dir.file("no interpreter.scr"), fs::perms::owner_all);
    fs::create_directories(dir.file("a folder"));
    ScopedEnv path("PATH", "/usr/bin:/bin");

    for (const std::string& program : {dir.file("missing.scr"), dir.file("not executable.scr"),
                                       dir.file("no interpreter.scr"), dir.file("a folder"),
                                       std::string("no-such-program-on-the-path"), std::string()}) {
        SCOPED_TRACE(program);
        EXPECT_FALSE(startDetached(program, {"-s"}));
    }
    EXPECT_TRUE(startDetached("true", {})) << "a bare name is looked up in PATH";
    EXPECT_EQ(childrenOfThisProcess(), std::vector<std::string>{});
}

TEST(FindProgram, SearchesPathLikeExecvp)
{
    TempDir dir;
    for (const char* folder : {"a", "b", "c/tool"})
        fs::create_directories(dir.file(folder));
    writeFile(dir.file("a/tool"), "#!/bin/sh\n");
    chmod(dir.file("a/tool").c_str(), 0644);
    writeFile(dir.file("b/tool"), "#!/bin/sh\n");
    chmod(dir.file("b/tool").c_str(), 0755);
    chmod(dir.file("c/tool").c_str(), 0755);
    const std::string a = dir.file("a"), b = dir.file("b"), c = dir.file("c");

    struct Case {
        const char* what;
        std::string path;
        std::string name;
        std::string found;
    };
    for (const Case& k : {
             Case{"folders and unrunnable files are passed over", c + ":" + a + ":" + b, "tool", b + "/tool"},
             Case{"the first runnable one wins", b + ":" + a, "tool", b + "/tool"},
             Case{"an empty entry is the working folder", ":" + b, "no-such-tool-of-plimbury", ""},
             Case{"not in any folder", c + ":" + a + ":" + b, "no-such-tool-of-plimbury", ""},
             Case{"a path is taken as it is", a, b + "/tool", b + "/tool"},
             Case{"a path that cannot be run", b, a + "/tool", ""},
             Case{"a folder", b, c + "/tool", ""},
             Case{"no name", b, "", ""},
         }) {
        SCOPED_TRACE(k.what);
        ScopedEnv path("PATH", k.path.c_str());
        EXPECT_EQ(findProgram(k.name), k.found);
    }
}

// Exit status and output of what ran, why what could not start did not, and
// a program still running at the deadline stopped there.
TEST(RunCommand, ReportsStatusOutputOrWhyItCouldNotStartAndStopsAtTheDeadline)
{
    TempDir dir;
    writeFile(dir.file("not executable"), "#!/bin/sh\nexit 0\n");
    fs::create_directories(dir.file("folder"));
    ScopedEnv path("PATH", "/usr/bin:/bin");
    struct Case {
        std::vector<std::string> argv;
        int startErrno;
        int exitStatus;
        std::string output;
    };
    for (const Case& c : {
             Case{{"sh", "-c", "echo out; echo err >&2; exit 3"}, 0, 3, "out\nerr\n"},
             Case{{"sh", "-c", "read line; echo \"[$line]\""}, 0, 0, "[]\n"},
             Case{{"sh", "-c", "sleep 30"}, 0, -1, ""},
             Case{{"sh", "-c", "sleep 30 & echo started"}, 0, 0, "started\n"},
             Case{{}, ENOENT, -1, ""},
             Case{{""}, ENOENT, -1, ""},
             Case{{"no-such-program-of-plimbury"}, ENOENT, -1, ""},
             Case{{dir.file("missing")}, ENOENT, -1, ""},
             Case{{dir.file("not executable")}, EACCES, -1, ""},
             Case{{dir.file("folder")}, EACCES, -1, ""},
         }) {
        SCOPED_TRACE(c.argv.empty() ? "no argv" : c.argv.back());
        const CommandResult result = runCommand(c.argv, 500);
        EXPECT_EQ(result.startErrno, c.startErrno);
        EXPECT_EQ(result.exitStatus, c.exitStatus);
        EXPECT_EQ(result.output, c.output);
    }
    EXPECT_EQ(childrenOfThisProcess(), std::vector<std::string>{});
}

// A line of /proc/<pid>/status as the started program saw it.
std::string statusLine(const std::string& status, const std::string& key)
{
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + ":", 0) == 0)
            return line;
    return "(no " + key + ")";
}

// What a program started from here inherits of ours: signals we ignore or
// block and descriptors without close-on-exec must not reach it.
TEST(RunCommand, TheProgramStartsWithDefaultSignalsAndOnlyItsOwnDescriptors)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction oldPipe {};
    sigaction(SIGPIPE, &ignore, &oldPipe);
    sigset_t blocked, oldMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &oldMask);
    // A descriptor opened without close-on-exec, as a library might leave one.
    const int opened = open("/dev/null", O_RDONLY);
    const int leaky = dup2(opened, 57);

    const CommandResult status = runCommand({"cat", "/proc/self/status"}, 5000);
    const CommandResult fds = runCommand({"ls", "/proc/self/fd"}, 5000);

    close(opened);
    close(leaky);
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    ASSERT_EQ(leaky, 57);
    ASSERT_EQ(status.exitStatus, 0);
    EXPECT_EQ(statusLine(status.output, "SigIgn"), "SigIgn:\t0000000000000000");
    EXPECT_EQ(statusLine(status.output, "SigBlk"), "SigBlk:\t0000000000000000");
    ASSERT_EQ(fds.exitStatus, 0);
    // ls holds the folder it lists as descriptor 3.
    EXPECT_EQ(fds.output, "0\n1\n2\n3\n");
}

// The output of a child, written to a file of the test's.
struct OutputFile {
    TempDir dir;
    int fd = open(dir.file("output").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ~OutputFile() { close(fd); }
    std::string text() const { return readFile(dir.file("output")); }
};

// Waits for the child to end by itself; a generous limit, not a timing check.
std::optional<int> waitForEnd(ChildProgram& child)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        if (const std::optional<int> status = child.endStatus())
            return status;
        if (std::chrono::steady_clock::now() > giveUp)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool isOurChild(int pid)
{
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

TEST(ChildProgram, RunsWithInputFromNothingAndItsOutputWhereAsked)
{
    OutputFile output;
    ChildProgram child("/bin/sh", {"sh", "-c", "cat; echo \"$0 said\" >&2; exit 7", "it"}, output.fd);
    ASSERT_TRUE(child.running());
    EXPECT_EQ(child.startError(), 0);
    const std::optional<int> status = waitForEnd(child);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 7);
    EXPECT_EQ(output.text(), "it said\n");
    EXPECT_FALSE(child.running()) << "reaped: no longer ours";
    EXPECT_EQ(child.endStatus(), std::nullopt);
}

TEST(ChildProgram, TellsWhyItDidNotStart)
{
    TempDir dir;
    writeFile(dir.file("not executable"), "#!/bin/sh\n");
    struct Case {
        std::string path;
        int error;
    };
    for (const Case& c : {
             Case{dir.file("missing"), ENOENT},
             Case{dir.file("not executable"), EACCES},
             Case{"", ENOENT},
         }) {
        SCOPED_TRACE(c.path);
        ChildProgram child(c.path, {"x"}, 2);
        EXPECT_FALSE(child.running());
        EXPECT_EQ(child.pid(), -1);
        EXPECT_EQ(child.startError(), c.error);
    }
    EXPECT_EQ(childrenOfThisProcess(), std::vector<std::string>{});
}

TEST(ChildProgram, IsEndedAndReapedByEndTheDestructorAndAssignment)
{
    OutputFile output;
    // One that does not end when asked is killed after the grace.
    // (An ignored signal stays ignored across exec.)
    const std::vector<std::string> stubborn{"sh", "-c", "trap '' TERM; exec sleep 30"};
    int firstPid = -1;
    {
        ChildProgram first("/bin/sh", stubborn, output.fd);
        firstPid = first.pid();
        ASSERT_TRUE(isOurChild(firstPid));
        // Time for the trap to be set.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        first.end();
        EXPECT_FALSE(first.running());
        EXPECT_FALSE(isOurChild(firstPid));
    }
    const std::string sleep = findProgram("sleep");
    ChildProgram held(sleep, {"sleep", "30"}, output.fd);
    const int heldPid = held.pid();
    ChildProgram next(sleep, {"sleep", "30"}, output.fd);
    const int nextPid = next.pid();
    held = std::move(next);
    EXPECT_FALSE(isOurChild(heldPid)) << "the one held before is ended";
    EXPECT_EQ(held.pid(), nextPid);
    EXPECT_FALSE(next.running());
    {
        ChildProgram moved(std::move(held));
        EXPECT_EQ(moved.pid(), nextPid);
    }
    EXPECT_FALSE(isOurChild(nextPid));
    EXPECT_EQ(childrenOfThisProcess(), std::vector<std::string>{});
}

TEST(ChildProgram, EndsWithTheThreadThatStartedIt)
{
    OutputFile output;
    ChildProgram child;
    std::thread([&] { child = ChildProgram(findProgram("sleep"), {"sleep", "30"}, output.fd); }).join();
    ASSERT_NE(child.pid(), -1);
    const std::optional<int> status = waitForEnd(child);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGTERM);
}

} // namespace

#endif
