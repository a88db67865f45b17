// Times Save of projects of 1,000, 10,000 and 100,000 wallpapers, into a new
// file and over the file of the same project; prints the best of several runs
// and the ratios between neighbouring sizes (near 10 when saving is linear in
// the entries; the smallest project fits the processor's caches, so its ratio
// comes out higher on most machines).

#include "BenchTiming.h"
#include "project/ProjectCommands.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace plimbury;
using bench::best;
using bench::Timing;

namespace {

ProjectState projectOf(int entries)
{
    ProjectState state;
    for (int i = 0; i < entries; ++i)
        state.wallpapers.push_back("/home/someone/Pictures/holidays/" + std::to_string(100000 + i) + " by the sea.jpg");
    for (int i = 0; i < 20; ++i)
        state.screensavers.push_back("/usr/lib/screensavers/saver" + std::to_string(i) + ".scr");
    state.wallpaper = IntervalGroup{{true, false, false}, {"5", "0", "0"}};
    state.screensaver = IntervalGroup{{false, true, false}, {"0", "2", "0"}};
    return state;
}

} // namespace

int main()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "plimbury-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    constexpr int kRuns = 7;

    constexpr int kSizes = 3;
    const int sizes[kSizes] = {1000, 10000, 100000};
    Timing fresh[kSizes];
    Timing over[kSizes];
    for (int s = 0; s < kSizes; ++s) {
        const ProjectState state = projectOf(sizes[s]);
        const std::string path = (dir / ("p" + std::to_string(sizes[s]) + ".lmv")).string();
        fresh[s] = best(kRuns, [&] { std::filesystem::remove(path); }, [&] { saveProject(path, state); });
        over[s] = best(kRuns, [&] { saveProject(path, state); });
        std::printf("save %6d entries (%7ju bytes): new file %8.2f ms (cpu %8.2f), over the same project %8.2f ms "
                    "(cpu %8.2f)\n",
                    sizes[s], static_cast<std::uintmax_t>(std::filesystem::file_size(path)), fresh[s].wall,
                    fresh[s].cpu, over[s].wall, over[s].cpu);
    }
    for (int s = 1; s < kSizes; ++s) {
        std::printf("ratio %d/%d: new file %.1f (cpu %.1f), over the same project %.1f (cpu %.1f)\n", sizes[s],
                    sizes[s - 1], fresh[s].wall / fresh[s - 1].wall, fresh[s].cpu / fresh[s - 1].cpu,
                    over[s].wall / over[s - 1].wall, over[s].cpu / over[s - 1].cpu);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
