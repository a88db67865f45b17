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
#include "support/Controls.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using plimbury::test::control;

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
    state.wallpapers = {app.writeBitmap("a.bmp"), app.writeBitmap("b.bmp")};
    state.wallpaper.enabled = {false, true, false};
    state.wallpaper.texts = {"2", "2", "2"};
    state.screensaver.enabled = {false, true, false};
    state.screensaver.texts = {"2", "2", "2"};
    control<SortedListBox>(form, "FileListBox1")->setLines(state.wallpapers);
    control<QRadioButton>(form, "RadioButton2")->setChecked(true);
    control<QLineEdit>(form, "Edit1")->setEnabled(false);
    control<QLineEdit>(form, "Edit2")->setEnabled(true);
    control<QLineEdit>(form, "Edit3")->setEnabled(false);
    control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("2"));
    // Saved from the window (which makes it the current project), then given
    // a running schedule.
    dialogs::setNextFileName(QString::fromStdString(project));
    form.myImage_sClick();
    ASSERT_EQ(form.currentProjectFile(), project);
    const LocalTime saved = app.clock.now();
    saveAndRunProject(project, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); },
                      stampNumberText(saved));

    const TForm1::ControlReply next = form.controlCommand(ControlCommand::Next);
    EXPECT_EQ(next.status, 0) << next.text;
    EXPECT_EQ(wallpaper.shown, std::vector<std::string>{state.wallpapers[0]});
    EXPECT_EQ(ProfileFile(project).read("counttime", "sw_no"), "1");
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive()) << "a change asked for starts no rotation";

    form.goToTray(QStringLiteral("plimbury 2.1"));
    EXPECT_EQ(form.controlCommand(ControlCommand::Pause).status, 0);
    EXPECT_TRUE(form.paused());
    EXPECT_TRUE(rotationPaused(*app.store));
    EXPECT_EQ(control<TrayIcon>(form)->tip(), QStringLiteral("plimbury 2.1 (paused)"));
    EXPECT_EQ(form.controlCommand(ControlCommand::Resume).status, 0);
    EXPECT_FALSE(rotationPaused(*app.store));
    EXPECT_EQ(control<TrayIcon>(form)->tip(), QStringLiteral("plimbury 2.1"));

    // A picture that cannot be shown: the text comes back, no message box.
    control<SortedListBox>(form, "FileListBox1")->setLines({"/p/broken.jpg"});
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
