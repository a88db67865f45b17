// Many files in one gesture: several lines of the disk list added at once,
// and files and folders dropped from a file manager on the chosen list.

#include "EditorTestSupport.h"

#include "editors/Twall.h"
#include "support/Controls.h"
#include "support/TempDir.h"
#include "widgets/Dialogs.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plimbury::test {
namespace {

TEST(AddMany, EverySelectedLineInTheListsOrder)
{
    TempDir dir;
    for (const char* name : {"a.jpg", "b.png", "c.webp", "d.bmp", "e.gif"})
        writeFile(dir.file(name), "x");
    struct Case {
        const char* name;
        std::vector<int> rows;   // selected, in the order clicked
        std::vector<std::string> added;
    };
    const Case cases[] = {
        {"one line", {2}, {"c.webp"}},
        {"a range, clicked from its end", {3, 2, 1}, {"b.png", "c.webp", "d.bmp"}},
        {"all", {0, 1, 2, 3, 4}, {"a.jpg", "b.png", "c.webp", "d.bmp", "e.gif"}},
        {"none", {}, {}},
    };
    for (const Case& c : cases) {
        EditorOver<Twall> scene;
        auto* disk = control<FileListBox>(scene.editor, "FileListBox1");
        disk->setDirectory(qpath(dir.path()));
        for (int row : c.rows)
            disk->item(row)->setSelected(true);
        scene.editor.BitBtn1Click();
        std::vector<std::string> expected;
        for (const std::string& name : c.added)
            expected.push_back(dir.file(name));
        EXPECT_EQ(control<SortedListBox>(scene.editor, "FileListBox2")->lines(), expected) << c.name;
        EXPECT_EQ(control<QLabel>(scene.editor, "Label1")->text(), QString::number(c.added.size())) << c.name;
    }
}

TEST(AddMany, DroppedFilesAndFoldersAddWhatTheListTakes)
{
    TempDir dir;
    const std::filesystem::path holiday = dir.path() / "holiday";
    std::filesystem::create_directories(holiday / "inner");
    for (const char* name : {"1.jpg", "2.HEIC", "notes.txt", "inner/3.jpg"})
        writeFile((holiday / name).string(), "x");
    writeFile(dir.file("single.png"), "x");
    writeFile(dir.file("readme.md"), "x");

    EditorOver<Twall> scene;
    auto* chosen = control<SortedListBox>(scene.editor, "FileListBox2");
    chosen->setLines({dir.file("single.png")});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(qpath(holiday)), QUrl::fromLocalFile(qpath(dir.file("single.png"))),
                  QUrl::fromLocalFile(qpath(dir.file("readme.md"))), QUrl(QStringLiteral("https://example.org/x.jpg"))});
    // As a drag arrives: entered, then dropped.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(chosen->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted()) << "a file manager's drag is taken";
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(chosen->viewport(), &drop);

    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(chosen->lines(), (std::vector<std::string>{(holiday / "1.jpg").string(), (holiday / "2.HEIC").string(),
                                                         dir.file("single.png"), dir.file("single.png")}))
        << "the folder's pictures (not its sub-folder's), the dropped picture, kept twice as Add would";
    EXPECT_EQ(control<QLabel>(scene.editor, "Label1")->text(), QStringLiteral("4"));
    const auto shown = dialogs::takeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "3 dropped files were left out: this list does not take their kind")
        << "notes.txt, readme.md and the web address";
}

} // namespace
} // namespace plimbury::test
