// JPEG benchmarks, side by side with libjpeg-turbo's djpeg in the same run:
//  - full-size JPEG to BMP of 24 MP and 50 MP photo-like pictures (wall time,
//    peak resident memory above the program's idle size, pixel identity), and
//    of a 24 MP one whose EXIF orientation turns it on its side;
//  - the 24 MP picture to an 8-bit BMP against djpeg's one-pass reduction;
//  - the preview decode of the 24 MP picture against djpeg -scale 1/8;
//  - 200 pictures of 1600 x 1200 previewed for a 344 x 258 area.
// Every measured run is a child process, so wall time includes the start of a
// process for both programs alike. Peak memory: our children report their own
// VmHWM; djpeg's is ru_maxrss, which at exec also takes in the spawning
// process's peak, so everything large (making the pictures, comparing
// bitmaps) runs in children too and this process stays small.
//
// Usage: jpeg_bench [data folder] [runs]     (default: ./jpeg-bench-data, 3)
// The data folder keeps the generated pictures between runs.

#include "ChildRun.h"
#include "imaging/Jpeg.h"
#include "imaging/Picture.h"
#include "support/JpegEncode.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <time.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// ---- photo-like pictures ------------------------------------------------------

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Smooth random field: a grid of random values every `cell` pixels, bilinear between.
class Field {
public:
    Field(int width, int height, int cell, std::uint32_t seed)
        : m_cell(cell), m_columns(width / cell + 2)
    {
        const int rows = height / cell + 2;
        m_values.resize(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(rows));
        for (int y = 0; y < rows; ++y) {
            for (int x = 0; x < m_columns; ++x)
                m_values[static_cast<std::size_t>(y * m_columns + x)] = static_cast<int>(hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) & 255) - 128;
        }
    }
    // -128 .. 127
    int at(int x, int y) const
    {
        const int gx = x / m_cell, gy = y / m_cell;
        const int fx = x % m_cell, fy = y % m_cell;
        const int* row0 = &m_values[static_cast<std::size_t>(gy * m_columns + gx)];
        const int* row1 = row0 + m_columns;
        const int top = row0[0] * (m_cell - fx) + row0[1] * fx;
        const int bottom = row1[0] * (m_cell - fx) + row1[1] * fx;
        return (top * (m_cell - fy) + bottom * fy) / (m_cell * m_cell);
    }

private:
    int m_cell;
    int m_columns;
    std::vector<int> m_values;
};

std::uint8_t clamp8(int v)
{
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// Large soft colour areas, sharp-edged regions, mid-size texture and sensor
// noise: about the entropy of a camera picture at quality 90.
void writePhotoJpeg(const std::string& path, int width, int height, std::uint32_t seed, int orientation)
{
    const Field light(width, height, 397, seed);
    const Field hue(width, height, 613, seed + 1);
    const Field regions(width, height, 181, seed + 2);
    const Field texture(width, height, 23, seed + 3);
    const Field grain(width, height, 5, seed + 4);

    // Built whole in memory (150 MB at 50 MP): it runs in its own child
    // process, before and apart from anything measured.
    plimbury::Picture picture {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &picture.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3];
        for (int x = 0; x < width; ++x) {
            const int region = regions.at(x, y);
            const int edge = region > 20 ? 45 : region < -30 ? -35 : 0;
            const int l = 120 + light.at(x, y) / 2 + edge + texture.at(x, y) / 3 + grain.at(x, y) / 4
                + static_cast<int>(hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed) % 21) - 10;
            const int h = hue.at(x, y);
            std::uint8_t* px = &row[static_cast<std::size_t>(x) * 3];
            px[0] = clamp8(l + h / 2 + edge / 3);
            px[1] = clamp8(l - h / 5);
            px[2] = clamp8(l - h / 2 + region / 6);
        }
    }
    plimbury::test::JpegOptions options;   // quality 90, 4:2:0, baseline
    options.orientation = orientation > 1 ? orientation : 0;
    plimbury::test::writeJpegFile(path, picture, options);
}

