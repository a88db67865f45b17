// Start-up: the first run recorded in the store, /TRAY on later runs, which
// one-shot timer runs, and the window's shape and controls.

#include "AppHarness.h"

#include "app/TmyImage.h"
#include "widgets/Dialogs.h"
#include "widgets/SortedListBox.h"
#include "platform/Error.h"
#include "platform/Store.h"
#include "support/Controls.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

using plimbury::test::control;

namespace plimbury::test {
namespace {

enum class Run { First, Later };

struct StartCase {
    const char* name;
    Run run;
    std::string selected;   // settime_selected of a later run
    QStringList arguments;
    bool timer3, timer6, timer7;
};

void PrintTo(const StartCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupBranches : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartupBranches, ChoosesTimersFromStoreAndArguments)
{
    const StartCase& c = GetParam();
    AppHarness app;
    if (c.run == Run::Later)
        app.markLaterRun(c.selected);
    TForm1& form = app.start(c.arguments);

    EXPECT_EQ(control<QTimer>(form, "Timer3")->isActive(), c.timer3);
    EXPECT_EQ(control<QTimer>(form, "Timer6")->isActive(), c.timer6);
    EXPECT_EQ(control<QTimer>(form, "Timer7")->isActive(), c.timer7);
    EXPECT_EQ(form.selectedProject(), c.run == Run::Later ? c.selected : "");
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer2")->isActive());
    EXPECT_TRUE(form.wallpaperFirstTick());
    EXPECT_TRUE(form.screensaverFirstTick());

    // The first run sets the minutes rows; a later run keeps the design state.
    const bool first = c.run == Run::First;
    EXPECT_EQ(control<QRadioButton>(form, "RadioButton1")->isChecked(), first);
    EXPECT_EQ(control<QRadioButton>(form, "RadioButton4")->isChecked(), first);
    for (QRadioButton* r : {control<QRadioButton>(form, "RadioButton2"), control<QRadioButton>(form, "RadioButton3"), control<QRadioButton>(form, "RadioButton5"), control<QRadioButton>(form, "RadioButton6")})
        EXPECT_FALSE(r->isChecked());
    EXPECT_TRUE(control<QLineEdit>(form, "Edit1")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(form, "Edit4")->isEnabled());
    for (QLineEdit* e : {control<QLineEdit>(form, "Edit2"), control<QLineEdit>(form, "Edit3"), control<QLineEdit>(form, "Edit5"), control<QLineEdit>(form, "Edit6")})
        EXPECT_EQ(e->isEnabled(), !first) << e->objectName().toStdString();
    for (QLineEdit* e : {control<QLineEdit>(form, "Edit1"), control<QLineEdit>(form, "Edit2"), control<QLineEdit>(form, "Edit3"), control<QLineEdit>(form, "Edit4"), control<QLineEdit>(form, "Edit5"), control<QLineEdit>(form, "Edit6")})
        EXPECT_EQ(e->text(), QStringLiteral("0"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupBranches,
    ::testing::Values(
        StartCase{"FirstRun", Run::First, "", {}, false, true, false},
        StartCase{"FirstRunIgnoresTray", Run::First, "", {"/TRAY"}, false, true, false},
        StartCase{"LaterRun", Run::Later, "", {}, false, true, false},
        StartCase{"LaterRunTray", Run::Later, "", {"/TRAY"}, true, true, false},
        StartCase{"LowerCaseTray", Run::Later, "", {"/tray"}, false, true, false},
        StartCase{"TrayWithBlank", Run::Later, "", {"/TRAY "}, false, true, false},
        StartCase{"TrayPlusArgument", Run::Later, "", {"/TRAY", "x"}, false, true, false},
        StartCase{"ArgumentPlusTray", Run::Later, "", {"x", "/TRAY"}, false, true, false},
        StartCase{"SelectedProject", Run::Later, "/home/u/show.lmv", {}, false, false, true},
        StartCase{"SelectedProjectTray", Run::Later, "/home/u/show.lmv", {"/TRAY"}, true, false, true}),
    [](const ::testing::TestParamInfo<StartCase>& param) { return std::string(param.param.name); });

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

TEST(Startup, FirstRunRecordsTheKeyAndTheAutostartOnce)
{
    AppHarness app;
    app.start({"/TRAY"});
    EXPECT_EQ(app.readValue(kProgramKey, kSelectedValue), "");
    EXPECT_TRUE(app.store->keyExists(Root::LocalMachine, kProgramKey));
    EXPECT_EQ(app.readValue(kRunKey, kAutostartValue), "/opt/plimbury test/bin/plimbury /TRAY");
    const std::string entry = app.autostartEntry();
    EXPECT_NE(entry.find("Exec="), std::string::npos);
    EXPECT_NE(entry.find("plimbury\" /TRAY"), std::string::npos) << entry;
}

TEST(Startup, LaterRunDoesNotWriteTheAutostartAgain)
{
    AppHarness app;
    app.markLaterRun();
    app.start();
    EXPECT_EQ(app.readValue(kRunKey, kAutostartValue), "<no key>");
    EXPECT_EQ(app.autostartEntry(), "");
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

// A store whose folder lies under a regular file can be neither read nor
// created: every start is a first run that records nothing.
TEST(Startup, UnwritableStoreLeavesNothingBehind)
{
    AppHarness app;
    writeFile(app.dir.file("blocker"), "a file, not a folder");
    app.useStore(makeFileStore(app.dir.file("blocker") + "/registry"));
    TForm1& form = app.start({"/TRAY"});

    EXPECT_FALSE(control<QTimer>(form, "Timer3")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer6")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer7")->isActive());
    EXPECT_TRUE(control<QRadioButton>(form, "RadioButton1")->isChecked());
    EXPECT_FALSE(app.store->keyExists(Root::LocalMachine, kProgramKey));
    EXPECT_EQ(app.autostartEntry(), "");
    EXPECT_TRUE(dialogs::takeShown().empty());
}

// Read access only: the key is there, so /TRAY counts, but nothing is resumed.
class ReadOnlyStore : public Store {
public:
    bool keyExists(Root, const std::string&) override { return true; }
    std::unique_ptr<StoreKey> openKey(Root, const std::string&) override { return nullptr; }
};

TEST(Startup, ReadOnlyStoreHonoursTrayButResumesNothing)
{
    AppHarness app;
    app.useStore(std::make_unique<ReadOnlyStore>());
    TForm1& form = app.start({"/TRAY"});
    EXPECT_TRUE(control<QTimer>(form, "Timer3")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer6")->isActive());
    EXPECT_FALSE(control<QTimer>(form, "Timer7")->isActive());
    EXPECT_EQ(form.selectedProject(), "");
}

// A key that opens but refuses its values must not stop the program.
class RefusingStore : public Store {
    struct Key : StoreKey {
        std::string read(const std::string&) override { return ""; }
        void write(const std::string& name, const std::string&) override
        {
            throw Error("Failed to set data for '" + name + "'");
        }
    };

public:
    bool keyExists(Root, const std::string&) override { return false; }
    std::unique_ptr<StoreKey> openKey(Root, const std::string&) override { return std::make_unique<Key>(); }
};

TEST(Startup, ValuesThatCannotBeStoredAreSkippedSilently)
{
    AppHarness app;
    app.useStore(std::make_unique<RefusingStore>());
    TForm1& form = app.start();
    EXPECT_TRUE(control<QTimer>(form, "Timer6")->isActive());
    EXPECT_EQ(app.autostartEntry(), "");
    EXPECT_TRUE(dialogs::takeShown().empty());
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
