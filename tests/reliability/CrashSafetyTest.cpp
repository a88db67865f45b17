// A process that dies in the middle of writing (power cut, kill, crash) must
// leave every file it owns whole: the previous content or the new one, never a
// mix and never a cut-off file. A child process writes in a loop, alternating
// two known contents, and is killed with SIGKILL at a random moment; after
// every kill the files are compared byte for byte with the two contents and
// parsed again. Hundreds of kills, spread over the whole write cycle.

#include "ReliabilitySupport.h"

#include "imaging/Jpeg.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace plimbury {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A project big enough that one write spans many pages.
ProjectState projectVariant(char which)
{
    ProjectState state;
    for (int i = 0; i < 500; ++i) {
        state.wallpapers.push_back(which == 'a' ? "C:\\Pictures\\holiday\\" + std::to_string(i) + ".jpg"
                                                : "/home/user/Pictures/b-" + std::to_string(i * 7) + ".bmp");
    }
    for (int i = 0; i < 20; ++i)
        state.screensavers.push_back(std::string(which == 'a' ? "C:\\Windows\\" : "/usr/lib/") + std::to_string(i) + ".scr");
    state.wallpaper.enabled = {which == 'a', which != 'a', false};
    state.wallpaper.texts = {"5", "2", "0"};
    state.screensaver.enabled = {false, false, true};
    state.screensaver.texts = {"0", "0", which == 'a' ? "3" : "12"};
    return state;
}

void storeSelected(const std::string& folder, const std::string& value)
{
    const auto key = makeFileStore(folder)->openKey(Root::LocalMachine, kProgramKey);
    if (!key)
        throw std::runtime_error("cannot open the program's key in " + folder);
    key->write(kSelectedValue, value);
}

// Runs `step(i)` for i = first, first + 1, ... in a child until it is killed.
pid_t startWriter(const std::function<void(int)>& step, int first)
{
    const pid_t pid = fork();
    if (pid == 0) {
        // Never back into the test framework: the child only writes.
        try {
            for (int i = first;; ++i)
                step(i);
        } catch (...) {
            _exit(3);
        }
    }
    return pid;
}

struct KillReport {
    int kills = 0;
    std::vector<int> seen;   // how often each known content was found
};

// Kills `rounds` writers, each after a random delay up to `window`, and calls
// `check` after each; `check` returns which known content it found (or -1).
// `step(i)` writes content i % 2; each writer starts with the content the
// files do not hold yet, so its first step already replaces them.
KillReport killRepeatedly(const std::function<void(int)>& step, const std::function<int()>& check, int rounds,
                          std::chrono::microseconds window, int holding)
{
    KillReport report;
    report.seen.assign(2, 0);
    testing::Test::RecordProperty("kill_window_us", static_cast<int>(window.count()));
    std::mt19937 rng(20240314);
    std::uniform_int_distribution<long> delay(0, window.count());
    for (int round = 0; round < rounds; ++round) {
        const pid_t pid = startWriter(step, holding + 1);
        if (pid < 0) {
            ADD_FAILURE() << "fork failed";
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status)) {
            ADD_FAILURE() << "the writer stopped on its own, status " << status;
            break;
        }
        ++report.kills;
        const int found = check();
        if (found < 0) {
            ADD_FAILURE() << "after kill " << report.kills << " the file is neither content";
            break;
        }
        ++report.seen[static_cast<std::size_t>(found)];
        holding = found;
    }
    testing::Test::RecordProperty("found_first_content", report.seen[0]);
    testing::Test::RecordProperty("found_second_content", report.seen[1]);
    return report;
}

int whichOf(const std::string& bytes, const std::vector<std::string>& known)
{
    const auto it = std::find(known.begin(), known.end(), bytes);
    return it == known.end() ? -1 : static_cast<int>(it - known.begin());
}

// The span to draw the kill moments from: the start of a child and three
// whole write cycles, so kills land before, inside and between writes.
std::chrono::microseconds killWindow(const std::function<void(int)>& step)
{
    constexpr int count = 6;
    auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        step(i);
    const auto cycle = (Clock::now() - start) / count;
    start = Clock::now();
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(0);
        waitpid(pid, nullptr, 0);
    }
    const auto childStart = (Clock::now() - start) / count;
    return std::chrono::duration_cast<std::chrono::microseconds>(childStart + 3 * cycle);
}