// ---- child processes ----------------------------------------------------------

using plimbury::bench::ownPeakMiB;
using plimbury::bench::RunResult;
using plimbury::bench::Series;

std::string self;
std::string reportPath;   // where our children write their VmHWM

RunResult run(const std::vector<std::string>& args)
{
    return plimbury::bench::runChild(args, self, reportPath, false);
}

std::string ensurePhoto(const fs::path& folder, int width, int height, std::uint32_t seed, int orientation = 1)
{
    // The name carries what the picture is made of, so a changed generator makes new files.
    const fs::path path = folder / ("photo-v3-" + std::to_string(width) + "x" + std::to_string(height) + "-"
                                    + std::to_string(seed) + (orientation > 1 ? "-o" + std::to_string(orientation) : "") + ".jpg");
    if (!fs::exists(path)) {
        const std::string temp = path.string() + ".part";
        run({self, "generate", temp, std::to_string(width), std::to_string(height), std::to_string(seed),
             std::to_string(orientation)});
        fs::rename(temp, path);
    }
    return path.string();
}


class NullSink : public plimbury::RowSink {
public:
    void start(int, int) override {}
    void putRows(const std::uint8_t* const*, int) override {}
    void finish() override {}
};

int childWork(int argc, char** argv)
{
    const std::string mode = argv[1];
    if (mode == "idle")
        return 0;
    if (mode == "convert" && argc == 4) {
        plimbury::convertJpegToBmp(argv[2], argv[3]);
        return 0;
    }
    if (mode == "convert8" && argc == 4) {
        plimbury::convertJpegToBmp(argv[2], argv[3], plimbury::BmpColours::Palette);
        return 0;
    }
    if (mode == "decode" && argc == 3) {
        NullSink sink;
        plimbury::decodeJpegFile(argv[2], sink);
        return 0;
    }
    if (mode == "preview" && argc == 5) {
        const plimbury::Picture p = plimbury::loadPicture(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
        return p.width > 0 ? 0 : 1;
    }
    if (mode == "compare" && argc == 4) {
        const plimbury::Picture a = plimbury::readBmpFile(argv[2]);
        const plimbury::Picture b = plimbury::readBmpFile(argv[3]);
        return a.width == b.width && a.height == b.height && a.rgb == b.rgb ? 0 : 3;
    }
    if (mode == "generate" && argc == 7) {
        writePhotoJpeg(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), static_cast<std::uint32_t>(std::atoi(argv[5])),
                       std::atoi(argv[6]));
        return 0;
    }
    std::fprintf(stderr, "unknown child mode\n");
    return 2;
}

int childMain(int argc, char** argv)
{
    const int status = childWork(argc, argv);
    plimbury::bench::reportOwnPeak("JPEG_BENCH_REPORT");
    return status;
}

