// Resuming the selected project at start (Timer7) and starting without one (Timer6).

#include "AppHarness.h"

#include "widgets/SortedListBox.h"
#include "support/Controls.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using plimbury::test::control;

namespace plimbury::test {
namespace {

using Lines = std::vector<std::string>;

class Resume : public ::testing::Test {
protected:
    // Starts a later run whose selected project holds `text`.
    TForm1& startWith(const std::string& text)
    {
        const std::string path = app.dir.file("show.lmv");
        writeFile(path, text);
        app.markLaterRun(path);
        TForm1& form = app.start();
        EXPECT_TRUE(control<QTimer>(form, "Timer7")->isActive());
        return form;
    }

    // What the four lists hold: main wallpapers, Twall's copy, main screen savers, Tscreensaver's copy.
    std::array<Lines, 4> lists() const
    {
        return {control<SortedListBox>(*app.form, "FileListBox1")->lines(), control<SortedListBox>(*app.wall, "FileListBox2")->lines(), control<SortedListBox>(*app.form, "FileListBox2")->lines(),
                control<SortedListBox>(*app.screensaver, "FileListBox2")->lines()};
    }

    void fillLists()
    {
        for (SortedListBox* list : {control<SortedListBox>(*app.form, "FileListBox1"), control<SortedListBox>(*app.wall, "FileListBox2"), control<SortedListBox>(*app.form, "FileListBox2"),
                                    control<SortedListBox>(*app.screensaver, "FileListBox2")})
            list->setLines({"/old/line"});
    }

    // As the timer runs it: inside the handler guard.
    static void tick(TForm1& form, void (TForm1::*handler)())
    {
        dialogs::guarded(&form, [&] { (form.*handler)(); });
    }

    AppHarness app;
};

TEST_F(Resume, LoadsBothListsSortedIntoWindowAndEditorsAndStartsTheRotation)
{
    // The third picture is counted but missing: it shows as an empty line.
    TForm1& form = startWith("[countitem]\nswcount=3\nsscount=1\n"
                             "[switem]\nsw0=/pics/zebra.jpg\nsw1=/pics/Alps.bmp\n"
                             "[ssitem]\nss0=/savers/glmatrix\n"
                             "[counttime]\nswtime=hour\nswrefreshtime=5\nsstime=day\nssrefreshtime=12\n");
    tick(form, &TForm1::Timer7Timer);

    const Lines walls{"", "/pics/Alps.bmp", "/pics/zebra.jpg"};
    const Lines savers{"/savers/glmatrix"};
    EXPECT_EQ(lists(), (std::array<Lines, 4>{walls, walls, savers, savers}));

    EXPECT_TRUE(control<QRadioButton>(form, "RadioButton2")->isChecked());
    EXPECT_FALSE(control<QLineEdit>(form, "Edit1")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(form, "Edit2")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(form, "Edit3")->isEnabled());
    EXPECT_EQ(control<QLineEdit>(form, "Edit2")->text(), QStringLiteral("5"));
    EXPECT_TRUE(control<QRadioButton>(form, "RadioButton6")->isChecked());
    EXPECT_EQ(control<QLineEdit>(form, "Edit6")->text(), QStringLiteral("12"));
    EXPECT_FALSE(control<QLineEdit>(form, "Edit4")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(form, "Edit5")->isEnabled());

    EXPECT_FALSE(control<QTimer>(form, "Timer7")->isActive());
    EXPECT_TRUE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_TRUE(control<QTimer>(form, "Timer2")->isActive());
    EXPECT_EQ(form.currentProjectFile(), app.dir.file("show.lmv"));
    EXPECT_TRUE(dialogs::takeShown().empty());
    control<QTimer>(form, "Timer1")->stop();
    control<QTimer>(form, "Timer2")->stop();
}

TEST_F(Resume, AProjectWithEmptyListsEmptiesTheWindowsAndStillStartsTheRotation)
{
    TForm1& form = startWith("[countitem]\nswcount=0\nsscount=0\n");
    fillLists();
    tick(form, &TForm1::Timer7Timer);
    EXPECT_EQ(lists(), (std::array<Lines, 4>{}));
    EXPECT_TRUE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_TRUE(control<QTimer>(form, "Timer2")->isActive());
}

// Unit words are compared exactly; an unknown one leaves its group as it was
// (the design state on a later run), the other group is decided on its own.
TEST_F(Resume, UnknownUnitWordsLeaveTheirGroupAlone)
{
    TForm1& form = startWith("[countitem]\nswcount=0\nsscount=0\n"
                             "[counttime]\nswtime=Hour\nswrefreshtime=5\nsstime=minute\nssrefreshtime=abc\n");
    tick(form, &TForm1::Timer7Timer);
    for (QRadioButton* r : {control<QRadioButton>(form, "RadioButton1"), control<QRadioButton>(form, "RadioButton2"), control<QRadioButton>(form, "RadioButton3")})
        EXPECT_FALSE(r->isChecked());
    for (QLineEdit* e : {control<QLineEdit>(form, "Edit1"), control<QLineEdit>(form, "Edit2"), control<QLineEdit>(form, "Edit3")}) {
        EXPECT_TRUE(e->isEnabled());
        EXPECT_EQ(e->text(), QStringLiteral("0"));
    }
    EXPECT_TRUE(control<QRadioButton>(form, "RadioButton4")->isChecked());
    EXPECT_EQ(control<QLineEdit>(form, "Edit4")->text(), QStringLiteral("abc")) << "shown as written, not checked here";
    EXPECT_FALSE(control<QLineEdit>(form, "Edit5")->isEnabled());
    EXPECT_TRUE(dialogs::takeShown().empty());
}

// A project that cannot be read (the counts come first) changes no interval:
// the lists are emptied, the rows get the first run's defaults, the failure is
// reported once and the rotation stays off.
struct Unreadable {
    const char* name;
    const char* text;   // nullptr: the file is gone
    const char* report;
};

void PrintTo(const Unreadable& c, std::ostream* os)
{
    *os << c.name;
}

class ResumeUnreadable : public Resume, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(ResumeUnreadable, EmptiesTheListsReportsOnceAndLeavesTheRotationOff)
{
    const Unreadable& c = GetParam();
    TForm1& form = startWith(c.text ? c.text : "");
    if (!c.text)
        std::filesystem::remove(app.dir.file("show.lmv"));
    fillLists();
    tick(form, &TForm1::Timer7Timer);

