// The browsing chain inside an editor: drive, folder, the folder's matching files, the picked file.

#include "EditorTestSupport.h"

#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "platform/System.h"
#include "support/Controls.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

using plimbury::test::control;
using plimbury::test::EditorOver;
using plimbury::test::qpath;
using plimbury::test::shownLines;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

struct Chain : ::testing::Test {
    EditorOver<Twall> scene;
    Twall& wall = scene.editor;
    TempDir dir;

    void SetUp() override
    {
        std::filesystem::create_directories(dir.path() / "alpha" / "deeper");
        std::filesystem::create_directory(dir.path() / "Beta");
        writeFile(dir.file("top.jpg"), "x");
        writeFile((dir.path() / "alpha" / "inner.bmp").string(), "x");
        control<DirectoryListBox>(wall, "DirectoryListBox1")->setDirectory(qpath(dir.path()));
    }

    int rowOf(const QListWidget& list, const QString& text)
    {
        for (int i = 0; i < list.count(); ++i)
            if (list.item(i)->text() == text)
                return i;
        return -1;
    }

    void pressEnter(QWidget* on)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(on, &press);
    }
};

TEST_F(Chain, FolderListShowsWhereItIsThenUpThenSubfoldersSorted)
{
    const QStringList lines = shownLines(*control<DirectoryListBox>(wall, "DirectoryListBox1"));
    EXPECT_EQ(lines, (QStringList{QDir::toNativeSeparators(qpath(dir.path())), "..", "alpha", "Beta"}));
    EXPECT_EQ(shownLines(*control<FileListBox>(wall, "FileListBox1")), QStringList{"top.jpg"});
}

TEST_F(Chain, EnterOpensAFolderAndTheDiskListFollows)
{
    auto* folders = control<DirectoryListBox>(wall, "DirectoryListBox1");
    folders->setCurrentRow(rowOf(*folders, "alpha"));
    EXPECT_EQ(folders->directory(), qpath(dir.path())) << "selecting alone does not open";
    pressEnter(folders);
    EXPECT_EQ(folders->directory(), qpath(dir.path() / "alpha"));
    EXPECT_EQ(shownLines(*control<FileListBox>(wall, "FileListBox1")), QStringList{"inner.bmp"});

    folders->setCurrentRow(rowOf(*folders, ".."));
    pressEnter(folders);
    EXPECT_EQ(folders->directory(), qpath(dir.path()));
    EXPECT_EQ(shownLines(*control<FileListBox>(wall, "FileListBox1")), QStringList{"top.jpg"});
}

TEST_F(Chain, DoubleClickOpensAFolder)
{
    auto* folders = control<DirectoryListBox>(wall, "DirectoryListBox1");
    emit folders->itemDoubleClicked(folders->item(rowOf(*folders, "Beta")));
    EXPECT_EQ(folders->directory(), qpath(dir.path() / "Beta"));
    EXPECT_EQ(control<FileListBox>(wall, "FileListBox1")->count(), 0);
}

TEST_F(Chain, NoUpLineAtTheRoot)
{
    control<DirectoryListBox>(wall, "DirectoryListBox1")->setDirectory(QDir::rootPath());
    EXPECT_EQ(rowOf(*control<DirectoryListBox>(wall, "DirectoryListBox1"), ".."), -1);
}

TEST_F(Chain, FolderThatVanishedFallsBackToTheNearestExistingOne)
{
    control<DirectoryListBox>(wall, "DirectoryListBox1")->setDirectory(qpath(dir.path() / "alpha" / "gone" / "too"));
    EXPECT_EQ(control<DirectoryListBox>(wall, "DirectoryListBox1")->directory(), qpath(dir.path() / "alpha"));
}

TEST_F(Chain, PickingADriveReturnsToItsLastFolder)
{
    auto* drives = control<DriveComboBox>(wall, "DriveComboBox1");
    const QString driveOfDir = drives->drive();
    EXPECT_TRUE(DriveComboBox::isInside(qpath(dir.path()), driveOfDir)) << driveOfDir.toStdString();

    // Elsewhere on the system drive, then back to the temp folder's drive by picking it.
    control<DirectoryListBox>(wall, "DirectoryListBox1")->setDirectory(QDir::rootPath());
    EXPECT_EQ(drives->drive(), DriveComboBox::systemDrive());
    const int at = drives->findText(QDir::toNativeSeparators(driveOfDir), Qt::MatchExactly);
    ASSERT_GE(at, 0);
    drives->setCurrentIndex(at);
    emit drives->activated(at);
    if (driveOfDir != DriveComboBox::systemDrive())
        EXPECT_EQ(control<DirectoryListBox>(wall, "DirectoryListBox1")->directory(), qpath(dir.path()));
    else
        EXPECT_EQ(control<DirectoryListBox>(wall, "DirectoryListBox1")->directory(), QDir::rootPath()) << "the last folder of / is / now";
}

TEST(EditorStart, WallpaperEditorStartsAtTheCurrentFolderOnTheSystemDrive)
{
    TempDir dir;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(qpath(dir.path())));
    EditorOver<Twall> scene;
    QDir::setCurrent(before);

    const Twall& wall = scene.editor;
    EXPECT_EQ(control<DriveComboBox>(wall, "DriveComboBox1")->drive(), DriveComboBox::systemDrive());
    const bool onSystemDrive = QStorageInfo(qpath(dir.path())).rootPath() == DriveComboBox::systemDrive();
    EXPECT_EQ(control<DirectoryListBox>(wall, "DirectoryListBox1")->directory(), onSystemDrive ? qpath(dir.path()) : DriveComboBox::systemDrive());
}

TEST(EditorStart, ScreenSaverEditorStartsAtTheSystemFolder)
{
    EditorOver<Tscreensaver> scene;
    const Tscreensaver& editor = scene.editor;
    const QString folder = QString::fromStdString(plimbury::systemScreenSaverFolder());
    if (!QFileInfo(folder).isDir())
        GTEST_SKIP() << "no screen-saver folder on this machine: " << folder.toStdString();
    EXPECT_EQ(control<DirectoryListBox>(editor, "DirectoryListBox1")->directory(), QDir::cleanPath(folder));
    EXPECT_EQ(control<FileListBox>(editor, "FileListBox1")->directory(), control<DirectoryListBox>(editor, "DirectoryListBox1")->directory());
}

} // namespace
