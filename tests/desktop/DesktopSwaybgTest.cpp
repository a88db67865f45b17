// The swaybg backend's child, against a stand-in swaybg found first in PATH:
// a script that logs its arguments, works a while as if loading and scaling
// the picture, notes that it has drawn, then sleeps until it is ended. The
// real swaybg on a real compositor is tested by tests/e2e/wayland-wallpaper.sh.
#ifndef _WIN32

#include "desktop/DesktopBackend.h"
#include "support/ErrorOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plimbury;
using namespace plimbury::desktop;
using namespace plimbury::test;

namespace {

// FAKE_SWAYBG picks how it behaves: "" draws, "exit" cannot reach the
// compositor, "badpicture" says it cannot load the picture and stays.
constexpr const char* kFakeSwaybg = R"sh(#!/bin/sh
echo "start $$ $*" >>"$FAKE_SWAYBG_LOG"
trap 'echo "end $$" >>"$FAKE_SWAYBG_LOG"; exit 0' TERM
echo "2026-01-31 10:00:00 - [main.c:293] Found config * for output HEADLESS-1 ((null))" >&2
case "$FAKE_SWAYBG" in
exit)
  echo "2026-01-31 10:00:00 - [main.c:573] Unable to connect to the compositor." >&2
  exit 1 ;;
badpicture)
  echo "2026-01-31 10:00:00 - [background-image.c:30] Failed to load background image (bad)." >&2
  echo "2026-01-31 10:00:00 - [main.c:621] Failed to load image: $4" >&2
  echo "2026-01-31 10:00:00 - [main.c:621] Failed to load image: $4" >&2 ;;
*)
  i=0
  while [ $i -lt 40000 ]; do i=$((i + 1)); done
  echo "drawn $$" >>"$FAKE_SWAYBG_LOG" ;;
esac
# Short sleeps: the trap runs when one ends, and none outlives the script long.
while :; do sleep 0.2; done
)sh";

struct Scene {
    TempDir dir;
    std::string log = dir.file("log");
    std::string picture = dir.file("lumavue.bmp");
    ScopedEnv cache{"XDG_CACHE_HOME", dir.file("cache").c_str()};
    ScopedEnv logEnv{"FAKE_SWAYBG_LOG", log.c_str()};
    ScopedEnv path{"PATH", (dir.file("bin") + ":/usr/bin:/bin").c_str()};
    ScopedEnv mode{"FAKE_SWAYBG", nullptr};

    Scene()
    {
        std::filesystem::create_directories(dir.file("bin"));
        writeFile(dir.file("bin/swaybg"), kFakeSwaybg);
        chmod(dir.file("bin/swaybg").c_str(), 0755);
        writeFile(picture, "BM picture");
        writeFile(log, "");
    }
    std::string cached(int n) const { return dir.file("cache") + "/plimbury/wallpaper-" + std::to_string(n) + ".bmp"; }
    std::vector<std::string> events() const
    {
        std::vector<std::string> lines;
        std::istringstream in(readFile(log));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // The stand-in's lines with its process numbers replaced by the order in
    // which they started ("start 1 -m ...", "drawn 1", "end 1").
    std::vector<std::string> story() const
    {
        std::vector<std::string> pids;
        std::vector<std::string> told;
        for (const std::string& line : events()) {
            const std::size_t space = line.find(' ');
            const std::size_t after = line.find(' ', space + 1);
            const std::string pid = line.substr(space + 1, after == std::string::npos ? after : after - space - 1);
            std::size_t n = 0;
            while (n < pids.size() && pids[n] != pid)
                ++n;
            if (n == pids.size())
                pids.push_back(pid);
            told.push_back(line.substr(0, space) + " " + std::to_string(n + 1) +
                           (after == std::string::npos ? "" : line.substr(after)));
        }
        return told;
    }
    // Waits up to `seconds` for the stand-in's log to hold `line`.
    bool awaits(const std::string& line, int seconds = 5) const
    {
        for (int i = 0; i < seconds * 50; ++i) {
            for (const std::string& seen : story())
                if (seen == line)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
};

TEST(DesktopSwaybg, EachChangeStartsOneChildAndEndsThePreviousOnlyOnceTheNewOneHasDrawn)
{
    Scene scene;
    auto backend = makeSwaybgBackend();
    EXPECT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), kNoError);
    EXPECT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), kNoError);
    EXPECT_EQ(scene.story(), (std::vector<std::string>{
                                 "start 1 -m stretch -i " + scene.cached(0) + " -c #000000",
                                 "drawn 1",
                                 "start 2 -m stretch -i " + scene.cached(1) + " -c #000000",
                                 "drawn 2",
                                 "end 1",
                             }));
    EXPECT_EQ(readFile(scene.cached(1)), "BM picture") << "the picture under a fresh name";

    backend.reset();
    EXPECT_EQ(scene.story().back(), "end 2") << "the backend ends its child when it goes";
}

