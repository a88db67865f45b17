// Going into the notification area and coming back.

#include "AppHarness.h"

#include "app/TrayIcon.h"
#include "support/Controls.h"

#include <QAction>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

using plimbury::test::control;

namespace plimbury::test {
namespace {

class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.markLaterRun();
        form = &app.start({"/TRAY"});
        app.showWindow();
    }
    AppHarness app;
    TForm1* form = nullptr;
};

TEST_F(Tray, TrayStartHidesTheWindowBehindTheIcon)
{
    ASSERT_TRUE(control<QTimer>(*form, "Timer3")->isActive());
    form->Timer3Timer();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(control<TrayIcon>(*form)->isPresent());
    EXPECT_EQ(control<TrayIcon>(*form)->tip(), QStringLiteral("Vertanox Plimbury 2.1"));
    EXPECT_FALSE(control<QTimer>(*form, "Timer3")->isActive());
}

TEST_F(Tray, SaveAndRunUsesItsOwnTip)
{
    form->goToTray(QStringLiteral("plimbury 2.1"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(control<TrayIcon>(*form)->tip(), QStringLiteral("plimbury 2.1"));
}

// A left click and "Setup" both bring the window back, remove the icon and
// pause the rotation.
TEST_F(Tray, LeftClickAndSetupShowTheWindowAndPauseTheRotation)
{
    const std::function<void()> ways[] = {
        [&] { emit control<TrayIcon>(*form)->leftClicked(); },
        [&] { control<QAction>(*form, "Setup1")->trigger(); },
    };
    for (const auto& comeBack : ways) {
        form->goToTray(QStringLiteral("plimbury 2.1"));
        control<QTimer>(*form, "Timer1")->start();
        control<QTimer>(*form, "Timer2")->start();
        comeBack();
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(control<TrayIcon>(*form)->isPresent());
        EXPECT_FALSE(control<QTimer>(*form, "Timer1")->isActive());
        EXPECT_FALSE(control<QTimer>(*form, "Timer2")->isActive());
    }
}

TEST_F(Tray, ExitEndsTheProgramAndRemovesTheIcon)
{
    form->Timer3Timer();
    QSignalSpy closed(form, &TForm1::closed);
    control<QAction>(*form, "Exit1")->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(control<TrayIcon>(*form)->isPresent());
}

} // namespace
} // namespace plimbury::test
