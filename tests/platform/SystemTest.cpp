#ifndef _WIN32

#include "platform/System.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace plimbury;
using plimbury::test::readFile;
using plimbury::test::ScopedEnv;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

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

TEST(SystemFolders, ExecutableAndItsFolder)
{
    const std::string path = executablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(fs::path(path).filename(), "platform_tests");
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
    EXPECT_EQ(executableFolder() + pathSeparator() + "platform_tests", path);
    // The build folder is writable, so the program's files stay beside it.
    EXPECT_EQ(programDataFolder(), executableFolder());
}

TEST(SystemFolders, ScreenSaverFolderExists)
{
    EXPECT_TRUE(fs::is_directory(systemScreenSaverFolder()));
}

TEST(SystemFolders, EnvironmentValue)
{
    {
        ScopedEnv set("PLIMBURY_TEST_VALUE", "a b=c");
        EXPECT_EQ(environmentValue("PLIMBURY_TEST_VALUE"), "a b=c");
    }
    EXPECT_EQ(environmentValue("PLIMBURY_TEST_VALUE"), "");
}

} // namespace

#endif
