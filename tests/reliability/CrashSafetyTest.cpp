// A process that dies in the middle of writing (power cut, kill, crash) must
// leave every file it owns whole: the previous content or the new one, never a
// mix and never a cut-off file. A child process writes in a loop, alternating
// two known contents, and is killed with SIGKILL at a random moment; after
// every kill the files are compared byte for byte with the two contents and
// parsed again. Hundreds of kills, spread over the whole write cycle however
// busy the machine is: the kill delay follows how far the writers got.

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

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ostream>

#include <poll.h>
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

// A writer child: runs `step(i)` for i = holding + 1, holding + 2, ... until
// it is killed, and tells the test through `progress` when it has started and
// each time a step has ended (one byte each).
struct Writer {
    pid_t pid = -1;
    int progress = -1;   // the reading end
};

Writer startWriter(const std::function<void(int)>& step, int holding)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        // Never back into the test framework: the child only writes.
        close(fds[0]);
        const auto tell = [&] {
            if (write(fds[1], "+", 1) != 1)
                _exit(4);
        };
        try {
            // A new process runs its first step many times slower than the
            // next ones, as every page it writes to is still shared with the
            // test and is copied first. So it first writes what the files
            // already hold and only then says it has started: the kills fall
            // on steps that run at their usual pace.
            step(holding);
            tell();
            for (int i = holding + 1;; ++i) {
                step(i);
                tell();
            }
        } catch (...) {
            _exit(3);
        }
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return {};
    }
    return {pid, fds[0]};
}

// Whether the writer said it has started, waiting up to a minute: a loaded
// machine may take long to run a new process, never that long.
bool writerStarted(const Writer& writer)
{
    pollfd fd {writer.progress, POLLIN, 0};
    int ready;
    do
        ready = poll(&fd, 1, 60'000);
    while (ready < 0 && errno == EINTR);
    char byte = 0;
    return ready == 1 && read(writer.progress, &byte, 1) == 1;
}

// Steps the writer ended before it died; its end of the pipe is closed then,
// so this reads to the end.
int stepsEnded(const Writer& writer)
{
    int count = 0;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(writer.progress, buffer, sizeof buffer);
        if (n > 0)
            count += static_cast<int>(n);
        else if (n == 0 || errno != EINTR)
            return count;
    }
}

// Files the writers may leave when killed between creating their temporary
// file and renaming it over the target.
std::size_t leftoverTemporaries(const std::string& folder)
{
    const auto names = test::filesIn(folder);
    return static_cast<std::size_t>(std::count_if(names.begin(), names.end(), [](const std::string& n) {
        return n.find(".tmp") != std::string::npos;
    }));
}

std::size_t leftoverTemporaries(const std::vector<std::string>& folders)
{
    std::size_t count = 0;
    for (const std::string& folder : folders)
        count += leftoverTemporaries(folder);
    return count;
}

// What the kills must have caught: each content `eachContent` times and the
// inside of a write `insideWrites` times. Killing goes on for at least
// `minimumKills` and until that is caught, but stops at `maximumKills` or after
// `budget`, whichever comes first; the test fails if it was not caught by then.
struct KillGoal {
    int minimumKills;
    int eachContent;
    int insideWrites;
    int maximumKills;
    std::chrono::seconds budget {300};
};

struct KillReport {
    int kills = 0;
    int foundOld = 0;       // the files held what they held when the writer started
    int foundNew = 0;       // the other content: the writer's last finished step
    int insideWrite = 0;    // a new temporary file was left: the kill came between its creation and the rename
    std::chrono::microseconds lastWindow {0};

    bool caught(const KillGoal& goal) const
    {
        return std::min(foundOld, foundNew) >= goal.eachContent && insideWrite >= goal.insideWrites;
    }
};

std::ostream& operator<<(std::ostream& out, const KillReport& r)
{
    return out << r.kills << " kills: old content " << r.foundOld << ", new content " << r.foundNew
               << ", inside a write " << r.insideWrite << ", last kill window " << r.lastWindow.count() << " us";
}

// One step as this process runs it now, as the first kill window's unit.
std::chrono::microseconds stepTime(const std::function<void(int)>& step)
{
    constexpr int count = 6;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        step(i);
    return std::max(std::chrono::microseconds(1),
                    std::chrono::duration_cast<std::chrono::microseconds>((Clock::now() - start) / count));
}

