// The project commands driven through the main window's buttons, with the
// dialogs answered by the test hooks.

#include "AppHarness.h"

#include "app/TForm1.h"
#include "app/TmyImage.h"
#include "app/TrayIcon.h"
#include "widgets/Dialogs.h"
#include "widgets/SortedListBox.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "support/Controls.h"
#include "support/FakeClock.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using plimbury::test::control;

namespace {

class TForm1Commands : public ::testing::Test {
protected:
    TForm1Commands()
    {
        m_app.services.clock = &m_clock;   // 10:20 on 14 March 2024
        m_app.start();
        // The start-up timers are not under test.
        control<QTimer>(form(), "Timer6")->stop();
        control<QTimer>(form(), "Timer7")->stop();
        dialogs::takeShown();
    }

    ~TForm1Commands() override { dialogs::takeShown(); }

    TForm1& form() { return *m_app.form; }
    Twall& wall() { return *m_app.wall; }
    Tscreensaver& screensaver() { return *m_app.screensaver; }
    std::string file(const std::string& name) { return m_app.dir.file(name); }
    std::string selectedProject() { return m_app.readValue(plimbury::kProgramKey, plimbury::kSelectedValue); }

    // The worked example's window: two pictures every 5 minutes, one screen
    // saver every 2 hours.
    void setUpExample()
    {
        control<SortedListBox>(form(), "FileListBox1")->setLines({"/pics/hills.bmp", "/pics/beach.jpg"});
        control<SortedListBox>(form(), "FileListBox2")->setLines({"/savers/stars.scr"});
        control<QRadioButton>(form(), "RadioButton1")->setChecked(true);
        control<QLineEdit>(form(), "Edit1")->setText("5");
        control<QRadioButton>(form(), "RadioButton5")->setChecked(true);
        control<QLineEdit>(form(), "Edit5")->setText("2");
    }

    // True when the answer armed for the save dialog is still waiting: the
    // command stopped before its dialog. Disarms it.
    static bool dialogWasNotRun(const std::string& armed)
    {
        dialogs::FileDialogSettings scratch;
        const auto answer = dialogs::runSaveDialog(nullptr, scratch);
        return answer && answer->toStdString() == armed;
    }

    static void click(TmyImage* button, const std::optional<std::string>& fileName)
    {
        dialogs::setNextFileName(fileName ? std::optional<QString>(QString::fromStdString(*fileName)) : std::nullopt);
        button->OnClick();
    }

