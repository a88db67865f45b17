// The screen-saver editor's test run: the disk list's picked file started as
// a program with the single argument -s.

#include "EditorTestSupport.h"

#include "editors/DirectoryListBox.h"
#include "editors/FileListBox.h"
#include "editors/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "support/TempDir.h"

#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace plimbury::test;

namespace {

struct Started {
    std::string program;
    std::vector<std::string> args;
    bool operator==(const Started&) const = default;
};

struct TestRun : ::testing::Test {
    QWidget mainWindow;
    SortedListBox mainList;
    Tscreensaver editor{&mainWindow, &mainList};
    TempDir dir;
    std::vector<Started> started;

    void SetUp() override
    {
        Tscreensaver::setStarter([this](const std::string& program, const std::vector<std::string>& args) {
            started.push_back({program, args});
            return true;
        });
        writeFile(dir.file("one.scr"), "");
        editor.DirectoryListBox1->setDirectory(QString::fromStdString(dir.path().string()));
    }
    void TearDown() override { Tscreensaver::setStarter(nullptr); }
};

TEST_F(TestRun, StartsThePickedFileWithDashS)
{
    editor.FileListBox1->setCurrentRow(0);
    editor.BitBtn4->click();
    EXPECT_EQ(started, (std::vector<Started>{{dir.file("one.scr"), {"-s"}}}));
}

TEST_F(TestRun, UsesTheDiskListNotTheChosenList)
{
    editor.FileListBox2->addLine("/elsewhere/chosen.scr");
    editor.FileListBox2->setCurrentRow(0);
    editor.FileListBox1->clearSelection();
    editor.BitBtn4->click();
    EXPECT_TRUE(started.empty());
}

TEST_F(TestRun, AFailedStartIsNotReported)
{
    Tscreensaver::setStarter([](const std::string&, const std::vector<std::string>&) { return false; });
    editor.FileListBox1->setCurrentRow(0);
    editor.BitBtn4->click();
    EXPECT_TRUE(takeReportedErrors().empty());
}

#ifndef _WIN32
// The real start: a script that records its arguments, in a folder whose
// name a shell would split and act on.
TEST(TestRunForReal, RunsTheProgramItselfWithOneArgument)
{
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "screen savers & co; touch hacked";
    std::filesystem::create_directory(folder);
    const std::string script = (folder / "my saver.scr").string();
    const std::string record = (dir.path() / "args.txt").string();
    writeFile(script, "#!/bin/sh\n"
                      "printf '%s\\n' \"$#\" \"$@\" > '" + record + ".part'\n"
                      "mv '" + record + ".part' '" + record + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);

    QWidget mainWindow;
    SortedListBox mainList;
    Tscreensaver editor(&mainWindow, &mainList);
    editor.DirectoryListBox1->setDirectory(QString::fromStdString(folder.string()));
    ASSERT_EQ(editor.FileListBox1->count(), 1);
    editor.FileListBox1->setCurrentRow(0);
    editor.BitBtn4->click();

    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(record); }, 20000));
    EXPECT_EQ(readFile(record), "1\n-s\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "hacked"));
    EXPECT_FALSE(std::filesystem::exists(folder / "hacked"));
    EXPECT_TRUE(takeReportedErrors().empty());
}
#endif

} // namespace
