// The window's part in a later copy's commands: the pause shown in the tray
// tip and kept over a restart, and errors that come back as text, never as a
// message box. The commands' own rules are the runner's.

#include "AppHarness.h"

#include "app/TrayIcon.h"
#include "desktop/Wallpaper.h"
#include "widgets/Dialogs.h"
#include "widgets/SortedListBox.h"
#include "rotation/Control.h"
#include "rotation/RotationRunner.h"
#include "support/Controls.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace plimbury::test {
namespace {

struct NoWallpaper final : Wallpaper {
    void setDesktopWallpaper(const std::string&) override {}
};

TEST(ControlCommand, ThePauseShowsInTheTrayTipAndErrorsComeBackAsText)
{
    AppHarness app;
    NoWallpaper wallpaper;
    app.services.wallpaper = &wallpaper;
    TForm1& form = app.start();
    // The window's own list and intervals go to the runner; its failure is the reply.
    control<SortedListBox>(form, "FileListBox1")->setLines({"/p/broken.jpg"});
    control<QLineEdit>(form, "Edit1")->setText(QStringLiteral("1"));
    control<QLineEdit>(form, "Edit4")->setText(QStringLiteral("1"));
    dialogs::setNextFileName(QString::fromStdString(app.dir.file("show.lmv")));
    form.myImage_donetClick();
    const ControlReply broken = form.controlCommand(ControlCommand::Next);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.text.find("/p/broken.jpg"), std::string::npos) << broken.text;

    EXPECT_EQ(form.controlCommand(ControlCommand::Pause).status, 0);
    EXPECT_TRUE(form.paused());
    EXPECT_EQ(control<TrayIcon>(form)->tip(), QStringLiteral("plimbury 2.1 (paused)"));
    EXPECT_EQ(form.controlCommand(ControlCommand::Resume).status, 0);
    EXPECT_EQ(control<TrayIcon>(form)->tip(), QStringLiteral("plimbury 2.1"));
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