    plimbury::test::FakeClock m_clock;
    plimbury::test::AppHarness m_app;
};

TEST_F(TForm1Commands, SaveThenOpenShowsTheSameListsAndIntervals)
{
    const std::string path = file("show.lmv");
    control<SortedListBox>(form(), "FileListBox1")->setLines({"/pics/b.jpg", "/pics/A.jpg", "/pics/c d.jpg"});
    control<SortedListBox>(form(), "FileListBox2")->setLines({"/savers/x.scr"});
    control<QRadioButton>(form(), "RadioButton3")->setChecked(true);
    control<QLineEdit>(form(), "Edit3")->setText("3");
    control<QRadioButton>(form(), "RadioButton5")->setChecked(true);
    control<QLineEdit>(form(), "Edit5")->setText("12");
    click(control<TmyImage>(form(), "myImage_s"), path);
    EXPECT_EQ(form().saveDialogSettings().fileName.toStdString(), path);

    // New empties the four lists and leaves the intervals alone.
    control<SortedListBox>(wall(), "FileListBox2")->setLines({"/pics/z.jpg"});
    control<SortedListBox>(screensaver(), "FileListBox2")->setLines({"/savers/z.scr"});
    control<TmyImage>(form(), "myImage_n")->OnClick();
    for (SortedListBox* list :
         {control<SortedListBox>(form(), "FileListBox1"), control<SortedListBox>(form(), "FileListBox2"), control<SortedListBox>(wall(), "FileListBox2"), control<SortedListBox>(screensaver(), "FileListBox2")})
        EXPECT_EQ(list->lineCount(), 0u);
    EXPECT_TRUE(control<QRadioButton>(form(), "RadioButton3")->isChecked());

    control<QRadioButton>(form(), "RadioButton1")->setChecked(true);
    control<QLineEdit>(form(), "Edit1")->setText("9");
    control<QRadioButton>(form(), "RadioButton4")->setChecked(true);
    click(control<TmyImage>(form(), "myImage_o"), path);

    const std::vector<std::string> pictures{"/pics/A.jpg", "/pics/b.jpg", "/pics/c d.jpg"};
    EXPECT_EQ(control<SortedListBox>(form(), "FileListBox1")->lines(), pictures);
    EXPECT_EQ(control<SortedListBox>(wall(), "FileListBox2")->lines(), pictures);
    EXPECT_EQ(control<SortedListBox>(form(), "FileListBox2")->lines(), std::vector<std::string>{"/savers/x.scr"});
    EXPECT_EQ(control<SortedListBox>(screensaver(), "FileListBox2")->lines(), std::vector<std::string>{"/savers/x.scr"});
    EXPECT_TRUE(control<QRadioButton>(form(), "RadioButton3")->isChecked());
    EXPECT_TRUE(control<QLineEdit>(form(), "Edit3")->isEnabled());
    EXPECT_EQ(control<QLineEdit>(form(), "Edit3")->text().toStdString(), "3");
    EXPECT_FALSE(control<QLineEdit>(form(), "Edit1")->isEnabled());
    EXPECT_EQ(control<QLineEdit>(form(), "Edit1")->text().toStdString(), "9");   // the other boxes keep their texts
    EXPECT_TRUE(control<QRadioButton>(form(), "RadioButton5")->isChecked());
    EXPECT_EQ(control<QLineEdit>(form(), "Edit5")->text().toStdString(), "12");
    EXPECT_TRUE(dialogs::takeShown().empty());
}

TEST_F(TForm1Commands, OpenOfAFileThatIsNoProjectKeepsTheLists)
{
    control<SortedListBox>(form(), "FileListBox1")->setLines({"/pics/unsaved.jpg"});
    control<SortedListBox>(wall(), "FileListBox2")->setLines({"/pics/unsaved.jpg"});
    control<SortedListBox>(form(), "FileListBox2")->setLines({"/savers/unsaved.scr"});
    click(control<TmyImage>(form(), "myImage_o"), file("no such file.lmv"));

    const auto shown = dialogs::takeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].isError);
    EXPECT_EQ(shown[0].text, "'' is not a valid integer value.");
    EXPECT_EQ(control<SortedListBox>(form(), "FileListBox1")->lines(), std::vector<std::string>{"/pics/unsaved.jpg"});
    EXPECT_EQ(control<SortedListBox>(wall(), "FileListBox2")->lines(), std::vector<std::string>{"/pics/unsaved.jpg"});
    EXPECT_EQ(control<SortedListBox>(form(), "FileListBox2")->lines(), std::vector<std::string>{"/savers/unsaved.scr"});
    // Open never names the project that Save and Run and the rotation use.
    EXPECT_TRUE(form().saveDialogSettings().fileName.isEmpty());
}

TEST_F(TForm1Commands, SaveAndRunWritesTheProjectStartsTheRotationAndGoesToTheTray)
{
    const std::string path = file("show.lmv");
    setUpExample();
    m_app.showWindow();
    click(control<TmyImage>(form(), "myImage_donet"), path);

    EXPECT_TRUE(dialogs::takeShown().empty());
    // What was gathered from the window; the file's layout is the project tests'.
    const plimbury::LoadedProject saved = plimbury::loadProject(path);
    EXPECT_EQ(saved.wallpapers, (std::vector<std::string>{"/pics/beach.jpg", "/pics/hills.bmp"}));
    EXPECT_EQ(saved.screensavers, std::vector<std::string>{"/savers/stars.scr"});
    EXPECT_EQ(saved.wallpaperInterval, std::pair(plimbury::Unit::Minute, std::string("5")));
    EXPECT_EQ(saved.screensaverInterval, std::pair(plimbury::Unit::Hour, std::string("2")));
    // The first due values come from the window's clock: 5 minutes and 2 hours after it.
    const plimbury::ProfileFile file(path);
    EXPECT_EQ(file.read("counttime", "setup_sw_minute"), "2403141025");
    EXPECT_EQ(file.read("counttime", "screensaver_setup_sw_minute"), "2403141220");
    EXPECT_EQ(selectedProject(), path);
    EXPECT_EQ(form().saveDialogSettings().fileName.toStdString(), path);
    EXPECT_EQ(form().currentProjectFile(), path);
    EXPECT_TRUE(control<QTimer>(form(), "Timer1")->isActive());
    EXPECT_TRUE(control<QTimer>(form(), "Timer2")->isActive());
    EXPECT_TRUE(form().isHidden());
    EXPECT_EQ(control<TrayIcon>(form())->tip().toStdString(), "plimbury 2.1");
}

