// Start-up: which one-shot timer the start-up plan starts, the interval rows
// it leaves, and the window's shape and controls.

#include "AppHarness.h"

#include "app/TmyImage.h"
#include "platform/Store.h"
#include "support/Controls.h"
#include "support/FakeStore.h"
#include "widgets/Dialogs.h"
#include "widgets/SortedListBox.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

using plimbury::test::control;

namespace plimbury::test {
namespace {

// What the store holds before the start. The decision itself (first run,
// /TRAY, the selected project) is platform/StartupTest's; these rows check
// what the window does with each kind of plan.
enum class Before { Nothing, LaterRun, SelectedProject, StoreUnderAFile, ReadOnlyStore, RefusingStore };

struct StartCase {
    const char* name;
    Before before;
    QStringList arguments;
    bool timer3, timer6, timer7;
    bool defaultRows;   // the first run's interval rows; else the design state
};

void PrintTo(const StartCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupBranches : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartupBranches, ChoosesTimersAndRowsFromThePlan)
{
    const StartCase& c = GetParam();
    const std::string project = "/home/u/show.lmv";
    AppHarness app;
    switch (c.before) {
    case Before::Nothing:
        break;
    case Before::LaterRun:
        app.markLaterRun();
        break;
    case Before::SelectedProject:
        app.markLaterRun(project);
        break;
    case Before::StoreUnderAFile:
        writeFile(app.dir.file("blocker"), "a file, not a folder");
        app.useStore(makeFileStore(app.dir.file("blocker") + "/registry"));
        break;
    case Before::ReadOnlyStore: {
        auto store = std::make_unique<FakeStore>();
        store->keys[{Root::LocalMachine, kProgramKey}] = {};
        store->openable = false;
        app.useStore(std::move(store));
        break;
    }
    case Before::RefusingStore: {
        auto store = std::make_unique<FakeStore>();
        store->refuseAll = true;
        app.useStore(std::move(store));
        break;
    }
    }
    TForm1& form = app.start(c.arguments);

    EXPECT_EQ(control<QTimer>(form, "Timer3")->isActive(), c.timer3);
    EXPECT_EQ(control<QTimer>(form, "Timer6")->isActive(), c.timer6);
    EXPECT_EQ(control<QTimer>(form, "Timer7")->isActive(), c.timer7);
    EXPECT_EQ(form.selectedProject(), c.before == Before::SelectedProject ? project : "");
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer2")->isActive());
    EXPECT_TRUE(form.wallpaperFirstTick());
    EXPECT_TRUE(form.screensaverFirstTick());
    EXPECT_TRUE(dialogs::takeShown().empty()) << "a store that cannot be written is no reason to complain";

    EXPECT_EQ(control<QRadioButton>(form, "RadioButton1")->isChecked(), c.defaultRows);
    EXPECT_EQ(control<QRadioButton>(form, "RadioButton4")->isChecked(), c.defaultRows);
    for (const char* name : {"RadioButton2", "RadioButton3", "RadioButton5", "RadioButton6"})
        EXPECT_FALSE(control<QRadioButton>(form, name)->isChecked()) << name;
    for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6"}) {
        const bool minutes = name == std::string("Edit1") || name == std::string("Edit4");
        EXPECT_EQ(control<QLineEdit>(form, name)->isEnabled(), minutes || !c.defaultRows) << name;
        EXPECT_EQ(control<QLineEdit>(form, name)->text(), QStringLiteral("0")) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupBranches,
    ::testing::Values(
        StartCase{"FirstRun", Before::Nothing, {"/TRAY"}, false, true, false, true},
        StartCase{"LaterRun", Before::LaterRun, {}, false, true, false, false},
        StartCase{"LaterRunTray", Before::LaterRun, {"/TRAY"}, true, true, false, false},
        // Every argument reaches the decision, not just the first.
        StartCase{"TrayPlusArgument", Before::LaterRun, {"/TRAY", "x"}, false, true, false, false},
        StartCase{"SelectedProject", Before::SelectedProject, {}, false, false, true, false},
        StartCase{"SelectedProjectTray", Before::SelectedProject, {"/TRAY"}, true, false, true, false},
        StartCase{"StoreUnderAFile", Before::StoreUnderAFile, {"/TRAY"}, false, false, false, true},
        StartCase{"ReadOnlyStore", Before::ReadOnlyStore, {"/TRAY"}, true, false, false, false},
        StartCase{"RefusingStore", Before::RefusingStore, {}, false, true, false, true}),
    [](const ::testing::TestParamInfo<StartCase>& param) { return std::string(param.param.name); });

TEST(Startup, TheFirstRunRecordsTheProgramsOwnPath)
{
    AppHarness app;
    app.start();
    EXPECT_EQ(app.readValue(kRunKey, kAutostartValue), "/opt/plimbury test/bin/plimbury /TRAY");
}

// A later start that resumes no project gives the rows the first run's
// defaults, so that typing into the one enabled box of each group is what
// Save and Run saves (not the 0 of a day box left enabled).
TEST(Startup, WithoutAResumedProjectTheIntervalRowsGetTheFirstRunDefaults)
{
    struct Case {
        const char* name;
        const char* selected;
        void (TForm1::*timer)();
    };
    for (const Case& c : {Case{"no selected project", "", &TForm1::Timer6Timer},
                          Case{"selected project missing", "/nowhere/gone.lmv", &TForm1::Timer7Timer}}) {
        SCOPED_TRACE(c.name);
        AppHarness app;
        app.markLaterRun(c.selected);
        TForm1& form = app.start();
        dialogs::guarded(&form, [&] { (form.*c.timer)(); });
        dialogs::takeShown();

        EXPECT_TRUE(control<QRadioButton>(form, "RadioButton1")->isChecked());
        EXPECT_TRUE(control<QRadioButton>(form, "RadioButton4")->isChecked());
        for (QLineEdit* e : {control<QLineEdit>(form, "Edit2"), control<QLineEdit>(form, "Edit3"), control<QLineEdit>(form, "Edit5"), control<QLineEdit>(form, "Edit6")})
            EXPECT_FALSE(e->isEnabled()) << e->objectName().toStdString();

        control<SortedListBox>(form, "FileListBox1")->setLines({"/pics/a.jpg"});
        control<SortedListBox>(form, "FileListBox2")->setLines({"/savers/a.scr"});
        control<QLineEdit>(form, "Edit1")->setText("5");
        control<QLineEdit>(form, "Edit4")->setText("5");
        const std::string project = app.dir.file("show.lmv");
        dialogs::setNextFileName(QString::fromStdString(project));
        control<TmyImage>(form, "myImage_donet")->OnClick();
        const std::string saved = readFile(project);
        for (const char* line : {"swtime=minute\r\n", "swrefreshtime=5\r\n", "sstime=minute\r\n", "ssrefreshtime=5\r\n"})
            EXPECT_NE(saved.find(line), std::string::npos) << line << " not in\n" << saved;
        EXPECT_TRUE(dialogs::takeShown().empty());
    }
}

TEST(Startup, DialogsStartInVidoZezivOfTheDataFolder)
{
    AppHarness app;
    TForm1& form = app.start();
    const QString expected = QString::fromStdString(app.dir.file("data") + "/VidoZeziv");
    EXPECT_EQ(form.saveDialogSettings().initialFolder, expected);
    EXPECT_EQ(form.openDialogSettings().initialFolder, expected);
    EXPECT_EQ(form.openDialogSettings().defaultSuffix, QStringLiteral("lmv"));
    EXPECT_EQ(form.saveDialogSettings().fileName, QString());
    EXPECT_EQ(form.currentProjectFile(), "");
}

TEST(Window, IsTheFixedRoundedToolWindow)
{
    AppHarness app;
    TForm1& form = app.start();
    EXPECT_EQ(form.size(), QSize(790, 564));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form.windowType(), Qt::Tool);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Form1"));

