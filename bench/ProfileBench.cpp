// Times the writes of a project save (counttime, countitem, switem, ssitem in
// that order) on one ProfileFile, then its flush, for 1,000 and 10,000
// wallpaper entries: into a new file, over a project file of the same size, and
// into a file whose [switem] is empty and followed by other sections (every
// key is then new and lands in the middle of the file). Prints the best of
// several runs and the 10k/1k ratio, which stays near 10 when the cost is
// linear in the entries.

#include "BenchTiming.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using plimbury::ProfileFile;
using plimbury::bench::Timing;

namespace {

// About 60 bytes, as a picture deep in a user's folders; `project` varies
// the names without changing their length.
std::string pathOf(int project, int i)
{
    return "/home/someone/Pictures/holidays/2023/summer/IMG_" + std::to_string(100000 * project + i) + "_beach.jpg";
}

void save(const std::string& file, int entries, int project = 1)
{
    const int savers = std::max(1, entries / 100);
    ProfileFile profile(file);
    profile.write("counttime", "swtime", "minute");
    profile.write("counttime", "swrefreshtime", "5");
    profile.write("counttime", "sw_no", "0");
    profile.write("counttime", "setup_swminute", "0");
    profile.write("counttime", "setup_sw_minute", "2403141025");
    profile.write("counttime", "sstime", "hour");
    profile.write("counttime", "ssrefreshtime", "2");
    profile.write("countitem", "sscount", std::to_string(savers));
    profile.write("countitem", "swcount", std::to_string(entries));
    for (int i = 0; i < entries; ++i)
        profile.write("switem", "sw" + std::to_string(i), pathOf(project, i));
    for (int i = 0; i < savers; ++i)
        profile.write("ssitem", "ss" + std::to_string(i), "/usr/lib/screensavers/saver" + std::to_string(i) + ".scr");
    profile.flush();
}

enum class Start { NewFile, SameSize, EmptyMiddleSection };

Timing timeSave(const std::string& file, int entries, Start start)
{
    const auto prepare = [&] {
        if (start == Start::NewFile)
            std::filesystem::remove(file);
        // Another project of the same size: every write replaces a value.
        if (start == Start::SameSize) {
            std::filesystem::remove(file);
            save(file, entries, 2);
        }
        if (start == Start::EmptyMiddleSection) {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << "[counttime]\r\nswtime=minute\r\n[countitem]\r\nswcount=0\r\n[switem]\r\n"
                   "[ssitem]\r\nss0=/usr/lib/screensavers/saver0.scr\r\n";
        }
    };
    return plimbury::bench::best(entries >= 10000 ? 7 : 21, prepare, [&] { save(file, entries); });
}

} // namespace

int main()
{
    char pattern[] = "/tmp/plimbury-profile-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string file = dir + "/project.lmv";

    const struct {
        const char* name;
        Start start;
    } scenarios[] = {
        {"new file", Start::NewFile},
        {"over a project of the same size", Start::SameSize},
        {"into an empty middle [switem]", Start::EmptyMiddleSection},
    };
    std::printf("%-32s %10s %10s %10s %10s %9s %9s\n", "save of N wallpapers", "1k wall", "10k wall", "1k cpu",
                "10k cpu", "wall x", "cpu x");
    for (const auto& s : scenarios) {
        const Timing small = timeSave(file, 1000, s.start);
        const Timing large = timeSave(file, 10000, s.start);
        std::printf("%-32s %8.2fms %8.2fms %8.2fms %8.2fms %9.1f %9.1f\n", s.name, small.wall, large.wall, small.cpu,
                    large.cpu, large.wall / small.wall, large.cpu / small.cpu);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
