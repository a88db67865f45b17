#pragma once
// The screen-saver list editor: browse for screen-saver programs, test-run one, collect them
// in the chosen list, hand it to the main window's screen-saver list with OK.

#include <QWidget>

class SortedListBox;

class Tscreensaver : public QWidget {
    Q_OBJECT
public:
    // mainWindow: placement (+91, +172); mainList: the main window's screen-saver list.
    Tscreensaver(QWidget* mainWindow, SortedListBox* mainList);
    ~Tscreensaver() override;

    // The other editor, hidden whenever this one is shown.
    void setPartner(QWidget* other) { m_partner = other; }

    SortedListBox* FileListBox2 = nullptr;   // the chosen list

    // Shows the window and brings it to the front (FormShow runs when it was hidden).
    void showEditor();

private:
    QWidget* m_mainWindow;
    SortedListBox* m_mainList;
    QWidget* m_partner = nullptr;
};