    const QRegion mask = form.mask();
    EXPECT_EQ(mask.boundingRect(), QRect(80, 80, 680, 480));
    for (const QPoint inside : {QPoint(80, 320), QPoint(759, 320), QPoint(420, 80), QPoint(420, 559),
                                QPoint(100, 100), QPoint(740, 540)})
        EXPECT_TRUE(mask.contains(inside)) << inside.x() << "," << inside.y();
    for (const QPoint outside : {QPoint(79, 320), QPoint(760, 320), QPoint(420, 79), QPoint(420, 560),
                                 QPoint(84, 84), QPoint(755, 84), QPoint(84, 555), QPoint(755, 555)})
        EXPECT_FALSE(mask.contains(outside)) << outside.x() << "," << outside.y();
    // The corners are quarter circles of radius 35.
    EXPECT_TRUE(mask.contains(QPoint(115, 81)));
    EXPECT_TRUE(mask.contains(QPoint(81, 115)));
}

TEST(Window, ControlsStandWhereTheLayoutPutsThem)
{
    AppHarness app;
    TForm1& form = app.start();
    struct Place {
        QWidget* control;
        QRect rect;
        bool visible;
    };
    const Place places[] = {
        {control<TmyImage>(form, "Image_bg"), {71, 79, 700, 495}, true},
        {control<TmyImage>(form, "myImage_nb"), {370, 129, 45, 41}, true},     {control<TmyImage>(form, "myImage_n"), {370, 129, 45, 41}, false},
        {control<TmyImage>(form, "myImage_ob"), {432, 129, 45, 41}, true},     {control<TmyImage>(form, "myImage_o"), {432, 129, 45, 41}, false},
        {control<TmyImage>(form, "myImage_sb"), {496, 129, 45, 41}, true},     {control<TmyImage>(form, "myImage_s"), {496, 129, 45, 41}, false},
        {control<TmyImage>(form, "myImage_faqb"), {559, 129, 45, 41}, true},   {control<TmyImage>(form, "myImage_faq"), {559, 129, 45, 41}, false},
        {control<TmyImage>(form, "myImage_done"), {144, 440, 59, 64}, true},   {control<TmyImage>(form, "myImage_donet"), {144, 440, 59, 64}, false},
        {control<TmyImage>(form, "myImage_exit"), {240, 440, 59, 64}, true},   {control<TmyImage>(form, "myImage_exitt"), {240, 440, 59, 64}, false},
        {control<TmyImage>(form, "myImage_ww"), {138, 134, 39, 35}, true},     {control<TmyImage>(form, "myImage_wr"), {138, 134, 39, 35}, false},
        {control<TmyImage>(form, "myImage_sw"), {279, 132, 39, 35}, true},     {control<TmyImage>(form, "myImage_sr"), {279, 132, 39, 35}, false},
        {control<TmyImage>(form, "myImage_sel_wall"), {160, 200, 133, 38}, true},
        {control<TmyImage>(form, "myImage_sel_scr"), {160, 200, 133, 38}, false},
        {control<SortedListBox>(form, "FileListBox1"), {357, 192, 377, 329}, true}, {control<SortedListBox>(form, "FileListBox2"), {357, 192, 377, 329}, false},
        {control<QGroupBox>(form, "GroupBox_wall"), {112, 272, 233, 145}, true}, {control<QGroupBox>(form, "GroupBox_scr"), {112, 272, 233, 145}, false},
        {control<QLineEdit>(form, "Edit1"), {104, 33, 49, 21}, true},           {control<QLineEdit>(form, "Edit5"), {104, 68, 49, 21}, true},
        {control<QLineEdit>(form, "Edit3"), {104, 105, 49, 21}, true},          {control<QRadioButton>(form, "RadioButton6"), {8, 104, 89, 17}, true},
    };
    for (const Place& p : places) {
        const std::string name = p.control->objectName().toStdString();
        EXPECT_EQ(p.control->geometry(), p.rect) << name;
        EXPECT_EQ(p.control->isVisibleTo(p.control->parentWidget()), p.visible) << name;
    }
    EXPECT_EQ(control<QGroupBox>(form, "GroupBox_wall")->title(), QStringLiteral("Setup  Wallpaper"));
    EXPECT_EQ(control<QGroupBox>(form, "GroupBox_scr")->title(), QStringLiteral("Setup  Screensaver"));
    EXPECT_EQ(control<QAction>(form, "Setup1")->text(), QStringLiteral("Setup"));
    EXPECT_EQ(control<QAction>(form, "Exit1")->text(), QStringLiteral("Exit"));
}

TEST(Window, ShowingItAgainStopsTheRotation)
{
    AppHarness app;
    TForm1& form = app.start();
    app.showWindow();
    control<QTimer>(form, "Timer1")->start();
    control<QTimer>(form, "Timer2")->start();
    form.hide();
    EXPECT_TRUE(control<QTimer>(form, "Timer1")->isActive());
    form.show();
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer2")->isActive());
}

} // namespace
} // namespace plimbury::test
