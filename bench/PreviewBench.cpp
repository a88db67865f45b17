// Benchmarks of the wallpaper editor's preview, side by side in one run:
//  1. the preview decode of a 24 MP photo-like JPEG (what the decoding thread
//     does for one request: the JPEG at the smallest DCT scale still covering
//     344 x 258, stretched to it) against `djpeg -scale 1/8` on the same file;
//  2. 200 pictures of 1600 x 1200 previewed one after another through the
//     editor's disk list, each waited for until it shows; two kinds of files,
//     heavy (a camera's finest quality) and ordinary, with djpeg -scale 1/4 on
//     the same files for scale, since the entropy decoding, which no scaling
//     avoids, grows with the file's size;
//  3. the longest pause of the window's event loop (gaps between the ticks of
//     a 5 ms timer) while 50 previews are requested in quick succession, next
//     to the longest pause of the same loop with nothing to do.
// Times are the best of several runs in wall time and in processor time (the
// machine may be shared; processor time is what the decode itself costs).
// djpeg runs as a process of its own, so its wall time includes a process start.
//
// Usage: preview_bench [data folder] [runs] [parts]
//        (default: ./preview-bench-data, 5, 123: which of the three to run)
// The data folder keeps the generated pictures between runs.

#include "widgets/DirectoryListBox.h"
#include "widgets/Dialogs.h"
#include "widgets/FileListBox.h"
#include "editors/PreviewLoader.h"
#include "widgets/SortedListBox.h"
#include "WindowBench.h"
#include "editors/Twall.h"
#include "imaging/Picture.h"
#include "support/JpegEncode.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double cpuSeconds(clockid_t which)
{
    timespec t{};
    clock_gettime(which, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double threadCpuSeconds()
{
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// Both threads of the preview: the window's and the decoder's.
double processCpuSeconds()
{
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

std::uint32_t mix(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// A photo-like picture: smooth colour areas, edges and sensor-like noise, so
// that the entropy decoder works about as hard as on a camera's picture.
void writePhoto(const fs::path& path, int width, int height, std::uint32_t seed, int quality, int noise = 12)
{
    if (fs::exists(path))
        return;
    const fs::path part = path.string() + ".part";
    plimbury::Picture picture {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    const double fx = 6.2831853 * (1.5 + (seed % 7) * 0.3) / width;
    const double fy = 6.2831853 * (1.0 + (seed % 5) * 0.4) / height;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &picture.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t n = mix(static_cast<std::uint32_t>(x) * 2654435761u ^
                                        static_cast<std::uint32_t>(y) * 40503u ^ seed * 97u);
            const int grain = static_cast<int>(n % static_cast<std::uint32_t>(2 * noise + 1)) - noise;
            const bool stripe = ((x / 37 + y / 53 + static_cast<int>(seed)) % 9) == 0;
            const double base = 128 + 70 * std::sin(x * fx + seed) * std::cos(y * fy);
            std::uint8_t* p = &row[static_cast<std::size_t>(x) * 3];
            p[0] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(base) + grain + (stripe ? 60 : 0), 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(255 - base) + grain, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(base * 0.5 + 60) + grain - (stripe ? 40 : 0), 0, 255));
        }
    }
    plimbury::test::JpegOptions options;
    options.quality = quality;
    plimbury::test::writeJpegFile(part.string(), picture, options);
    fs::rename(part, path);
}

struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
    void keepBest(double w, double c)
    {
        wall = std::min(wall, w);
        cpu = std::min(cpu, c);
    }
};

// One run of a program, waited for; wall time and the child's processor time.
Timing runProcess(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed");
    Timing t;
    t.wall = seconds(Clock::now() - start);
    t.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return t;
}

// Runs the event loop until `done` holds; sleeps while there is nothing to do,
// so the waiting costs no processor time the decoder could use.
bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void benchDecode(const fs::path& folder, int runs)
{
    const fs::path big = folder / "camera-24mp.jpg";
    writePhoto(big, 6000, 4000, 1, 92);
    std::printf("1. Preview decode of a 24 MP JPEG (6000 x 4000, %.1f MiB)\n",
                static_cast<double>(fs::file_size(big)) / (1024.0 * 1024.0));
    const QSize area(344, 258);
    const QImage check = PreviewLoader::decode(big.string(), area);
    if (check.size() != area)
        throw std::runtime_error("the preview has the wrong size");

    Timing ours, decodeOnly, djpeg;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        double cpu = threadCpuSeconds();
        const plimbury::Picture picture = plimbury::loadPicture(big.string(), area.width(), area.height());
        decodeOnly.keepBest(seconds(Clock::now() - start), threadCpuSeconds() - cpu);
        start = Clock::now();
        cpu = threadCpuSeconds();
        const QImage shown = PreviewLoader::decode(big.string(), area);
        ours.keepBest(seconds(Clock::now() - start), threadCpuSeconds() - cpu);
        const Timing theirs = runProcess({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", big.string()});
        djpeg.keepBest(theirs.wall, theirs.cpu);
    }
    std::printf("   decode alone (loadPicture) wall %7.1f ms   cpu %7.1f ms\n", decodeOnly.wall * 1e3, decodeOnly.cpu * 1e3);
    std::printf("   preview decode + stretch   wall %7.1f ms   cpu %7.1f ms\n", ours.wall * 1e3, ours.cpu * 1e3);
    std::printf("   djpeg -scale 1/8           wall %7.1f ms   cpu %7.1f ms\n", djpeg.wall * 1e3, djpeg.cpu * 1e3);
    std::printf("   ratio ours/djpeg           wall %7.2f      cpu %7.2f      (goal: within 1.1)\n",
                ours.wall / djpeg.wall, ours.cpu / djpeg.cpu);
}

struct Editor {
    QWidget mainWindow;
    SortedListBox* mainList = new SortedListBox(&mainWindow);
    Twall wall{&mainWindow, mainList};
    // The editor's own controls, found by their names.
    DirectoryListBox* folders = wall.findChild<DirectoryListBox*>(QStringLiteral("DirectoryListBox1"));
    FileListBox* files = wall.findChild<FileListBox*>(QStringLiteral("FileListBox1"));
    int shown = 0;
    Editor()
    {
        QObject::connect(&wall, &Twall::previewShown, [this](const QString&) { ++shown; });
        wall.showEditor();
    }
};

constexpr int kSeriesCount = 200;

// 200 pictures of 1600 x 1200 in folder/kind; returns their size in bytes.
std::uintmax_t makeSeries(const fs::path& folder, const std::string& kind, int quality, int noise)
{
    const fs::path series = folder / kind;
    fs::create_directories(series);
    std::uintmax_t bytes = 0;
    for (int i = 0; i < kSeriesCount; ++i) {
        const fs::path file = series / ("photo" + std::to_string(1000 + i) + ".jpg");
        writePhoto(file, 1600, 1200, 100 + static_cast<std::uint32_t>(i), quality, noise);
        bytes += fs::file_size(file);
    }
    return bytes;
}

// kind: a subfolder name; quality and noise: how heavy the files are to decode.
void benchSeries(const fs::path& folder, const std::string& kind, int quality, int noise, int runs)
{
    const fs::path series = folder / kind;
    const int count = kSeriesCount;
    const std::uintmax_t bytes = makeSeries(folder, kind, quality, noise);

    std::printf("2. %d pictures of 1600 x 1200 previewed one after another (%s: quality %d, %.0f KiB a file, %.2f bits a pixel)\n",
                count, kind.c_str(), quality, static_cast<double>(bytes) / count / 1024.0,
                static_cast<double>(bytes) * 8.0 / count / (1600.0 * 1200.0));
    {
        // The parts of one preview, on this thread, against djpeg's decode at the same scale.
        const std::string one = (series / "photo1000.jpg").string();
        const QSize area(344, 258);
        Timing decodeOnly, ours, djpeg;
        for (int i = 0; i < 20; ++i) {
            auto start = Clock::now();
            double cpu = threadCpuSeconds();
            const plimbury::Picture picture = plimbury::loadPicture(one, area.width(), area.height());
            decodeOnly.keepBest(seconds(Clock::now() - start), threadCpuSeconds() - cpu);
            start = Clock::now();
            cpu = threadCpuSeconds();
            const QImage shown = PreviewLoader::decode(one, area);
            ours.keepBest(seconds(Clock::now() - start), threadCpuSeconds() - cpu);
            const Timing theirs = runProcess({"djpeg", "-scale", "1/4", "-outfile", "/dev/null", one});
            djpeg.keepBest(theirs.wall, theirs.cpu);
        }
        std::printf("   one picture: decode alone  wall %6.2f ms   cpu %6.2f ms\n", decodeOnly.wall * 1e3, decodeOnly.cpu * 1e3);
        std::printf("   one picture: + stretch     wall %6.2f ms   cpu %6.2f ms\n", ours.wall * 1e3, ours.cpu * 1e3);
        std::printf("   djpeg -scale 1/4 (process) wall %6.2f ms   cpu %6.2f ms\n", djpeg.wall * 1e3, djpeg.cpu * 1e3);
    }
    Editor editor;
    editor.folders->setDirectory(QString::fromStdString(series.string()));
    if (editor.files->count() != count)
        throw std::runtime_error("the disk list does not show the series");
    double best = 1e9;
    double bestCpu = 1e9;
    double bestWindowCpu = 1e9;
    double worst = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const double cpu = processCpuSeconds();
        const double windowCpu = threadCpuSeconds();
        for (int row = 0; row < count; ++row) {
            const int before = editor.shown;
            const auto one = Clock::now();
            editor.files->setCurrentRow(row);
            if (!waitFor([&] { return editor.shown > before; }, 10000))
                throw std::runtime_error("a preview did not show");
            worst = std::max(worst, seconds(Clock::now() - one));
        }
        best = std::min(best, seconds(Clock::now() - start) / count);
        bestCpu = std::min(bestCpu, (processCpuSeconds() - cpu) / count);
        bestWindowCpu = std::min(bestWindowCpu, (threadCpuSeconds() - windowCpu) / count);
        editor.files->clearSelection();
    }
    std::printf("   per picture (best run)     wall %6.2f ms   cpu %6.2f ms (all threads; the window's %.2f ms)"
                "   slowest single one %.2f ms   (goal: under 8 ms)\n",
                best * 1e3, bestCpu * 1e3, bestWindowCpu * 1e3, worst * 1e3);
}

// Ticks of a 5 ms timer while `requests` previews are asked for, one every
// `spacingMs` (each its own event, as key presses are), until the last one shows.
void benchResponsiveness(const fs::path& folder, const std::string& subfolder, int requests, int spacingMs)
{
    Editor editor;
    editor.folders->setDirectory(QString::fromStdString((folder / subfolder).string()));
    const int rows = editor.files->count();

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 maxGap = 0;
    int ticks = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxGap = std::max(maxGap, now - last);
        last = now;
        ++ticks;
    });
    ticker.start(5);
    waitFor([&] { return ticks >= 10; }, 2000);
    // The same loop with nothing to do, for as long as the previews will take
    // about: on a busy machine the scheduler alone makes pauses.
    maxGap = 0;
    waitFor([] { return false; }, 500);
    const qint64 idleGap = maxGap;
    maxGap = 0;

    int asked = 0;
    qint64 longestRequest = 0;
    const double windowCpu = threadCpuSeconds();
    const qint64 began = clock.nsecsElapsed();
    auto ask = [&] {
        const qint64 before = clock.nsecsElapsed();
        editor.files->setCurrentRow(asked % rows);
        longestRequest = std::max(longestRequest, clock.nsecsElapsed() - before);
        ++asked;
    };
    QTimer asker;
    asker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&asker, &QTimer::timeout, [&] {
        if (asked < requests)
            ask();
    });
    asker.start(spacingMs);
    waitFor([&] { return asked >= requests && !editor.wall.previewBusy(); }, 60000);
    waitFor([] { return false; }, 50);
    const double windowShare = (threadCpuSeconds() - windowCpu) / (static_cast<double>(clock.nsecsElapsed() - began) / 1e9);
    std::printf("   %2d requests %-13s  %-17s longest pause %6.1f ms (idle %5.1f ms)   shown %2d   longest request %.2f ms"
                "   window thread busy %.0f%%\n",
                requests, (std::to_string(spacingMs) + " ms apart,").c_str(),
                subfolder.c_str(), static_cast<double>(maxGap) / 1e6, static_cast<double>(idleGap) / 1e6,
                editor.shown, static_cast<double>(longestRequest) / 1e6, windowShare * 100);
}

} // namespace

