// The browsing chain's parts on their own: the file list with its mask, the
// drive list, the join of a folder and a file name.

#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "support/Controls.h"
#include "support/TempDir.h"

#include <QDir>
#include <QListWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using plimbury::test::qpath;
using plimbury::test::shownLines;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

TEST(JoinFolderFile, SeparatorIsNotDoubledAtARoot)
{
    struct Case {
        std::string folder, name, expected;
    };
    const Case cases[] = {
#ifdef _WIN32
        {"C:\\", "a.jpg", "C:\\a.jpg"},
        {"C:\\Windows", "a.scr", "C:\\Windows\\a.scr"},
#else
        {"/", "a.jpg", "/a.jpg"},
        {"/home/me", "a.jpg", "/home/me/a.jpg"},
        {"/home/me/", "a.jpg", "/home/me/a.jpg"},
        {"/my pictures", "with blank.bmp", "/my pictures/with blank.bmp"},
#endif
    };
    for (const Case& c : cases)
        EXPECT_EQ(joinFolderFile(c.folder, c.name), c.expected) << c.folder << " + " << c.name;
}

TEST(FileListBox, ListsMatchingFilesOnlyWithoutRegardToCaseSorted)
{
    TempDir dir;
    for (const char* name : {"B.jpg", "a.JPG", "c.Bmp", "d.jpeg", "e.png", "f.jpg.txt", "g.SCR", "i.scr", "jpg"})
        writeFile(dir.file(name), "x");
    std::filesystem::create_directory(dir.path() / "h.jpg");
    std::filesystem::create_directory(dir.path() / "k.scr");

    struct Case {
        const char* mask;
        QStringList expected;
    };
    const Case cases[] = {
        {"*.jpg;*.bmp", {"a.JPG", "B.jpg", "c.Bmp"}},
        {"*.scr", {"g.SCR", "i.scr"}},
    };
    for (const Case& c : cases) {
        FileListBox list(QString::fromLatin1(c.mask));
        list.setDirectory(qpath(dir.path()));
        EXPECT_EQ(shownLines(list), c.expected) << c.mask;
        EXPECT_EQ(list.pickedFile(), "") << "nothing is selected after a refill";
        list.setCurrentRow(1);
        EXPECT_EQ(list.pickedFile(), (dir.path() / c.expected[1].toStdString()).string());
    }
}

TEST(FileListBox, EmptyOrMissingFolderPicksNothing)
{
    TempDir dir;
    FileListBox list(QStringLiteral("*.jpg"));
    list.setDirectory(qpath(dir.path() / "gone"));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.pickedFile(), "");
}

TEST(DriveComboBox, InsideMeansWholePathComponents)
{
    struct Case {
        const char* folder;
        const char* root;
        bool inside;
    };
    const Case cases[] = {
        {"/", "/", true},          {"/usr/lib", "/", true},     {"/media/usb", "/media/usb", true},
        {"/media/usb/a", "/media/usb", true}, {"/media/usb2", "/media/usb", false}, {"/media", "/media/usb", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriveComboBox::isInside(QString::fromLatin1(c.folder), QString::fromLatin1(c.root)), c.inside)
            << c.folder << " in " << c.root;
}

TEST(DriveComboBox, RootComesFirstAndEveryVolumeIsListed)
{
    DriveComboBox drives;
    ASSERT_GT(drives.count(), 0);
    drives.setCurrentIndex(0);
    EXPECT_EQ(drives.drive(), DriveComboBox::systemDrive());
    EXPECT_EQ(drives.volumeOf(QDir::currentPath()).isEmpty(), false);
}

} // namespace