    EXPECT_EQ(lists(), (std::array<Lines, 4>{}));
    EXPECT_TRUE(control<QRadioButton>(form, "RadioButton1")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(form, "RadioButton4")->isChecked());
    EXPECT_FALSE(control<QLineEdit>(form, "Edit3")->isEnabled());
    const auto shown = dialogs::takeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].isError);
    EXPECT_EQ(shown[0].text, c.report);
    EXPECT_FALSE(control<QTimer>(form, "Timer7")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer2")->isActive());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResumeUnreadable,
    ::testing::Values(Unreadable{"MissingFile", nullptr, "'' is not a valid integer value."},
                      Unreadable{"BadCount",
                                 "[countitem]\nswcount=2\nsscount=2b\n[switem]\nsw0=/a.jpg\n"
                                 "[counttime]\nswtime=day\nswrefreshtime=3\n",
                                 "'2b' is not a valid integer value."}),
    [](const ::testing::TestParamInfo<Unreadable>& param) { return std::string(param.param.name); });

TEST_F(Resume, WithoutASelectedProjectTheListsAreEmptiedAndNothingRuns)
{
    app.markLaterRun("");
    TForm1& form = app.start();
    fillLists();
    ASSERT_TRUE(control<QTimer>(form, "Timer6")->isActive());
    tick(form, &TForm1::Timer6Timer);
    EXPECT_EQ(lists(), (std::array<Lines, 4>{}));
    EXPECT_FALSE(control<QTimer>(form, "Timer6")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer2")->isActive());
}

// The one-shot timer really fires by itself, about a second after start.
TEST_F(Resume, TheStartUpTimerFiresOnItsOwn)
{
    TForm1& form = startWith("[countitem]\nswcount=1\nsscount=0\n[switem]\nsw0=/a.jpg\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !control<QTimer>(form, "Timer7")->isActive(); }, 5000));
    control<QTimer>(form, "Timer1")->stop();
    control<QTimer>(form, "Timer2")->stop();
    EXPECT_EQ(control<SortedListBox>(form, "FileListBox1")->lines(), Lines{"/a.jpg"});
}

} // namespace
} // namespace plimbury::test
