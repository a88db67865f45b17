#pragma once
// The wallpaper list editor: browse for pictures with a preview, collect them
// in the chosen list, hand it to the main window's wallpaper list with OK.

#include "editors/ListEditor.h"

#include <memory>
#include <string>

class PreviewLoader;
class QFrame;
class QImage;
class QLabel;
class SortedListBox;

class Twall : public ListEditor {
    Q_OBJECT
public:
    // mainWindow: placement (+91, +172); mainList: the main window's wallpaper list.
    // The disk list starts at the current folder (the root "/" is the selected drive).
    Twall(QWidget* mainWindow, SortedListBox* mainList);
    ~Twall() override;

    void FormCreate();
    void FileListBox1Click();   // the disk list's selection changed
    void FileListBox2Click();   // the chosen list's selection changed

    // Path of the picture the preview shows ("" before the first one).
    const std::string& previewPath() const { return m_previewPath; }
    // True while a preview is being decoded or waits to be.
    bool previewBusy() const;

signals:
    // A picture was read completely and now shows in the preview.
    void previewShown(const QString& path);

private:
    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;   // the preview, 344 x 258 inside Panel1

    void preview(const std::string& path);
    void showPicture(const std::string& path, const QImage& picture);

    std::unique_ptr<PreviewLoader> m_loader;
    std::string m_previewPath;
};
