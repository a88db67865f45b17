// One rotation tick at rest (nothing due) on a project of 5,000 wallpapers and
// 5,000 screen savers, as the program runs it every second: with the schedule
// keys kept while the project file is unchanged, and with the file parsed on
// every tick. Prints the time per tick, the ratio, and the share of one
// core that one tick a second costs. A due tick (apply step doing nothing,
// the file rewritten) is timed too, for scale.

#include "project/ProjectCommands.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

using namespace plimbury;

namespace {

constexpr int kEntries = 5000;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("plimbury-rotation-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "rest.lmv").string();

    ProjectState state;
    for (int i = 0; i < kEntries; ++i) {
        state.wallpapers.push_back("/home/someone/Pictures/holidays/2023/summer/IMG_" + std::to_string(100000 + i) +
                                   "_beach.jpg");
        state.screensavers.push_back("/usr/lib/xscreensaver/saver_" + std::to_string(100000 + i) + ".scr");
    }
    std::sort(state.wallpapers.begin(), state.wallpapers.end());
    std::sort(state.screensavers.begin(), state.screensavers.end());
    state.wallpaper.enabled[1] = true;   // every 24 hours
    state.wallpaper.texts[1] = "24";
    state.screensaver.enabled[2] = true; // every 3 days
    state.screensaver.texts[2] = "3";
    const LocalTime saved{2024, 3, 14, 10, 20, 0};
    saveAndRunProject(
        path, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); }, stampNumberText(saved));
    const LocalTime now{2024, 3, 14, 10, 21, 0};

    const ApplyStep apply = [](const std::string&) {};
    auto tickBoth = [&](RotationEngine& engine, bool& wallFirst, bool& saverFirst, const LocalTime& at) {
        engine.wallpaper.tick(engine.files, path, ChannelInput{state.wallpapers, state.wallpaper, apply}, wallFirst,
                              at);
        engine.screensaver.tick(engine.files, path, ChannelInput{state.screensavers, state.screensaver, apply},
                                saverFirst, at);
    };

    // Keys kept.
    RotationEngine engine;
    bool wallFirst = true, saverFirst = true;
    tickBoth(engine, wallFirst, saverFirst, now);
    const int keptTicks = 20000;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < keptTicks / 2; ++i)
        tickBoth(engine, wallFirst, saverFirst, now);
    const double kept = secondsSince(start) / keptTicks;
    const auto parses = engine.files.parseCount();

    // Parsed on every tick.
    const int freshTicks = 200;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < freshTicks / 2; ++i) {
        RotationEngine fresh;
        bool a = false, b = false;
        tickBoth(fresh, a, b, now);
    }
    const double parsed = secondsSince(start) / freshTicks;

    // A due change: the apply step does nothing, the file is rewritten.
    // One a day, 24 hours apart: each of them due.
    const int dueTicks = 20;
    int applied = 0;
    const ApplyStep counted = [&](const std::string&) { ++applied; };
    const std::int64_t firstDueDay = wallMinutes(LocalTime{2024, 3, 15, 11, 0, 0});
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < dueTicks; ++i) {
        bool first = false;
        engine.wallpaper.tick(engine.files, path, ChannelInput{state.wallpapers, state.wallpaper, counted}, first,
                              fromWallMinutes(firstDueDay + std::int64_t{i} * 24 * 60));
    }
    const double due = secondsSince(start) / dueTicks;
    if (applied != dueTicks) {
        std::fprintf(stderr, "only %d of %d due ticks changed the wallpaper\n", applied, dueTicks);
        return 1;
    }

    std::printf("project: %d wallpapers, %d screen savers, %ju bytes\n", kEntries, kEntries,
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    std::printf("tick at rest, keys kept:       %9.2f us  (%ju parse for %d ticks)\n", kept * 1e6,
                static_cast<std::uintmax_t>(parses), keptTicks + 2);
    std::printf("tick at rest, parsed each time: %8.2f us\n", parsed * 1e6);
    std::printf("ratio parsed/kept:             %9.0fx\n", parsed / kept);
    std::printf("share of one core at one tick a second: kept %.4f%%, parsed %.4f%%\n", kept * 100, parsed * 100);
    std::printf("due tick (file rewritten):     %9.2f ms\n", due * 1e3);

    std::filesystem::remove_all(folder);
    return 0;
}