// Kills writers, each after a random delay once it has started, and calls
// `check` after each; `check` returns which known content it found (or -1).
// `step(i)` writes content i % 2; once started, each writer goes on with the
// content the files do not hold yet, so its first step already replaces them.
// The writers' temporary files are looked for in `folders`.
//
// The delay is drawn from [0, window], and the window follows what the kills
// find rather than a measurement taken once: the time a step takes here
// changes many times over with the load of the machine, which would otherwise
// push every kill before the first write ends or long after it. A kill before
// any step ended widens the window, one after three or more narrows it; that
// settles at about four steps, where none, one, two and three or more ended
// steps are about as likely, so kills land all over the write cycle.
KillReport killRepeatedly(const std::function<void(int)>& step, const std::function<int()>& check,
                          const std::vector<std::string>& folders, const KillGoal& goal)
{
    KillReport report;
    double window = 4.0 * static_cast<double>(stepTime(step).count());   // microseconds
    int holding = check();
    if (holding < 0) {
        ADD_FAILURE() << "the files are neither content before the first kill";
        return report;
    }
    std::size_t temporaries = leftoverTemporaries(folders);
    std::mt19937 rng(20240314);
    const auto begin = Clock::now();
    while ((report.kills < goal.minimumKills || !report.caught(goal)) && report.kills < goal.maximumKills
           && Clock::now() - begin < goal.budget) {
        const Writer writer = startWriter(step, holding);
        if (writer.pid < 0) {
            ADD_FAILURE() << "cannot start a writer: " << std::strerror(errno);
            break;
        }
        const bool started = writerStarted(writer);
        if (started) {
            std::uniform_real_distribution<double> delay(0.0, window);
            std::this_thread::sleep_for(std::chrono::microseconds(std::lround(delay(rng))));
        }
        kill(writer.pid, SIGKILL);
        int status = 0;
        waitpid(writer.pid, &status, 0);
        const int ended = stepsEnded(writer);
        close(writer.progress);
        if (!started) {
            ADD_FAILURE() << "the writer did not start within a minute, status " << status;
            break;
        }
        if (!WIFSIGNALED(status)) {
            ADD_FAILURE() << "the writer stopped on its own, status " << status;
            break;
        }
        ++report.kills;
        const int found = check();
        if (found < 0) {
            ADD_FAILURE() << "after kill " << report.kills << " (" << ended << " steps ended) the files are "
                          << "neither content";
            break;
        }
        ++(found == holding ? report.foundOld : report.foundNew);
        holding = found;
        const std::size_t nowLeft = leftoverTemporaries(folders);
        if (nowLeft > temporaries)
            ++report.insideWrite;
        temporaries = nowLeft;

        if (ended == 0)
            window *= 1.2;
        else if (ended >= 3)
            window /= 1.2;
        window = std::clamp(window, 1.0, 1e6);
    }
    report.lastWindow = std::chrono::microseconds(std::lround(window));
    testing::Test::RecordProperty("kills", report.kills);
    testing::Test::RecordProperty("found_old_content", report.foundOld);
    testing::Test::RecordProperty("found_new_content", report.foundNew);
    testing::Test::RecordProperty("kills_inside_a_write", report.insideWrite);
    testing::Test::RecordProperty("last_kill_window_us", static_cast<int>(report.lastWindow.count()));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
    testing::Test::RecordProperty("killing_ms", static_cast<int>(took.count()));
    return report;
}

int whichOf(const std::string& bytes, const std::vector<std::string>& known)
{
    const auto it = std::find(known.begin(), known.end(), bytes);
    return it == known.end() ? -1 : static_cast<int>(it - known.begin());
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
    // The writes are a small part of a step (reading the file and building
    // the new text take most of it): about one kill in 12 lands inside one,
    // one in 50 under the sanitizers, so one such kill is asked for.
    const KillGoal goal {300, 30, 1, 3000};
    const KillReport report = killRepeatedly(step, check, {dir.path().string(), storeFolder}, goal);
    // Kills landed all over the cycle: both contents and the inside of writes were caught.
    EXPECT_TRUE(report.caught(goal)) << report;
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
    const KillGoal goal {200, 20, 20, 2000};
    const KillReport report =
        killRepeatedly(step, [&] { return whichOf(test::readFile(bitmap), known); }, {dir.path().string()}, goal);
    EXPECT_TRUE(report.caught(goal)) << report;
    const std::size_t leftovers = leftoverTemporaries(dir.path().string());
    ASSERT_GT(leftovers, 0u) << "no writer was killed inside a write: nothing to clean up";

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
