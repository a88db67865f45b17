// The skin: hover pairs lit and put out by the pointer itself, the two pages,
// the editor buttons and the interval-row rule.

#include "AppHarness.h"

#include "app/TmyImage.h"
#include "editors/SortedListBox.h"

#include <QGroupBox>
#include <QCursor>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

namespace plimbury::test {
namespace {

class Skin : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.markLaterRun();   // design state of the interval rows
        form = &app.start();
        app.showWindow();
        window = form->windowHandle();
        ASSERT_NE(window, nullptr);
    }

    // Through the window system, so that Qt itself works out enter and leave;
    // the cursor position must agree, as Qt asks it when a control appears
    // under a resting pointer.
    void pointTo(QPoint at)
    {
        QCursor::setPos(window->mapToGlobal(at));
        QCoreApplication::processEvents();
    }
    void pointTo(QWidget* control) { pointTo(control->geometry().center()); }
    void clickAt(QPoint at) { QTest::mouseClick(window, Qt::LeftButton, {}, at); }

    static constexpr QPoint kBackground{95, 250};   // on Image_bg, off every control

    AppHarness app;
    TForm1* form = nullptr;
    QWindow* window = nullptr;
};

TEST_F(Skin, EachPairLightsUnderThePointerAndGoesOutWhenItLeaves)
{
    struct Pair {
        TmyImage* idle;
        TmyImage* lit;
        const char* hint;
    };
    const Pair pairs[] = {
        {form->myImage_nb, form->myImage_n, "Creat  a  new  project"},
        {form->myImage_ob, form->myImage_o, "Open  a  exit  project"},
        {form->myImage_sb, form->myImage_s, "Save project"},
        {form->myImage_faqb, form->myImage_faq, "Help!!!"},
        {form->myImage_done, form->myImage_donet, "Save  and  Run"},
        {form->myImage_exit, form->myImage_exitt, "Abandon  and  Exit"},
        {form->myImage_ww, form->myImage_wr, "setup wallpaper"},
        {form->myImage_sw, form->myImage_sr, "setup screensaver"},
    };
    for (const Pair& p : pairs) {
        const std::string name = p.lit->objectName().toStdString();
        EXPECT_EQ(p.lit->toolTip(), QString()) << name << ": hint off until first lit";
        pointTo(p.idle);
        EXPECT_TRUE(p.lit->isVisible()) << name;
        EXPECT_EQ(p.lit->toolTip(), QLatin1String(p.hint)) << name;
        EXPECT_EQ(p.lit->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_EQ(form->childAt(p.idle->geometry().center()), p.lit) << name << ": lit lies on top";
        pointTo(kBackground);
        EXPECT_FALSE(p.lit->isVisible()) << name;
        EXPECT_TRUE(p.idle->isVisible()) << name;
        EXPECT_EQ(p.lit->toolTip(), QLatin1String(p.hint)) << name << ": the hint stays on";
    }
}

// Qt asks the control it last saw under the pointer for the hint; right after
// lighting, that is still the idle picture, which answers with its lit twin's.
TEST_F(Skin, TheHintShowsOnlyOnceLitEvenWhenAskedOfTheIdlePicture)
{
    const auto askHint = [&](TmyImage* control) {
        const QPoint at = control->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, control->mapToGlobal(at));
        QCoreApplication::sendEvent(control, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(askHint(form->myImage_faqb), QString());
    pointTo(form->myImage_faqb);
    EXPECT_EQ(askHint(form->myImage_faqb), QStringLiteral("Help!!!"));
    QToolTip::hideText();
}

TEST_F(Skin, MovingStraightFromOneButtonToAnotherPutsTheFirstOut)
{
    pointTo(form->myImage_nb);
    ASSERT_TRUE(form->myImage_n->isVisible());
    pointTo(form->myImage_ob);
    EXPECT_FALSE(form->myImage_n->isVisible());
    EXPECT_TRUE(form->myImage_o->isVisible());
    pointTo(QPoint(-50, -50));   // out of the window
    EXPECT_FALSE(form->myImage_o->isVisible());
}

struct PageState {
    bool scrGroup, selScr, wallGroup, selWall, list1, list2;
};

PageState pageOf(const TForm1& f)
{
    return {f.GroupBox_scr->isVisible(), f.myImage_sel_scr->isVisible(), f.GroupBox_wall->isVisible(),
            f.myImage_sel_wall->isVisible(), f.FileListBox1->isVisible(), f.FileListBox2->isVisible()};
}

void expectPage(const TForm1& f, bool screensaverPage)
{
    const PageState s = pageOf(f);
    EXPECT_EQ(s.scrGroup, screensaverPage);
    EXPECT_EQ(s.selScr, screensaverPage);
    EXPECT_EQ(s.wallGroup, !screensaverPage);
    EXPECT_EQ(s.selWall, !screensaverPage);
    EXPECT_EQ(s.list1, !screensaverPage);
    EXPECT_EQ(s.list2, screensaverPage);
}

TEST_F(Skin, PageButtonsSwitchThePagesThroughTheirLitPicture)
{
    expectPage(*form, false);
    form->FileListBox1->setLines({"/p/a.jpg"});
    form->Edit2->setText(QStringLiteral("7"));

    pointTo(form->myImage_sw);
    clickAt(form->myImage_sw->geometry().center());
    expectPage(*form, true);
    pointTo(form->myImage_sw);
    clickAt(form->myImage_sw->geometry().center());   // the page already shown
    expectPage(*form, true);

    pointTo(form->myImage_ww);
    clickAt(form->myImage_ww->geometry().center());
    expectPage(*form, false);
    EXPECT_EQ(form->FileListBox1->lines(), std::vector<std::string>{"/p/a.jpg"});
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("7"));
}

TEST_F(Skin, EditorButtonsOpenTheirEditorAndOnlyOneStaysOpen)
{
    form->myImage_sel_wallClick();
    EXPECT_TRUE(app.wall->isVisible());
    form->myImage_srClick();
    EXPECT_TRUE(app.wall->isVisible()) << "switching the page leaves an editor open";
    form->myImage_sel_scrClick();
    EXPECT_TRUE(app.screensaver->isVisible());
    EXPECT_FALSE(app.wall->isVisible());
}

TEST_F(Skin, AbandonAndExitClosesTheWindow)
{
    QSignalSpy closed(form, &TForm1::closed);
    pointTo(form->myImage_exit);
    clickAt(form->myImage_exit->geometry().center());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Skin, OutsideTheRoundedRegionNoControlIsHit)
{
    EXPECT_EQ(form->childAt(QPoint(84, 84)), nullptr);
    EXPECT_EQ(form->childAt(QPoint(770, 300)), nullptr);
    EXPECT_EQ(form->childAt(QPoint(100, 300)), form->Image_bg);
}

// Each click leaves exactly its own row's edit box enabled in its group; the
// other group is untouched (all enabled in the design state).
TEST_F(Skin, RadioButtonsEnableOnlyTheirRow)
{
    struct Row {
        QRadioButton* radio;
        std::array<bool, 6> enabled;
    };
    const Row rows[] = {
        {form->RadioButton2, {false, true, false, true, true, true}},
        {form->RadioButton3, {false, false, true, true, true, true}},
        {form->RadioButton1, {true, false, false, true, true, true}},
        {form->RadioButton5, {true, false, false, false, true, false}},
        {form->RadioButton6, {true, false, false, false, false, true}},
        {form->RadioButton4, {true, false, false, true, false, false}},
    };
    QLineEdit* const edits[6] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4, form->Edit5, form->Edit6};
    for (const Row& r : rows) {
        if (r.radio == form->RadioButton5)
            form->myImage_srClick();   // each group is clicked on its own page
        QTest::mouseClick(r.radio, Qt::LeftButton);
        EXPECT_TRUE(r.radio->isChecked());
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(edits[i]->isEnabled(), r.enabled[i]) << r.radio->objectName().toStdString() << " Edit" << i + 1;
    }
    for (QLineEdit* e : edits)
        EXPECT_EQ(e->text(), QStringLiteral("0"));
}

TEST_F(Skin, TheScreenSaverDayLabelActsAsItsRowButOnlyOnTheEdits)
{
    form->myImage_srClick();
    QTest::mouseClick(form->RadioButton4, Qt::LeftButton);
    QTest::mouseClick(form->Label6, Qt::LeftButton);
    EXPECT_TRUE(form->Edit6->isEnabled());
    EXPECT_FALSE(form->Edit4->isEnabled());
    EXPECT_FALSE(form->Edit5->isEnabled());
    EXPECT_TRUE(form->RadioButton4->isChecked());
    EXPECT_FALSE(form->RadioButton6->isChecked());

    // The wallpaper day label has no handler.
    form->myImage_wrClick();
    QTest::mouseClick(form->Label3, Qt::LeftButton);
    for (QLineEdit* e : {form->Edit1, form->Edit2, form->Edit3})
        EXPECT_TRUE(e->isEnabled());
}

} // namespace
} // namespace plimbury::test
