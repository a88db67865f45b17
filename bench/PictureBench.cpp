// Picture formats to the wallpaper bitmap, side by side in the same run with
// each format's own command-line decoder and with ImageMagick:
//  - convertPictureToBmp of a 24 MP and a 50 MP photo-like picture in PNG,
//    WebP (lossy and lossless), GIF, TIFF (8 bits, LZW), HEIC, AVIF and, for
//    reference, JPEG, written as lumavue.bmp;
//  - the bare decoder writing what it decodes to /dev/null: pngtopnm,
//    dwebp -ppm, giftopnm, tifftopnm, djpeg -ppm; heif-convert cannot write
//    there, so it writes a .y4m file (raw YCbCr, left unconverted: less work
//    than ours) in a memory file system;
//  - ImageMagick's convert writing PPM to /dev/null.
// Wall time is the best of the runs; peak memory the highest of them: our
// children report their own VmHWM, the other programs' is ru_maxrss, which at
// exec also takes in the spawning process's peak, so this process stays
// small (the pictures are made by convert in children too).
//
// The pictures: ImageMagick's plasma:fractal (seed 24) with Gaussian noise
// (-attenuate 0.4), kept as PPM and encoded by convert with its defaults but
// for the options in kFormats. Making them takes long (minutes for the AVIF
// ones); they are kept in the data folder between runs.
//
// Usage: picture_bench [data folder] [runs]   (default: ./picture-bench-data, 3)

#include "ChildRun.h"
#include "imaging/Decoders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Format {
    const char* label;
    const char* extension;
    const char* convertOptions;   // before the output, which is "<prefix>:<file>"
    const char* prefix;
    // The bare decoder: its arguments, "$IN" for the picture, "$OUT" for a
    // file in a memory file system where it cannot write to /dev/null.
    std::vector<std::string> decoder;
};

const std::vector<Format> kFormats = {
    {"JPEG", "jpg", "-quality 90", "JPG", {"djpeg", "-ppm", "-outfile", "/dev/null", "$IN"}},
    {"PNG", "png", "", "PNG24", {"pngtopnm", "$IN"}},
    {"WebP lossy", "lossy.webp", "-quality 90", "WEBP", {"dwebp", "-ppm", "-o", "/dev/null", "$IN"}},
    {"WebP lossless", "lossless.webp", "-define webp:lossless=true", "WEBP",
     {"dwebp", "-ppm", "-o", "/dev/null", "$IN"}},
    {"GIF", "gif", "", "GIF", {"giftopnm", "$IN"}},
    {"TIFF", "tif", "-depth 8 -compress lzw", "TIFF", {"tifftopnm", "$IN"}},
    {"HEIC", "heic", "-quality 90", "HEIC", {"heif-convert", "$IN", "$OUT.y4m"}},
    {"AVIF", "avif", "-quality 90", "AVIF", {"heif-convert", "$IN", "$OUT.y4m"}},
};

struct Size {
    const char* label;
    int width;
    int height;
};

const Size kSizes[] = {{"24 MP", 6000, 4000}, {"50 MP", 8660, 5775}};

// ---- child processes ----------------------------------------------------------

using plimbury::bench::ownPeakMiB;
using plimbury::bench::RunResult;
using plimbury::bench::Series;

std::string self;
std::string reportPath;   // where our children write their VmHWM

