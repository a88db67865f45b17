#pragma once
// Helpers of the editor tests: an editor over a stand-in main window, sample
// pictures written independently of the code under test, and waiting on the
// event loop.

#include "widgets/SortedListBox.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace plimbury::test {

// An editor over a stand-in main window and its list, as the program pairs them.
template <typename Editor>
struct EditorOver {
    QWidget mainWindow;
    SortedListBox mainList;
    Editor editor{&mainWindow, &mainList};
};

// A JPEG of one colour with a faint pattern, written by libjpeg's compressor.
void writeJpeg(const std::string& path, int width, int height, QColor colour, int quality = 90);

// A 24-bit Windows bitmap of one colour, written by Qt.
void writeBmp(const std::string& path, int width, int height, QColor colour);

// Runs the event loop until `done` holds or `timeoutMs` pass; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// What the editors reported since the last call; main() installs the
// recorder, so no test ever waits on a message box.
void recordReportedErrors();
std::vector<std::string> takeReportedErrors();

// Colour channels within `tolerance` of each other (JPEG is lossy).
bool near(QColor a, QColor b, int tolerance = 12);

} // namespace plimbury::test
