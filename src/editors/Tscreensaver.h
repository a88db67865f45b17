#pragma once
// The screen-saver list editor: browse for screen-saver programs, test-run one, collect them
// in the chosen list, hand it to the main window's screen-saver list with OK.

#include "editors/ListEditor.h"

#include <functional>
#include <string>
#include <vector>

class SortedListBox;

class Tscreensaver : public ListEditor {
    Q_OBJECT
public:
    // mainWindow: placement (+91, +172); mainList: the main window's screen-saver list.
    // The disk list starts at plimbury::systemScreenSaverFolder().
    Tscreensaver(QWidget* mainWindow, SortedListBox* mainList);
    ~Tscreensaver() override;

    QPushButton* BitBtn4 = nullptr;   // "preview": the test run

    void FormCreate();
    void BitBtn4Click();

    // Starts a program detached with exactly the given arguments; the result
    // is ignored. plimbury::startDetached unless a test replaces it.
    using Starter = std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
    static void setStarter(Starter starter);
};