RunResult run(const std::vector<std::string>& args)
{
    return plimbury::bench::runChild(args, self, reportPath, true);
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::string word;
    for (const char c : text + " ") {
        if (c == ' ') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

// Makes `path` with the command unless it is there; through a temporary
// name, so an interrupted run leaves no half picture behind.
void make(const fs::path& path, std::vector<std::string> command)
{
    if (fs::exists(path))
        return;
    const std::string part = path.string() + ".part";
    std::printf("  making %s ...\n", path.filename().c_str());
    std::fflush(stdout);
    command.back() += part;
    run(command);
    fs::rename(part, path);
}

std::string ensurePicture(const fs::path& folder, const Size& size, const Format& format)
{
    const std::string dimensions = std::to_string(size.width) + "x" + std::to_string(size.height);
    const fs::path base = folder / ("base-" + dimensions + ".ppm");
    make(base, {"convert", "-size", dimensions, "-seed", "24", "plasma:fractal", "-attenuate", "0.4", "+noise",
                "Gaussian", "PPM:"});
    const fs::path path = folder / ("photo-" + dimensions + "." + format.extension);
    std::vector<std::string> command = {"convert", base.string()};
    for (const std::string& option : words(format.convertOptions))
        command.push_back(option);
    command.push_back(std::string(format.prefix) + ":");
    make(path, command);
    return path.string();
}


int childWork(int argc, char** argv)
{
    const std::string mode = argv[1];
    if (mode == "idle")
        return 0;
    if (mode == "convert" && argc == 4) {
        plimbury::convertPictureToBmp(argv[2], argv[3]);
        return 0;
    }
    std::fprintf(stderr, "unknown child mode\n");
    return 2;
}

int childMain(int argc, char** argv)
{
    int status = 1;
    try {
        status = childWork(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    plimbury::bench::reportOwnPeak("PICTURE_BENCH_REPORT");
    return status;
}

std::vector<std::string> decoderCommand(const Format& format, const std::string& picture, const fs::path& scratch)
{
    std::vector<std::string> command;
    for (std::string arg : format.decoder) {
        if (arg == "$IN")
            arg = picture;
        else if (arg.rfind("$OUT", 0) == 0)
            arg = (scratch / ("decoded" + arg.substr(4))).string();
        command.push_back(arg);
    }
    return command;
}

void benchSize(const Size& size, const fs::path& folder, const fs::path& scratch, int runs, double idleMiB)
{
    const double decodedMiB = static_cast<double>(size.width) * size.height * 3 / (1024.0 * 1024.0);
    std::printf("\n%s (%d x %d, %.0f MiB decoded), best of %d runs; peak memory in MiB, ours above its idle "
                "%.1f MiB in brackets:\n",
                size.label, size.width, size.height, decodedMiB, runs, idleMiB);
    std::printf("  %-14s %8s | %-13s %7s %7s | %7s %7s %7s | %7s %7s | %6s %6s | %9s\n", "format", "file MiB",
                "bare decoder", "time s", "peak", "ours s", "peak", "(rise)", "IM s", "peak", "/bare", "/IM",
                "peak/pic");
    const std::string bitmap = (scratch / "lumavue.bmp").string();
    for (const Format& format : kFormats) {
        const std::string picture = ensurePicture(folder, size, format);
        const std::vector<std::string> bare = decoderCommand(format, picture, scratch);
        Series ours, decoder, magick;
        for (int i = 0; i < runs; ++i) {
            // Alternating, so a busy moment of the machine hits all alike.
            decoder.runs.push_back(run(bare));
            ours.runs.push_back(run({self, "convert", picture, bitmap}));
            magick.runs.push_back(run({"convert", picture, "ppm:/dev/null"}));
        }
        for (const auto& entry : fs::directory_iterator(scratch))
            fs::remove(entry.path());
        std::printf("  %-14s %8.1f | %-13s %7.3f %7.1f | %7.3f %7.1f %7.1f | %7.3f %7.1f | %6.2f %6.2f | %9.2f\n",
                    format.label, static_cast<double>(fs::file_size(picture)) / (1024.0 * 1024.0),
                    format.decoder.front().c_str(), decoder.bestSeconds(), decoder.peakMiB(), ours.bestSeconds(),
                    ours.peakMiB(), ours.peakMiB() - idleMiB, magick.bestSeconds(), magick.peakMiB(),
                    ours.bestSeconds() / decoder.bestSeconds(), ours.bestSeconds() / magick.bestSeconds(),
                    ours.peakMiB() / decodedMiB);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    try {
        self = fs::canonical("/proc/self/exe").string();
        if (std::getenv("PICTURE_BENCH_REPORT"))
            return childMain(argc, argv);
        const fs::path folder = fs::absolute(argc >= 2 ? fs::path(argv[1]) : fs::path("picture-bench-data"));
        const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 3;
        fs::create_directories(folder);
        // The bitmaps and heif-convert's output go to memory, as a wallpaper
        // write's cost is not what is measured; /dev/shm where there is one.
        const fs::path scratch = (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
                                 ("picture-bench-" + std::to_string(getpid()));
        fs::create_directories(scratch);
        reportPath = (scratch.parent_path() / ("picture-bench-peak-" + std::to_string(getpid()))).string();
        setenv("PICTURE_BENCH_REPORT", reportPath.c_str(), 1);
        std::printf("Pictures in %s (made when missing)\n", folder.c_str());

        Series idle;
        for (int i = 0; i < runs; ++i)
            idle.runs.push_back(run({self, "idle"}));
        for (const Size& size : kSizes)
            benchSize(size, folder, scratch, runs, idle.peakMiB());
        fs::remove_all(scratch);
        fs::remove(reportPath);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "picture_bench: %s\n", e.what());
        return 1;
    }
}
