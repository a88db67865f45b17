// Adding a whole folder at once: the wallpaper editor's disk list holding
// N files, all selected (Ctrl+A), then Add into a chosen list that already
// holds N lines. Wall time of the Add click, the best of several runs, for
// N = 1,000 and 10,000 side by side: the ratio shows whether the insertion
// grows with N (about 10) or with N squared (about 100).
//
// Usage: add_many_bench [runs]   (default 5)

#include "WindowBench.h"
#include "editors/Twall.h"
#include "support/TempDir.h"
#include "widgets/Dialogs.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

double bestAddSeconds(int files, int runs)
{
    plimbury::test::TempDir dir;
    for (int i = 0; i < files; ++i)
        std::ofstream(dir.file("photo-" + std::to_string(i * 7919 % files) + ".jpg")) << 'x';
    std::vector<std::string> already;
    for (int i = 0; i < files; ++i)
        already.push_back("/already/there/picture-" + std::to_string(i) + ".jpg");

    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        QWidget mainWindow;
        SortedListBox mainList;
        Twall editor(&mainWindow, &mainList);
        auto* disk = editor.findChild<FileListBox*>(QStringLiteral("FileListBox1"));
        auto* chosen = editor.findChild<SortedListBox*>(QStringLiteral("FileListBox2"));
        disk->setDirectory(QString::fromStdString(dir.path().string()));
        chosen->setLines(already);
        disk->selectAll();
        QElapsedTimer timer;
        timer.start();
        editor.BitBtn1Click();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (chosen->lineCount() != static_cast<std::size_t>(2 * files))
            std::fprintf(stderr, "unexpected count %zu\n", chosen->lineCount());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const plimbury::bench::WindowBenchApp bench(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const double small = bestAddSeconds(1000, runs);
    const double large = bestAddSeconds(10000, runs);
    std::printf("add 1,000 selected files to 1,000 lines:   %.4f s\n", small);
    std::printf("add 10,000 selected files to 10,000 lines: %.4f s\n", large);
    std::printf("ratio 10,000 / 1,000: %.1f (linear about 10, quadratic about 100)\n", large / small);
    return 0;
}