int main(int argc, char** argv)
{
    // Error reports are collected instead of shown, and printed at the end.
    const plimbury::bench::WindowBenchApp bench(argc, argv);
    struct PrintReports {
        ~PrintReports()
        {
            for (const dialogs::Shown& shown : dialogs::takeShown())
                std::fprintf(stderr, "error report: %s\n", shown.text.c_str());
        }
    } printReports;
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::path("preview-bench-data");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string parts = argc > 3 ? argv[3] : "123";
    auto part = [&](char which) { return parts.find(which) != std::string::npos; };
    try {
        fs::create_directories(folder);
        if (part('1'))
            benchDecode(folder, runs);
        if (part('2')) {
            benchSeries(folder, "series-1600x1200", 90, 12, std::max(1, runs / 2));
            benchSeries(folder, "series-1600x1200-q85", 85, 5, std::max(1, runs / 2));
        }
        if (!part('3'))
            return 0;
        makeSeries(folder, "series-1600x1200", 90, 12);
        const fs::path big = folder / "camera-24mp.jpg";
        writePhoto(big, 6000, 4000, 1, 92);
        // The 24 MP picture again, in a folder of its own, as the heaviest case.
        fs::create_directories(folder / "camera");
        if (!fs::exists(folder / "camera" / "camera-24mp.jpg"))
            fs::copy_file(folder / "camera-24mp.jpg", folder / "camera" / "camera-24mp.jpg");
        for (int i = 0; i < 3; ++i) {
            const fs::path copy = folder / "camera" / ("camera-24mp-" + std::to_string(i) + ".jpg");
            if (!fs::exists(copy))
                fs::copy_file(folder / "camera-24mp.jpg", copy);
        }
        std::printf("3. The window's event loop while previews are requested (5 ms timer; goal: no pause over 50 ms)\n");
        benchResponsiveness(folder, "series-1600x1200", 50, 5);
        benchResponsiveness(folder, "series-1600x1200", 50, 30);
        benchResponsiveness(folder, "camera", 50, 5);
        benchResponsiveness(folder, "camera", 50, 30);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "preview_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