TEST_F(TForm1Commands, SaveAndRunRefusesBeforeTouchingAnything)
{
    struct Case {
        const char* name;
        std::function<void(TForm1&)> change;
        bool isError;
        std::string shown;
    };
    const Case cases[] = {
        {"wallpaper boxes all 0", [](TForm1& f) { control<QLineEdit>(f, "Edit1")->setText("0"); control<QLineEdit>(f, "Edit2")->setText("0"); control<QLineEdit>(f, "Edit3")->setText("0"); },
         false, plimbury::kFillInMessage},
        {"screen-saver boxes all 0",
         [](TForm1& f) { control<QLineEdit>(f, "Edit4")->setText("0"); control<QLineEdit>(f, "Edit5")->setText("0"); control<QLineEdit>(f, "Edit6")->setText("0"); }, false,
         plimbury::kFillInMessage},
        {"enabled box not a number", [](TForm1& f) { control<QLineEdit>(f, "Edit5")->setText("2h"); }, true,
         "'2h' is not a valid integer value."},
        {"enabled box empty", [](TForm1& f) { control<QLineEdit>(f, "Edit1")->setText(""); }, true, "'' is not a valid integer value."},
        {"line break in a path", [](TForm1& f) { control<SortedListBox>(f, "FileListBox1")->addLine("/pics/two\nlines.jpg"); }, true,
         "'/pics/two\nlines.jpg' cannot be stored in a project file: it contains a line break."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = file(std::string(c.name) + ".lmv");
        setUpExample();
        c.change(form());
        m_app.showWindow();
        control<QTimer>(form(), "Timer1")->start();   // a resumed rotation keeps running
        control<QTimer>(form(), "Timer2")->start();
        click(control<TmyImage>(form(), "myImage_donet"), path);

        const auto shown = dialogs::takeShown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].isError, c.isError);
        EXPECT_EQ(shown[0].text, c.shown);
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(selectedProject(), "");
        EXPECT_TRUE(control<QTimer>(form(), "Timer1")->isActive());
        EXPECT_TRUE(control<QTimer>(form(), "Timer2")->isActive());
        EXPECT_TRUE(form().isVisible());
        EXPECT_TRUE(dialogWasNotRun(path));
    }
}

TEST_F(TForm1Commands, CancellingSaveAndRunLeavesTheRotationStopped)
{
    setUpExample();
    m_app.showWindow();
    control<QTimer>(form(), "Timer1")->start();
    control<QTimer>(form(), "Timer2")->start();
    click(control<TmyImage>(form(), "myImage_donet"), std::nullopt);
    EXPECT_TRUE(dialogs::takeShown().empty());
    EXPECT_FALSE(control<QTimer>(form(), "Timer1")->isActive());
    EXPECT_FALSE(control<QTimer>(form(), "Timer2")->isActive());
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(selectedProject(), "");
}

TEST_F(TForm1Commands, SaveRefusesAPathWithALineBreak)
{
    const std::string path = file("p.lmv");
    setUpExample();
    control<SortedListBox>(form(), "FileListBox2")->addLine("/savers/a\rb.scr");
    click(control<TmyImage>(form(), "myImage_s"), path);
    const auto shown = dialogs::takeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "'/savers/a\rb.scr' cannot be stored in a project file: it contains a line break.");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(dialogWasNotRun(path));
}

TEST_F(TForm1Commands, OpenPutsTheEntriesInTheListsOrder)
{
    const std::string path = file("by hand.lmv");
    plimbury::test::writeFile(path, "[countitem]\r\nswcount=2\r\nsscount=0\r\n"
                                    "[switem]\r\nsw0=C:\\B.jpg\r\nsw1=C:\\a.jpg\r\n");
    click(control<TmyImage>(form(), "myImage_o"), path);
    EXPECT_TRUE(dialogs::takeShown().empty());
    const std::vector<std::string> sorted{"C:\\a.jpg", "C:\\B.jpg"};
    EXPECT_EQ(control<SortedListBox>(form(), "FileListBox1")->lines(), sorted);
    EXPECT_EQ(control<SortedListBox>(wall(), "FileListBox2")->lines(), sorted);
}

} // namespace
