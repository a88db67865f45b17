// The picture composed for two monitors (the GSettings desktops' `monitors =
// each`) against the plain conversion of one picture, in the same run: two
// 3840 x 2160 monitors side by side from two 6000 x 4000 JPEGs, in each fit
// mode, and convertJpegToBmp() of one of those JPEGs. Every measured run is a
// child process reporting its own peak (VmHWM); the pictures are made by a
// child too, so this process stays small.
//
// Usage: compose_bench [data folder] [runs]     (default: ./compose-bench-data, 3)

#include "ChildRun.h"
#include "imaging/Compose.h"
#include "imaging/Jpeg.h"
#include "imaging/Picture.h"
#include "support/JpegEncode.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using plimbury::bench::RunResult;
using plimbury::bench::Series;

std::string self;
std::string reportPath;

RunResult run(const std::vector<std::string>& args)
{
    return plimbury::bench::runChild(args, self, reportPath, false);
}

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Soft gradients, bands and grain: a picture that costs a decoder about what
// a photo does (4 to 5 bits a pixel at quality 90).
void writePicture(const std::string& path, int width, int height, std::uint32_t seed)
{
    plimbury::Picture picture{width, height,
                              std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int grain = static_cast<int>(hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) % 41) - 20;
            const int band = ((x / 37 + y / 53 + static_cast<int>(seed)) % 5) * 12;
            std::uint8_t* px = &picture.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
            px[0] = static_cast<std::uint8_t>(std::clamp(x * 200 / width + band + grain, 0, 255));
            px[1] = static_cast<std::uint8_t>(std::clamp(y * 200 / height + grain, 0, 255));
            px[2] = static_cast<std::uint8_t>(std::clamp(180 - band + grain, 0, 255));
        }
    }
    plimbury::test::writeJpegFile(path, picture);
}

std::string ensurePicture(const fs::path& folder, std::uint32_t seed)
{
    const fs::path path = folder / ("picture-6000x4000-" + std::to_string(seed) + ".jpg");
    if (!fs::exists(path)) {
        const std::string temp = path.string() + ".part";
        run({self, "generate", temp, "6000", "4000", std::to_string(seed)});
        fs::rename(temp, path);
    }
    return path.string();
}

int childWork(int argc, char** argv)
{
    const std::string mode = argv[1];
    if (mode == "idle")
        return 0;
    if (mode == "convert" && argc == 4) {
        plimbury::convertJpegToBmp(argv[2], argv[3]);
        return 0;
    }
    if (mode == "compose" && argc == 6) {
        const std::optional<plimbury::FitMode> fit = plimbury::fitModeOf(argv[2]);
        if (!fit)
            return 2;
        plimbury::composePictures(7680, 2160, {{0, 0, 3840, 2160}, {3840, 0, 3840, 2160}}, {argv[4], argv[5]},
                                  {*fit, {}}, argv[3]);
        return 0;
    }
    if (mode == "generate" && argc == 6) {
        writePicture(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), static_cast<std::uint32_t>(std::atoi(argv[5])));
        return 0;
    }
    std::fprintf(stderr, "unknown child mode\n");
    return 2;
}

int childMain(int argc, char** argv)
{
    const int status = childWork(argc, argv);
    plimbury::bench::reportOwnPeak("COMPOSE_BENCH_REPORT");
    return status;
}

void print(const char* what, const Series& s, double idleMiB, double reference)
{
    std::printf("  %-34s %6.3f s (median %6.3f), cpu %6.3f s, peak %6.1f MiB = idle + %6.1f MiB, time / convert %.2f\n",
                what, s.bestSeconds(), s.medianSeconds(), s.bestCpuSeconds(), s.peakMiB(), s.peakMiB() - idleMiB,
                s.bestSeconds() / reference);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        self = fs::canonical("/proc/self/exe").string();
        if (std::getenv("COMPOSE_BENCH_REPORT"))
            return childMain(argc, argv);
        const fs::path folder = argc >= 2 ? fs::path(argv[1]) : fs::path("compose-bench-data");
        const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 3;
        fs::create_directories(folder);
        reportPath = fs::absolute(folder / "child-peak.txt").string();
        setenv("COMPOSE_BENCH_REPORT", reportPath.c_str(), 1);
        const std::string a = ensurePicture(folder, 1);
        const std::string b = ensurePicture(folder, 2);
        const std::string out = (folder / "out.bmp").string();
        // The program composes the converted bitmaps of the entries: read
        // row by row and shrunk on the way, as the JPEGs are by libjpeg.
        std::string bitmaps[2];
        for (int i = 0; i < 2; ++i) {
            bitmaps[i] = (folder / ("picture-6000x4000-" + std::to_string(i + 1) + ".bmp")).string();
            if (!fs::exists(bitmaps[i]))
                run({self, "convert", i == 0 ? a : b, bitmaps[i]});
        }

        const char* fits[] = {"stretch", "fill", "fit", "center", "tile"};
        Series idle, convert, compose[5], composeBitmaps;
        for (int i = 0; i < runs; ++i) {
            // In turn, so a busy moment of the machine hits all alike.
            idle.runs.push_back(run({self, "idle"}));
            convert.runs.push_back(run({self, "convert", a, out}));
            for (int f = 0; f < 5; ++f)
                compose[f].runs.push_back(run({self, "compose", fits[f], out, a, b}));
            composeBitmaps.runs.push_back(run({self, "compose", "fill", out, bitmaps[0], bitmaps[1]}));
        }
        fs::remove(out);
        std::printf("Two 6000 x 4000 JPEGs (%.1f and %.1f MiB; 68.7 MiB each decoded), best of %d; idle %.1f MiB\n",
                    static_cast<double>(fs::file_size(a)) / 1048576.0, static_cast<double>(fs::file_size(b)) / 1048576.0,
                    runs, idle.peakMiB());
        print("convertJpegToBmp, one picture", convert, idle.peakMiB(), convert.bestSeconds());
        for (int f = 0; f < 5; ++f) {
            const std::string what = std::string("compose 2 x 3840x2160, ") + fits[f];
            print(what.c_str(), compose[f], idle.peakMiB(), convert.bestSeconds());
        }
        print("compose from the bitmaps, fill", composeBitmaps, idle.peakMiB(), convert.bestSeconds());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "compose_bench: %s\n", e.what());
        return 1;
    }
}