std::size_t leftoverTemporaries(const std::string& folder)
{
    const auto names = test::filesIn(folder);
    return static_cast<std::size_t>(std::count_if(names.begin(), names.end(), [](const std::string& n) {
        return n.find(".tmp") != std::string::npos;
    }));
}

TEST(CrashSafety, ProjectFileAndStoreAreOldOrNewAfterEveryKill)
{
    const auto temp = test::memoryTempDir();
    const test::TempDir& dir = *temp;
    const std::string project = dir.file("show.lmv");
    const std::string storeFolder = dir.file("store");
    const std::string storeFile = storeFolder + "/HKEY_LOCAL_MACHINE.ini";
    const ProjectState variants[] = {projectVariant('a'), projectVariant('b')};
    const std::string selected[] = {project, dir.file("other project.lmv")};

    // Both contents once, so the file holds every key from then on and each
    // content has exactly one byte form.
    std::vector<std::string> projectBytes;
    std::vector<std::string> storeBytes;
    for (int i = 0; i < 2; ++i) {
        saveProject(project, variants[i]);
        storeSelected(storeFolder, selected[i]);
        projectBytes.push_back(test::readFile(project));
        storeBytes.push_back(test::readFile(storeFile));
    }
    ASSERT_NE(projectBytes[0], projectBytes[1]);
    ASSERT_GT(projectBytes[0].size(), 3 * 4096u);

    const auto step = [&](int i) {
        saveProject(project, variants[i % 2]);
        storeSelected(storeFolder, selected[i % 2]);
    };
    const auto window = killWindow(step);

    const auto check = [&]() -> int {
        const int p = whichOf(test::readFile(project), projectBytes);
        const int s = whichOf(test::readFile(storeFile), storeBytes);
        if (p < 0 || s < 0)
            return -1;
        // And it still reads as a project.
        const LoadedProject loaded = loadProject(project);
        if (loaded.wallpapers != variants[p].wallpapers || loaded.screensavers != variants[p].screensavers)
            return -1;
        return p;
    };
    const KillReport report = killRepeatedly(step, check, 300, window, whichOf(test::readFile(project), projectBytes));
    EXPECT_EQ(report.kills, 300);
    // Kills landed all over the cycle: both contents were caught often.
    EXPECT_GT(report.seen[0], 30);
    EXPECT_GT(report.seen[1], 30);
    RecordProperty("leftover_temporary_files", static_cast<int>(leftoverTemporaries(dir.path().string())
                                                                + leftoverTemporaries(storeFolder)));
}

TEST(CrashSafety, WallpaperBitmapIsNeverHalfWritten)
{
    const auto temp = test::memoryTempDir();
    const test::TempDir& dir = *temp;
    const std::string jpegs[] = {dir.file("wide.jpg"), dir.file("tall.jpg")};
    test::writeFile(jpegs[0], test::makeJpeg(400, 250, 1));
    test::writeFile(jpegs[1], test::makeJpeg(250, 300, 2));
    const std::string bitmap = dir.file("lumavue.bmp");

    std::vector<std::string> known;
    for (const std::string& jpeg : jpegs) {
        convertJpegToBmp(jpeg, bitmap);
        known.push_back(test::readFile(bitmap));
    }
    ASSERT_NE(known[0].size(), known[1].size());

    const auto step = [&](int i) { convertJpegToBmp(jpegs[i % 2], bitmap); };
    const auto window = killWindow(step);
    const KillReport report = killRepeatedly(step, [&] { return whichOf(test::readFile(bitmap), known); }, 200,
                                             window, whichOf(test::readFile(bitmap), known));
    EXPECT_EQ(report.kills, 200);
    EXPECT_GT(report.seen[0], 20);
    EXPECT_GT(report.seen[1], 20);
    const std::size_t leftovers = leftoverTemporaries(dir.path().string());
    RecordProperty("leftover_temporary_files", static_cast<int>(leftovers));

    // What the killed writers left behind is removed by the next run's first
    // conversion once it is old enough that no writer can still be at work on it.
    const auto longAgo = fs::file_time_type::clock::now() - staleAfter - std::chrono::minutes(1);
    for (const std::string& name : test::filesIn(dir.path().string())) {
        if (name.find(".tmp") != std::string::npos)
            fs::last_write_time(dir.file(name), longAgo);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        convertJpegToBmp(jpegs[0], bitmap);
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(leftoverTemporaries(dir.path().string()), 0u) << leftovers << " left by the killed writers";
    EXPECT_EQ(test::readFile(bitmap), known[0]);
}

} // namespace
} // namespace plimbury
