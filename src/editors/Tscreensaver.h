#pragma once
// The screen-saver list editor: browse for screen-saver programs, test-run one, collect them
// in the chosen list, hand it to the main window's screen-saver list with OK.

#include "desktop/ScreenSaverSelection.h"
#include "editors/ListEditor.h"

#include <optional>

class SortedListBox;

class Tscreensaver : public ListEditor {
    Q_OBJECT
public:
    // mainWindow: placement (+91, +172); mainList: the main window's screen-saver list.
    // The disk list starts at plimbury::systemScreenSaverFolder().
    Tscreensaver(QWidget* mainWindow, SortedListBox* mainList);
    ~Tscreensaver() override;

    void FormCreate();
    void BitBtn4Click();

    // What the test run uses: plimbury::systemTestRunMeans() unless a test
    // gives others (nullopt restores the system's).
    static void setTestRunMeans(std::optional<plimbury::TestRunMeans> means);

private:
    QPushButton* BitBtn4 = nullptr;   // "preview": the test run
};
