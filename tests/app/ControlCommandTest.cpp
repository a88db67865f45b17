// The running copy's answers to a later copy's commands: a change now, the
// pause kept in the store and shown in the tray tip, errors as text.

#include "AppHarness.h"

#include "app/TrayIcon.h"
#include "desktop/Wallpaper.h"
#include "editors/Dialogs.h"
#include "editors/SortedListBox.h"
#include "platform/ProfileFile.h"
#include "project/ProjectCommands.h"
#include "rotation/Control.h"
#include "rotation/Schedule.h"

#include <QLineEdit>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plimbury::test {
namespace {

struct RecordingWallpaper final : Wallpaper {
    std::vector<std::string> shown;
    void setDesktopWallpaper(const std::string& path) override { shown.push_back(path); }
};

TEST(ControlCommand, NextPauseAndResumeFromALaterCopy)
{
    AppHarness app;
    RecordingWallpaper wallpaper;
    app.services.wallpaper = &wallpaper;
    TForm1& form = app.start();

    EXPECT_EQ(form.controlCommand(ControlCommand::Next).status, 1) << "no project yet";

    // A running project whose next change is two hours away.
    const std::string project = app.dir.file("show.lmv");
    ProjectState state;
    state.wallpapers = {"/p/a.bmp", "/p/b.bmp"};
    state.wallpaper.enabled = {false, true, false};
    state.wallpaper.texts = {"2", "2", "2"};
    state.screensaver.enabled = {false, true, false};
    state.screensaver.texts = {"2", "2", "2"};
    const LocalTime saved = app.clock.now();
    saveAndRunProject(project, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); },
                      stampNumberText(saved));
    form.FileListBox1->setLines(state.wallpapers);
    form.RadioButton2->setChecked(true);
    form.Edit1->setEnabled(false);
    form.Edit2->setEnabled(true);
    form.Edit3->setEnabled(false);
    form.Edit2->setText(QStringLiteral("2"));
    form.SaveDialog1.fileName = QString::fromStdString(project);

    const TForm1::ControlReply next = form.controlCommand(ControlCommand::Next);
    EXPECT_EQ(next.status, 0) << next.text;
    EXPECT_EQ(wallpaper.shown, std::vector<std::string>{"/p/a.bmp"});
    EXPECT_EQ(ProfileFile(project).read("counttime", "sw_no"), "1");
    EXPECT_FALSE(form.Timer1.isActive()) << "a change asked for starts no rotation";

    form.goToTray(QStringLiteral("plimbury 2.1"));
    EXPECT_EQ(form.controlCommand(ControlCommand::Pause).status, 0);
    EXPECT_TRUE(form.paused());
    EXPECT_TRUE(rotationPaused(*app.store));
    EXPECT_EQ(form.m_tray->tip(), QStringLiteral("plimbury 2.1 (paused)"));
    EXPECT_EQ(form.controlCommand(ControlCommand::Resume).status, 0);
    EXPECT_FALSE(rotationPaused(*app.store));
    EXPECT_EQ(form.m_tray->tip(), QStringLiteral("plimbury 2.1"));

    // A picture that cannot be shown: the text comes back, no message box.
    form.FileListBox1->setLines({"/p/broken.jpg"});
    const TForm1::ControlReply broken = form.controlCommand(ControlCommand::Next);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.text.find("/p/broken.jpg"), std::string::npos) << broken.text;
    EXPECT_TRUE(dialogs::takeShown().empty());
}

// A paused show stays paused after a restart.
TEST(ControlCommand, APauseOutlivesTheRun)
{
    AppHarness app;
    app.markLaterRun();
    setRotationPaused(*app.store, true);
    TForm1& form = app.start();
    EXPECT_TRUE(form.paused());
}

} // namespace
} // namespace plimbury::test
