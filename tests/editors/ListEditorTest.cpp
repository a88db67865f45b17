// Add, Del and OK, the count label, the partner rule and the placement, for
// both editors: they share these rules.

#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "support/Controls.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using plimbury::test::control;

using plimbury::test::TempDir;
using plimbury::test::writeFile;
using Lines = std::vector<std::string>;

namespace {

template <typename Editor>
struct EditorTraits;
template <>
struct EditorTraits<Twall> {
    static constexpr const char* kExtension = ".jpg";
};
template <>
struct EditorTraits<Tscreensaver> {
    static constexpr const char* kExtension = ".scr";
};

template <typename Editor>
struct ListEditorTest : ::testing::Test {
    QWidget mainWindow;
    SortedListBox* mainList = new SortedListBox(&mainWindow);
    std::unique_ptr<Editor> editor = std::make_unique<Editor>(&mainWindow, mainList);
    TempDir dir;

    void SetUp() override
    {
        for (const char* name : {"a", "B", "c"})
            writeFile(dir.file(name + std::string(EditorTraits<Editor>::kExtension)), "x");
        control<DirectoryListBox>(*editor, "DirectoryListBox1")->setDirectory(QString::fromStdString(dir.path().string()));
    }

    std::string path(const char* name) const { return dir.file(name + std::string(EditorTraits<Editor>::kExtension)); }

    void add(const char* name)
    {
        const QString shown = QString::fromLatin1(name) + QString::fromLatin1(EditorTraits<Editor>::kExtension);
        const auto found = control<FileListBox>(*editor, "FileListBox1")->findItems(shown, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        control<FileListBox>(*editor, "FileListBox1")->setCurrentItem(found.front());
        control<QPushButton>(*editor, "BitBtn1")->click();
    }
    void selectChosen(int row) { control<SortedListBox>(*editor, "FileListBox2")->setCurrentRow(row); }
    QString count() const { return control<QLabel>(*editor, "Label1")->text(); }
};

using Editors = ::testing::Types<Twall, Tscreensaver>;
TYPED_TEST_SUITE(ListEditorTest, Editors);

TYPED_TEST(ListEditorTest, AddKeepsAlphabeticalOrderIgnoringCaseAndDuplicates)
{
    this->add("c");
    this->add("a");
    this->add("B");
    this->add("a");
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lines(),
              (Lines{this->path("a"), this->path("a"), this->path("B"), this->path("c")}));
    EXPECT_EQ(this->count(), "4");
    ASSERT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->count(), 4);
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->item(2)->text().toStdString(), this->path("B"));
}

TYPED_TEST(ListEditorTest, AddWithNothingPickedDoesNothing)
{
    control<FileListBox>(*this->editor, "FileListBox1")->clearSelection();
    control<QPushButton>(*this->editor, "BitBtn1")->click();
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lineCount(), 0u);
    EXPECT_EQ(this->count(), "0");

    // An empty folder picks nothing either.
    TempDir empty;
    control<DirectoryListBox>(*this->editor, "DirectoryListBox1")->setDirectory(QString::fromStdString(empty.path().string()));
    control<QPushButton>(*this->editor, "BitBtn1")->click();
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lineCount(), 0u);
}

TYPED_TEST(ListEditorTest, DelRemovesTheSelectedLineAndLeavesNoneSelected)
{
    this->add("a");
    this->add("B");
    this->add("c");
    this->selectChosen(1);
    control<QPushButton>(*this->editor, "BitBtn2")->click();
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lines(), (Lines{this->path("a"), this->path("c")}));
    EXPECT_EQ(this->count(), "2");
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->selectedIndex(), -1);

    // No line is selected any more, so a second Del removes nothing.
    control<QPushButton>(*this->editor, "BitBtn2")->click();
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lineCount(), 2u);
}

TYPED_TEST(ListEditorTest, CountLabelKeepsItsNumberOverARefillUntilTheNextDel)
{
    this->add("a");
    // A project command refills the chosen list behind the label's back.
    control<SortedListBox>(*this->editor, "FileListBox2")->setLines({"/x/3.jpg", "/x/1.jpg", "/x/2.jpg"});
    EXPECT_EQ(this->count(), "1");
    control<SortedListBox>(*this->editor, "FileListBox2")->clearSelection();
    control<QPushButton>(*this->editor, "BitBtn2")->click();
    EXPECT_EQ(this->count(), "3") << "Del rewrites the count even when it removes nothing";
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lines(), (Lines{"/x/1.jpg", "/x/2.jpg", "/x/3.jpg"}));
}

TYPED_TEST(ListEditorTest, OkHandsAnIndependentCopyToTheMainListAndHides)
{
    this->mainList->setLines({"/old/z.jpg"});
    this->mainList->hide();
    this->editor->showEditor();
    this->add("c");
    this->add("a");
    control<QPushButton>(*this->editor, "BitBtn3")->click();

    EXPECT_EQ(this->mainList->lines(), (Lines{this->path("a"), this->path("c")}));
    EXPECT_FALSE(this->mainList->isHidden());
    EXPECT_FALSE(this->editor->isVisible());

    // Each list has its own lines afterwards.
    this->add("B");
    EXPECT_EQ(this->mainList->lineCount(), 2u);
    this->mainList->clearLines();
    EXPECT_EQ(control<SortedListBox>(*this->editor, "FileListBox2")->lineCount(), 3u);
}