TEST(DesktopSwaybg, AFailedChangeIsReportedAndLeavesThePreviousChildDrawing)
{
    Scene scene;
    auto backend = makeSwaybgBackend();
    ASSERT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), kNoError);

    struct Failure {
        const char* mode;
        std::string error;
        std::vector<std::string> story;  // what the stand-in started for the change logged
    };
    const std::vector<Failure> failures{
        {"exit", "swaybg did not set the wallpaper (exit status 1): Unable to connect to the compositor.",
         {"start 2 -m stretch -i " + scene.cached(1) + " -c #000000"}},
        {"badpicture",
         "swaybg did not set the wallpaper: Failed to load background image (bad). Failed to load image: " +
             scene.cached(1),
         {"start 3 -m stretch -i " + scene.cached(1) + " -c #000000", "end 3"}},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.mode);
        ScopedEnv mode("FAKE_SWAYBG", f.mode);
        const std::size_t before = scene.story().size();
        EXPECT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), f.error);
        const std::vector<std::string> story = scene.story();
        EXPECT_EQ(std::vector<std::string>(story.begin() + static_cast<std::ptrdiff_t>(before), story.end()), f.story);
        // swaybg reads its picture again when an output comes: the running
        // one's must stay, and must stay the newest so the next change keeps it.
        EXPECT_TRUE(std::filesystem::exists(scene.cached(0))) << "the running child's picture is gone";
        EXPECT_FALSE(std::filesystem::exists(scene.cached(1))) << "the failed change's picture is left";
    }
    EXPECT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), kNoError);
    EXPECT_EQ(scene.story().back(), "end 1");

    ScopedEnv noSwaybg("PATH", scene.dir.file("cache").c_str());
    EXPECT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), "Cannot start swaybg. No such file or directory");
}

TEST(DesktopSwaybg, OneChildDrawsEachOfSwaysOutputsWithAPictureOfItsOwn)
{
    Scene scene;
    const std::string second = scene.dir.file("second.png");
    writeFile(second, "PNG second");
    // A stand-in swaymsg that lists two outputs, the right one first.
    writeFile(scene.dir.file("bin/swaymsg"),
              "#!/bin/sh\n[ \"$*\" = \"-r -t get_outputs\" ] || exit 2\n"
              "echo '[{\"name\": \"RIGHT 2\", \"active\": true, \"rect\": {\"x\": 640, \"y\": 0, \"width\": 640, \"height\": 480}},'\n"
              "echo ' {\"name\": \"LEFT-1\", \"active\": true, \"rect\": {\"x\": 0, \"y\": 0, \"width\": 640, \"height\": 480}}]'\n");
    chmod(scene.dir.file("bin/swaymsg").c_str(), 0755);
    const std::string cache = scene.dir.file("cache") + "/plimbury/";

    {
        ScopedEnv sway("SWAYSOCK", "/run/user/1000/sway-ipc.sock");
        auto backend = makeSwaybgBackend();
        EXPECT_EQ(backend->monitorCount(), 2);
        ASSERT_TRUE(backend->setLayout({FitMode::Center, {255, 0, 0}}));
        bool each = false;
        EXPECT_EQ(errorOf([&] { each = backend->showWallpapers({second, scene.picture, second}); }), kNoError);
        EXPECT_TRUE(each);
        EXPECT_EQ(scene.story(), (std::vector<std::string>{
                                     "start 1 -o LEFT-1 -m center -i " + cache + "wallpaper-0-1.png -c #ff0000 "
                                     "-o RIGHT 2 -m center -i " + cache + "wallpaper-0-2.bmp -c #ff0000",
                                     "drawn 1",
                                 }));
        EXPECT_EQ(readFile(cache + "wallpaper-0-2.bmp"), "BM picture");
    }
    writeFile(scene.log, "");

    // Elsewhere the outputs are not known: one picture everywhere, and the
    // hand-over is told so.
    ScopedEnv noSway("SWAYSOCK", nullptr);
    auto backend = makeSwaybgBackend();
    EXPECT_EQ(backend->monitorCount(), 1);
    bool each = true;
    EXPECT_EQ(errorOf([&] { each = backend->showWallpapers({second, scene.picture}); }), kNoError);
    EXPECT_FALSE(each);
    EXPECT_EQ(scene.story().front(), "start 1 -m stretch -i " + cache + "wallpaper-1.png -c #000000");
}

TEST(DesktopSwaybg, TheChildEndsWhenTheProgramIsKilled)
{
    Scene scene;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        close(ready[0]);
        auto backend = makeSwaybgBackend();
        if (errorOf([&] { backend->showWallpaper(scene.picture); }) != kNoError)
            _exit(1);
        [[maybe_unused]] const ssize_t told = write(ready[1], "1", 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char c = 0;
    const bool shown = read(ready[0], &c, 1) == 1;
    close(ready[0]);
    kill(program, SIGKILL);
    waitpid(program, nullptr, 0);
    ASSERT_TRUE(shown) << "the change failed in the program";
    EXPECT_TRUE(scene.awaits("end 1")) << "swaybg outlived the program";
}

} // namespace

#endif
