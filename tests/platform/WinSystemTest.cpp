// The system facilities against Windows itself (Wine in CI). Starting a
// program is checked with this test executable as the started program: run
// with PLIMBURY_ECHO_ARGS_TO set, its one disabled test writes down the
// arguments the C runtime handed it and ends the process.
#ifdef _WIN32

#include "platform/Launcher.h"
#include "platform/System.h"
#include "platform/win/CommandLine.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

using namespace plimbury;
using plimbury::test::readFile;
using plimbury::test::ScopedEnv;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace fs = std::filesystem;

namespace {

constexpr const char* kEchoVariable = "PLIMBURY_ECHO_ARGS_TO";

// Each argument as its length, a colon and its bytes: arguments may hold
// line breaks.
std::string encodeArguments(int argc, char** argv)
{
    std::string out;
    for (int i = 1; i < argc; ++i)
        out += std::to_string(std::string(argv[i]).size()) + ":" + argv[i];
    return out;
}

std::vector<std::string> decodeArguments(const std::string& text)
{
    std::vector<std::string> args;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t colon = text.find(':', at);
        const std::size_t length = std::stoul(text.substr(at, colon - at));
        args.push_back(text.substr(colon + 1, length));
        at = colon + 1 + length;
    }
    return args;
}

TEST(WinChildProcess, DISABLED_WritesItsArguments)
{
    const char* target = std::getenv(kEchoVariable);
    if (!target)
        GTEST_SKIP();
    // Written aside and renamed, so the parent never reads half of it; the
    // closing line tells the parent that it read the whole report.
    const std::string part = std::string(target) + ".part";
    writeFile(part, encodeArguments(__argc, __argv) + "\n");
    MoveFileExA(part.c_str(), target, MOVEFILE_REPLACE_EXISTING);
    // No summary of its own in the parent's output.
    ExitProcess(0);
}

// Starts `program` (a copy of this executable) and returns the arguments it
// received, or nullopt when it did not report within a minute.
std::optional<std::vector<std::string>> argumentsReceived(const std::string& program,
                                                          const std::vector<std::string>& args, bool& started)
{
    TempDir dir;
    const std::string report = dir.file("arguments");
    ScopedEnv echo(kEchoVariable, report.c_str());
    ScopedEnv filter("GTEST_FILTER", "WinChildProcess.DISABLED_WritesItsArguments");
    ScopedEnv disabled("GTEST_ALSO_RUN_DISABLED_TESTS", "1");
    ScopedEnv brief("GTEST_BRIEF", "1");
    started = startDetached(program, args);
    if (!started)
        return std::nullopt;
    for (int waited = 0; waited < 60000; waited += 50) {
        // Right after the rename Wine may still refuse to open the report
        // (the child's handle of the rename is open without shared delete):
        // a read that lacks the closing line is tried again.
        const std::string text = fs::exists(report) ? readFile(report) : std::string();
        if (!text.empty() && text.back() == '\n')
            return decodeArguments(text.substr(0, text.size() - 1));
        Sleep(50);
    }
    return std::nullopt;
}

// A running program cannot be deleted: the copy goes once the child is gone.
void removeWhenEnded(const std::string& program)
{
    for (int waited = 0; waited < 10000 && !DeleteFileA(program.c_str()); waited += 50)
        Sleep(50);
}

TEST(WinSystem, ScreenSaverTestRunStartsAProgramWhosePathHasBlanks)
{
    TempDir dir;
    // A screen saver is a program named .scr; the test run gives it -s alone.
    const fs::path folder = dir.path() / "Screen Savers (copy)";
    fs::create_directories(folder);
    const std::string saver = (folder / "My Saver 2.scr").string();
    fs::copy_file(executablePath(), saver);

    bool started = false;
    const auto received = argumentsReceived(saver, {"-s"}, started);
    removeWhenEnded(saver);
    ASSERT_TRUE(started);
    ASSERT_TRUE(received.has_value()) << "the program did not run";
    EXPECT_EQ(*received, std::vector<std::string>{"-s"});
}

TEST(WinSystem, StartedProgramReceivesEachArgumentWhole)
{
    TempDir dir;
    const std::string program = dir.file("echo args.exe");
    fs::copy_file(executablePath(), program);

    const std::vector<std::string> args = {
        "plain",
        "two words",
        "",
        "tab\there",
        "quote\"inside",
        "\"quoted\"",
        "trailing backslash\\",
        "C:\\Program Files\\",
        "\\\\server\\share\\file",
        "backslashes\\\\\"then quote",
        "\\\"",
        "line\nbreak",
    };
    bool started = false;
    const auto received = argumentsReceived(program, args, started);
    removeWhenEnded(program);
    ASSERT_TRUE(started);
    ASSERT_TRUE(received.has_value()) << "the program did not run";
    EXPECT_EQ(*received, args);
}

TEST(WinSystem, AProgramThatIsNotThereIsNotStarted)
{
    TempDir dir;
    EXPECT_FALSE(startDetached(dir.file("missing.scr"), {"-s"}));
    EXPECT_FALSE(startDetached("", {}));
}

TEST(WinSystem, CommandLineQuotesOnlyWhatNeedsIt)
{
    struct Case {
        std::string argument;
        std::string quoted;
    };
    for (const Case& c : std::vector<Case>{
             {"-s", "-s"},
             {"C:\\dir\\", "C:\\dir\\"},
             {"", "\"\""},
             {"a b", "\"a b\""},
             {"a\"b", "\"a\\\"b\""},
             {"a b\\", "\"a b\\\\\""},
             {"a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
         }) {
        EXPECT_EQ(win::quoteArgument(c.argument), c.quoted) << c.argument;
    }
    EXPECT_EQ(win::commandLine("C:\\Windows\\system32\\ssText3d.scr", {"-s"}),
              "\"C:\\Windows\\system32\\ssText3d.scr\" -s");
}

TEST(WinSystem, FoldersComeFromTheSystem)
{
    char system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    EXPECT_EQ(systemScreenSaverFolder(), system);
    EXPECT_TRUE(fs::is_directory(systemScreenSaverFolder()));

    const std::string exe = executablePath();
    EXPECT_TRUE(fs::is_regular_file(exe)) << exe;
    EXPECT_EQ(fs::path(exe).extension(), ".exe");
    EXPECT_EQ(executableFolder() + pathSeparator() + fs::path(exe).filename().string(), exe);
    EXPECT_STREQ(pathSeparator(), "\\");
    // The build folder is writable, so the program's files go beside it.
    EXPECT_EQ(programDataFolder(), executableFolder());
}

TEST(WinSystem, EnvironmentValuesAreReadAsSet)
{
    ScopedEnv set("PLIMBURY_TEST_VALUE", "C:\\some where");
    EXPECT_EQ(environmentValue("PLIMBURY_TEST_VALUE"), "C:\\some where");
    ScopedEnv unset("PLIMBURY_TEST_VALUE", nullptr);
    EXPECT_EQ(environmentValue("PLIMBURY_TEST_VALUE"), "");
}

} // namespace

#endif