TYPED_TEST(ListEditorTest, OkWithAnEmptyChosenListEmptiesTheMainList)
{
    this->mainList->setLines({"/old/z.jpg", "/old/y.jpg"});
    control<QPushButton>(*this->editor, "BitBtn3")->click();
    EXPECT_EQ(this->mainList->lineCount(), 0u);
}

TYPED_TEST(ListEditorTest, ShowingPlacesTheEditorOverTheMainWindow)
{
    this->mainWindow.move(120, 40);
    this->editor->showEditor();
    EXPECT_EQ(this->editor->pos(), QPoint(211, 212));
    EXPECT_EQ(this->editor->size(), QSize(655, 364));
    EXPECT_TRUE(this->editor->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(this->editor->palette().color(QPalette::Window), QColor(166, 202, 240));

    // Placed again only when it was hidden.
    this->mainWindow.move(300, 300);
    this->editor->showEditor();
    EXPECT_EQ(this->editor->pos(), QPoint(211, 212));
    this->editor->hide();
    this->editor->showEditor();
    EXPECT_EQ(this->editor->pos(), QPoint(391, 472));
}

TEST(EditorPair, ShowingOneHidesTheOtherWhichKeepsItsState)
{
    QWidget mainWindow;
    auto* wallpapers = new SortedListBox(&mainWindow);
    auto* savers = new SortedListBox(&mainWindow);
    Twall wall(&mainWindow, wallpapers);
    Tscreensaver screensaver(&mainWindow, savers);
    wall.setPartner(&screensaver);
    screensaver.setPartner(&wall);

    TempDir dir;
    writeFile(dir.file("p.jpg"), "x");
    wall.showEditor();
    control<DirectoryListBox>(wall, "DirectoryListBox1")->setDirectory(QString::fromStdString(dir.path().string()));
    // Keep the disk list's selection change from decoding: the file is no picture.
    control<FileListBox>(wall, "FileListBox1")->blockSignals(true);
    control<FileListBox>(wall, "FileListBox1")->setCurrentRow(0);
    control<FileListBox>(wall, "FileListBox1")->blockSignals(false);
    control<QPushButton>(wall, "BitBtn1")->click();

    screensaver.showEditor();
    EXPECT_FALSE(wall.isVisible());
    EXPECT_TRUE(screensaver.isVisible());
    EXPECT_EQ(wallpapers->lineCount(), 0u) << "hiding by the partner hands nothing over";

    wall.showEditor();
    EXPECT_FALSE(screensaver.isVisible());
    EXPECT_EQ(control<SortedListBox>(wall, "FileListBox2")->lines(), Lines{dir.file("p.jpg")});
    EXPECT_EQ(control<DirectoryListBox>(wall, "DirectoryListBox1")->directory().toStdString(), dir.path().string());
    EXPECT_EQ(control<QLabel>(wall, "Label1")->text(), "1");
}

// The keyboard focus chain, from the first control that takes the Tab key.
std::vector<QWidget*> tabChain(QWidget* window, QWidget* first, std::size_t length)
{
    std::vector<QWidget*> chain{first};
    for (QWidget* w = first->nextInFocusChain(); w != first && chain.size() < length; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == window && !w->isHidden())
            chain.push_back(w);
    }
    return chain;
}

TEST(EditorLayout, TabOrders)
{
    QWidget mainWindow;
    SortedListBox mainList;
    Twall wall(&mainWindow, &mainList);
    Tscreensaver screensaver(&mainWindow, &mainList);
    const std::vector<QWidget*> wallOrder{control<SortedListBox>(wall, "FileListBox2"), control<FileListBox>(wall, "FileListBox1"), control<DriveComboBox>(wall, "DriveComboBox1"),
                                          control<DirectoryListBox>(wall, "DirectoryListBox1"), control<QPushButton>(wall, "BitBtn3"), control<QPushButton>(wall, "BitBtn2"), control<QPushButton>(wall, "BitBtn1")};
    EXPECT_EQ(tabChain(&wall, wallOrder.front(), wallOrder.size()), wallOrder);
    const std::vector<QWidget*> saverOrder{control<DriveComboBox>(screensaver, "DriveComboBox1"), control<DirectoryListBox>(screensaver, "DirectoryListBox1"),
                                           control<FileListBox>(screensaver, "FileListBox1"),   control<QPushButton>(screensaver, "BitBtn1"),
                                           control<QPushButton>(screensaver, "BitBtn2"),        control<QPushButton>(screensaver, "BitBtn3"),
                                           control<SortedListBox>(screensaver, "FileListBox2"),   control<QPushButton>(screensaver, "BitBtn4")};
    EXPECT_EQ(tabChain(&screensaver, saverOrder.front(), saverOrder.size()), saverOrder);
}

TEST(EditorLayout, CountLabels)
{
    QWidget mainWindow;
    SortedListBox mainList;
    Twall wall(&mainWindow, &mainList);
    Tscreensaver screensaver(&mainWindow, &mainList);
    EXPECT_EQ(control<QLabel>(wall, "Label1")->text(), "0");
    EXPECT_EQ(control<QLabel>(screensaver, "Label1")->text(), "0");
    EXPECT_TRUE(control<QLabel>(screensaver, "Label1")->isHidden());
    // The wallpaper editor's label sits under the disk list, which covers it.
    EXPECT_TRUE(control<FileListBox>(wall, "FileListBox1")->geometry().contains(control<QLabel>(wall, "Label1")->geometry()));
    EXPECT_EQ(wall.childAt(control<QLabel>(wall, "Label1")->geometry().center()) != control<QLabel>(wall, "Label1"), true);
}

} // namespace
