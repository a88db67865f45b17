#pragma once
// The wallpaper list editor: browse for pictures with a preview, collect them
// in the chosen list, hand it to the main window's wallpaper list with OK.

#include <QWidget>

class SortedListBox;

class Twall : public QWidget {
    Q_OBJECT
public:
    // mainWindow: placement (+91, +172); mainList: the main window's wallpaper list.
    Twall(QWidget* mainWindow, SortedListBox* mainList);
    ~Twall() override;

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