bool sameBitmaps(const std::string& a, const std::string& b)
{
    try {
        run({self, "compare", a, b});
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void benchConversion(const std::string& jpeg, const fs::path& folder, int runs, double idleMiB, const char* label)
{
    const std::string ours = (folder / "ours.bmp").string();
    const std::string theirs = (folder / "djpeg.bmp").string();
    Series convert, djpeg, decode;
    for (int i = 0; i < runs; ++i) {
        // Alternating, so a busy moment of the machine hits both alike.
        djpeg.runs.push_back(run({"djpeg", "-bmp", "-outfile", theirs, jpeg}));
        convert.runs.push_back(run({self, "convert", jpeg, ours}));
        decode.runs.push_back(run({self, "decode", jpeg}));
    }
    // djpeg does not turn pictures: for a turned one only time and memory compare.
    const bool turned = fs::path(jpeg).stem().string().find("-o") != std::string::npos;
    const bool identical = !turned && sameBitmaps(ours, theirs);
    const double bpp = static_cast<double>(fs::file_size(jpeg)) * 8.0 / (static_cast<double>(fs::file_size(ours) - 54) / 3.0);
    std::printf("\n%s JPEG to BMP (%s, %.2f bits/pixel), best (median) of %d:\n", label, fs::path(jpeg).filename().c_str(), bpp, runs);
    std::printf("  djpeg -bmp            %6.3f s (%6.3f), cpu %6.3f s, peak %7.1f MiB\n", djpeg.bestSeconds(),
                djpeg.medianSeconds(), djpeg.bestCpuSeconds(), djpeg.peakMiB());
    std::printf("  convertJpegToBmp      %6.3f s (%6.3f), cpu %6.3f s, peak %7.1f MiB = idle + %.1f MiB\n",
                convert.bestSeconds(), convert.medianSeconds(), convert.bestCpuSeconds(), convert.peakMiB(),
                convert.peakMiB() - idleMiB);
    std::printf("  streamed decode only  %6.3f s (%6.3f), cpu %6.3f s, peak %7.1f MiB\n", decode.bestSeconds(),
                decode.medianSeconds(), decode.bestCpuSeconds(), decode.peakMiB());
    std::printf("  ratio time ours/djpeg %.2f (median %.2f)   pixels identical to djpeg's: %s\n",
                convert.bestSeconds() / djpeg.bestSeconds(), convert.medianSeconds() / djpeg.medianSeconds(),
                turned ? "(turned, not compared)" : identical ? "yes" : "NO");
    fs::remove(ours);
    fs::remove(theirs);
}

// The 8-bit bitmap against libjpeg's own one-pass colour reduction (a cube
// and Floyd-Steinberg diffusion, as ours).
void benchPalette(const std::string& jpeg, const fs::path& folder, int runs, double idleMiB)
{
    const std::string ours = (folder / "ours8.bmp").string();
    const std::string theirs = (folder / "djpeg8.bmp").string();
    Series convert, djpeg;
    for (int i = 0; i < runs; ++i) {
        djpeg.runs.push_back(
            run({"djpeg", "-colors", "252", "-onepass", "-dither", "fs", "-bmp", "-outfile", theirs, jpeg}));
        convert.runs.push_back(run({self, "convert8", jpeg, ours}));
    }
    std::printf("\n24 MP JPEG to an 8-bit BMP (%s), best (median) of %d:\n", fs::path(jpeg).filename().c_str(), runs);
    std::printf("  djpeg -colors 252 -onepass -dither fs  %6.3f s (%6.3f), cpu %6.3f s, peak %7.1f MiB\n",
                djpeg.bestSeconds(), djpeg.medianSeconds(), djpeg.bestCpuSeconds(), djpeg.peakMiB());
    std::printf("  convertJpegToBmp (palette)             %6.3f s (%6.3f), cpu %6.3f s, peak %7.1f MiB = idle + %.1f MiB\n",
                convert.bestSeconds(), convert.medianSeconds(), convert.bestCpuSeconds(), convert.peakMiB(),
                convert.peakMiB() - idleMiB);
    std::printf("  ratio time ours/djpeg %.2f (median %.2f)\n", convert.bestSeconds() / djpeg.bestSeconds(),
                convert.medianSeconds() / djpeg.medianSeconds());
    fs::remove(ours);
    fs::remove(theirs);
}

void benchPreview(const std::string& jpeg, int runs)
{
    Series ours, djpeg;
    for (int i = 0; i < runs; ++i) {
        djpeg.runs.push_back(run({"djpeg", "-scale", "1/8", "-bmp", "-outfile", "/dev/null", jpeg}));
        ours.runs.push_back(run({self, "preview", jpeg, "344", "258"}));
    }
    double inProcess = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto started = Clock::now();
        const plimbury::Picture p = plimbury::loadPicture(jpeg, 344, 258);
        inProcess = std::min(inProcess, std::chrono::duration<double>(Clock::now() - started).count());
        if (i == 0)
            std::printf("\nPreview of the 24 MP picture (decoded at %d x %d), best (median) of %d:\n", p.width, p.height, runs);
    }
    std::printf("  djpeg -scale 1/8      %6.3f s (%6.3f), cpu %6.3f s\n", djpeg.bestSeconds(), djpeg.medianSeconds(),
                djpeg.bestCpuSeconds());
    std::printf("  loadPicture 344x258   %6.3f s (%6.3f), cpu %6.3f s; in process %.3f s\n", ours.bestSeconds(),
                ours.medianSeconds(), ours.bestCpuSeconds(), inProcess);
    std::printf("  ratio ours/djpeg      %.2f (median %.2f)\n", ours.bestSeconds() / djpeg.bestSeconds(),
                ours.medianSeconds() / djpeg.medianSeconds());
}

void benchManyPreviews(const fs::path& folder)
{
    const int count = 200;
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i)
        files.push_back(ensurePhoto(folder, 1600, 1200, 1000 + static_cast<std::uint32_t>(i)));
    const auto threadCpuMs = [] {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
    };
    std::vector<double> ms, cpuMs;
    for (const std::string& f : files) {
        const auto started = Clock::now();
        const double cpuStarted = threadCpuMs();
        const plimbury::Picture p = plimbury::loadPicture(f, 344, 258);
        cpuMs.push_back(threadCpuMs() - cpuStarted);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
        if (p.width != 400)
            throw std::runtime_error("unexpected preview size");
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (const double m : ms)
        sum += m;
    const long over = std::count_if(ms.begin(), ms.end(), [](double m) { return m >= 8.0; });
    Series djpeg;
    for (int i = 0; i < 20; ++i)
        djpeg.runs.push_back(run({"djpeg", "-scale", "1/4", "-bmp", "-outfile", "/dev/null", files[static_cast<std::size_t>(i)]}));
    std::printf("\n%d previews of 1600 x 1200 for 344 x 258 (decoded at 400 x 300), in process:\n", count);
    std::printf("  mean %.2f ms, median %.2f ms, slowest %.2f ms, %ld of %d at 8 ms or more\n", sum / count,
                sorted[sorted.size() / 2], sorted.back(), over, count);
    std::sort(cpuMs.begin(), cpuMs.end());
    std::printf("  cpu time: median %.2f ms, slowest %.2f ms\n", cpuMs[cpuMs.size() / 2], cpuMs.back());
    std::printf("  djpeg -scale 1/4 (a process each, 20 files): median %.2f ms, best %.2f ms, best cpu %.2f ms\n",
                djpeg.medianSeconds() * 1000, djpeg.bestSeconds() * 1000, djpeg.bestCpuSeconds() * 1000);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        self = fs::canonical("/proc/self/exe").string();
        if (std::getenv("JPEG_BENCH_REPORT"))
            return childMain(argc, argv);
        const fs::path folder = argc >= 2 ? fs::path(argv[1]) : fs::path("jpeg-bench-data");
        const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 3;
        fs::create_directories(folder);
        reportPath = fs::absolute(folder / "child-peak.txt").string();
        setenv("JPEG_BENCH_REPORT", reportPath.c_str(), 1);
        std::printf("Generating (or reusing) pictures in %s ...\n", folder.c_str());
        std::fflush(stdout);
        const std::string mp24 = ensurePhoto(folder, 6000, 4000, 24);
        const std::string mp50 = ensurePhoto(folder, 8660, 5775, 50);

        Series idle;
        for (int i = 0; i < runs; ++i)
            idle.runs.push_back(run({self, "idle"}));
        std::printf("Idle size of this program: %.1f MiB\n", idle.peakMiB());

        benchConversion(mp24, folder, runs, idle.peakMiB(), "24 MP");
        benchConversion(mp50, folder, runs, idle.peakMiB(), "50 MP");
        benchConversion(ensurePhoto(folder, 6000, 4000, 24, 6), folder, runs, idle.peakMiB(), "24 MP on its side (EXIF 6)");
        benchPalette(mp24, folder, runs, idle.peakMiB());
        benchPreview(mp24, runs);
        benchManyPreviews(folder);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jpeg_bench: %s\n", e.what());
        return 1;
    }
}
