#pragma once
// What the two list editors share: the borderless sky-blue window, the
// browsing chain (drive, folder, the folder's matching files), the chosen
// list with Add, Del and OK, and the placement over the main window.

#include "widgets/Dialogs.h"

#include <QList>
#include <QWidget>

#include <string>
#include <vector>

class DirectoryListBox;
class DriveComboBox;
class FileListBox;
class QLabel;
class QUrl;
class QPushButton;
class SortedListBox;

class ListEditor : public QWidget {
    Q_OBJECT
public:
    ~ListEditor() override;

    // The other editor, hidden whenever this one is shown.
    void setPartner(QWidget* other) { m_partner = other; }

    // Shows the window and brings it to the front (FormShow runs when it was hidden).
    void showEditor();

    // The chosen list: replaced by a loaded project's lines, or emptied.
    void setChosenLines(const std::vector<std::string>& lines);
    void clearChosenLines();

    void BitBtn1Click();   // Add: every selected line of the disk list
    // Files and folders dropped on the chosen list (a file manager's
    // text/uri-list): each file the disk list would show, and the files of
    // each folder it would show (not its sub-folders); says how many were
    // left out.
    void dropFiles(const QList<QUrl>& urls);
    void BitBtn2Click();   // Del
    void BitBtn3Click();   // OK
    void FormShow();

protected:
    // --- Controls (names of the window layout) ---
    DriveComboBox* DriveComboBox1 = nullptr;
    DirectoryListBox* DirectoryListBox1 = nullptr;
    FileListBox* FileListBox1 = nullptr;     // the disk list
    QPushButton* BitBtn1 = nullptr;          // "Add"
    QPushButton* BitBtn2 = nullptr;          // "Del"
    QPushButton* BitBtn3 = nullptr;          // "OK"
    QLabel* Label1 = nullptr;                // the count label
    SortedListBox* FileListBox2 = nullptr;   // the chosen list

    // caption: the window title (never visible); mask: the disk list's patterns.
    ListEditor(QWidget* mainWindow, SortedListBox* mainList, const QString& caption, const QString& mask);

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Connects `signal` of `sender` to `handler`, run inside the error guard.
    template <typename Sender, typename Signal, typename Handler>
    void onEvent(Sender* sender, Signal signal, Handler handler);

private:
    void showCount();

    QWidget* m_mainWindow;
    SortedListBox* m_mainList;
    QWidget* m_partner = nullptr;
};

template <typename Sender, typename Signal, typename Handler>
void ListEditor::onEvent(Sender* sender, Signal signal, Handler handler)
{
    connect(sender, signal, this, [this, handler] { dialogs::guarded(this, handler); });
}
