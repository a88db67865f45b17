// The screen-saver editor's test run and its disk list: on Windows the picked
// file started with the single argument -s; elsewhere xscreensaver's daemon
// shows one of its programs, and any other program runs in its own window.

#include "EditorTestSupport.h"

#include "widgets/DirectoryListBox.h"
#include "widgets/FileListBox.h"
#include "widgets/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "support/Controls.h"
#include "support/TempDir.h"

#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using plimbury::test::control;

using namespace plimbury::test;

namespace {

struct Started {
    std::string program;
    std::vector<std::string> args;
    bool operator==(const Started&) const = default;
};

#ifdef _WIN32
const std::vector<std::string> kTestRunArguments{"-s"};
#else
const std::vector<std::string> kTestRunArguments{};
#endif

struct TestRun : ::testing::Test {
    EditorOver<Tscreensaver> scene;
    Tscreensaver& editor = scene.editor;
    TempDir dir;
    std::vector<Started> started;
    std::vector<std::vector<std::string>> commands;
    bool startWorks = true;

    void SetUp() override
    {
        plimbury::TestRunMeans means;
        // No xscreensaver: its defaults file is missing.
        means.files = {dir.file("home/.xscreensaver"), dir.file("no-such-defaults")};
        means.runCommand = [this](const std::vector<std::string>& argv) {
            commands.push_back(argv);
            return 1;
        };
        means.start = [this](const std::string& program, const std::vector<std::string>& args) {
            started.push_back({program, args});
            return startWorks;
        };
        Tscreensaver::setTestRunMeans(means);
        writeFile(dir.file("one.scr"), "");
        control<DirectoryListBox>(editor, "DirectoryListBox1")->setDirectory(QString::fromStdString(dir.path().string()));
    }
    void TearDown() override { Tscreensaver::setTestRunMeans(std::nullopt); }
};

TEST_F(TestRun, StartsThePickedFile)
{
    control<FileListBox>(editor, "FileListBox1")->setCurrentRow(0);
    control<QPushButton>(editor, "BitBtn4")->click();
    EXPECT_EQ(started, (std::vector<Started>{{dir.file("one.scr"), kTestRunArguments}}));
    EXPECT_TRUE(commands.empty());
}

TEST_F(TestRun, UsesTheDiskListNotTheChosenList)
{
    control<SortedListBox>(editor, "FileListBox2")->addLine("/elsewhere/chosen.scr");
    control<SortedListBox>(editor, "FileListBox2")->setCurrentRow(0);
    control<FileListBox>(editor, "FileListBox1")->clearSelection();
    control<QPushButton>(editor, "BitBtn4")->click();
    EXPECT_TRUE(started.empty());
}

TEST_F(TestRun, AFailedStartIsReportedOnlyAwayFromWindows)
{
    startWorks = false;
    control<FileListBox>(editor, "FileListBox1")->setCurrentRow(0);
    control<QPushButton>(editor, "BitBtn4")->click();
#ifdef _WIN32
    EXPECT_TRUE(takeReportedErrors().empty());
#else
    EXPECT_EQ(takeReportedErrors(),
              std::vector<std::string>{"Cannot start \"" + dir.file("one.scr") + "\"; it is not a program that can be run."});
#endif
}

#ifndef _WIN32
TEST(ScreenSaverDiskList, ListsTheMaskAndThePrograms)
{
    TempDir dir;
    for (const char* name : {"b.SCR", "notes.txt", "Swirl", "galaxy", "run.sh", "readme"})
        writeFile(dir.file(name), "");
    for (const char* name : {"Swirl", "galaxy", "run.sh"})
        std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_all);
    std::filesystem::create_directory(dir.file("folder"));   // executable, but a folder
    std::filesystem::create_symlink(dir.file("galaxy"), dir.file("link-to-galaxy"));
    std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling"));

    QWidget mainWindow;
    SortedListBox mainList;
    Tscreensaver editor(&mainWindow, &mainList);
    control<DirectoryListBox>(editor, "DirectoryListBox1")->setDirectory(QString::fromStdString(dir.path().string()));
    std::vector<std::string> listed;
    for (int i = 0; i < control<FileListBox>(editor, "FileListBox1")->count(); ++i)
        listed.push_back(control<FileListBox>(editor, "FileListBox1")->item(i)->text().toStdString());
    EXPECT_EQ(listed, (std::vector<std::string>{"b.SCR", "galaxy", "link-to-galaxy", "run.sh", "Swirl"}));
}

// The real start: a script that records its arguments, in a folder whose
// name a shell would split and act on.
TEST(TestRunForReal, RunsTheProgramItselfWithoutArguments)
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
    control<DirectoryListBox>(editor, "DirectoryListBox1")->setDirectory(QString::fromStdString(folder.string()));
    ASSERT_EQ(control<FileListBox>(editor, "FileListBox1")->count(), 1);
    control<FileListBox>(editor, "FileListBox1")->setCurrentRow(0);
    control<QPushButton>(editor, "BitBtn4")->click();

    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(record); }, 20000));
    EXPECT_EQ(readFile(record), "0\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "hacked"));
    EXPECT_FALSE(std::filesystem::exists(folder / "hacked"));
    EXPECT_TRUE(takeReportedErrors().empty());
}
#endif

} // namespace
