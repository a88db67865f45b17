// Going into the notification area and coming back.

#include "AppHarness.h"

#include "app/TrayIcon.h"

#include <QAction>
#include <QSignalSpy>

#include <gtest/gtest.h>

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
    ASSERT_TRUE(form->Timer3.isActive());
    form->Timer3Timer();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->m_tray->isPresent());
    EXPECT_EQ(form->m_tray->tip(), QStringLiteral("Vertanox Plimbury 2.1"));
    EXPECT_FALSE(form->Timer3.isActive());
}

TEST_F(Tray, SaveAndRunUsesItsOwnTip)
{
    form->goToTray(QStringLiteral("plimbury 2.1"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->m_tray->tip(), QStringLiteral("plimbury 2.1"));
}

// A left click and "Setup" both bring the window back, remove the icon and
// pause the rotation.
TEST_F(Tray, LeftClickAndSetupShowTheWindowAndPauseTheRotation)
{
    const std::function<void()> ways[] = {
        [&] { emit form->m_tray->leftClicked(); },
        [&] { form->Setup1->trigger(); },
    };
    for (const auto& comeBack : ways) {
        form->goToTray(QStringLiteral("plimbury 2.1"));
        form->Timer1.start();
        form->Timer2.start();
        comeBack();
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->m_tray->isPresent());
        EXPECT_FALSE(form->Timer1.isActive());
        EXPECT_FALSE(form->Timer2.isActive());
    }
}

TEST_F(Tray, ExitEndsTheProgramAndRemovesTheIcon)
{
    form->Timer3Timer();
    QSignalSpy closed(form, &TForm1::closed);
    form->Exit1->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form->m_tray->isPresent());
}

} // namespace
} // namespace plimbury::test
