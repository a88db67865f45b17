// The skin: hover pairs lit and put out by the pointer itself, the two pages,
// the editor buttons and the interval-row rule; the pictures and icons a
// screen of device pixel ratio 2 is given.

#include "AppHarness.h"

#include "app/Skin.h"
#include "app/TmyImage.h"
#include "widgets/SortedListBox.h"
#include "support/Controls.h"

#include <QCursor>
#include <QDir>
#include <QGroupBox>
#include <QHelpEvent>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>

using plimbury::test::control;

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
        {control<TmyImage>(*form, "myImage_nb"), control<TmyImage>(*form, "myImage_n"), "Creat  a  new  project"},
        {control<TmyImage>(*form, "myImage_ob"), control<TmyImage>(*form, "myImage_o"), "Open  a  exit  project"},
        {control<TmyImage>(*form, "myImage_sb"), control<TmyImage>(*form, "myImage_s"), "Save project"},
        {control<TmyImage>(*form, "myImage_faqb"), control<TmyImage>(*form, "myImage_faq"), "Help!!!"},
        {control<TmyImage>(*form, "myImage_done"), control<TmyImage>(*form, "myImage_donet"), "Save  and  Run"},
        {control<TmyImage>(*form, "myImage_exit"), control<TmyImage>(*form, "myImage_exitt"), "Abandon  and  Exit"},
        {control<TmyImage>(*form, "myImage_ww"), control<TmyImage>(*form, "myImage_wr"), "setup wallpaper"},
        {control<TmyImage>(*form, "myImage_sw"), control<TmyImage>(*form, "myImage_sr"), "setup screensaver"},
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
    EXPECT_EQ(askHint(control<TmyImage>(*form, "myImage_faqb")), QString());
    pointTo(control<TmyImage>(*form, "myImage_faqb"));
    EXPECT_EQ(askHint(control<TmyImage>(*form, "myImage_faqb")), QStringLiteral("Help!!!"));
    QToolTip::hideText();
}

TEST_F(Skin, MovingStraightFromOneButtonToAnotherPutsTheFirstOut)
{
    pointTo(control<TmyImage>(*form, "myImage_nb"));
    ASSERT_TRUE(control<TmyImage>(*form, "myImage_n")->isVisible());
    pointTo(control<TmyImage>(*form, "myImage_ob"));
    EXPECT_FALSE(control<TmyImage>(*form, "myImage_n")->isVisible());
    EXPECT_TRUE(control<TmyImage>(*form, "myImage_o")->isVisible());
    pointTo(QPoint(-50, -50));   // out of the window
    EXPECT_FALSE(control<TmyImage>(*form, "myImage_o")->isVisible());
}

struct PageState {
    bool scrGroup, selScr, wallGroup, selWall, list1, list2;
};

PageState pageOf(const TForm1& f)
{
    return {control<QGroupBox>(f, "GroupBox_scr")->isVisible(), control<TmyImage>(f, "myImage_sel_scr")->isVisible(), control<QGroupBox>(f, "GroupBox_wall")->isVisible(),
            control<TmyImage>(f, "myImage_sel_wall")->isVisible(), control<SortedListBox>(f, "FileListBox1")->isVisible(), control<SortedListBox>(f, "FileListBox2")->isVisible()};
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
    control<SortedListBox>(*form, "FileListBox1")->setLines({"/p/a.jpg"});
    control<QLineEdit>(*form, "Edit2")->setText(QStringLiteral("7"));

    pointTo(control<TmyImage>(*form, "myImage_sw"));
    clickAt(control<TmyImage>(*form, "myImage_sw")->geometry().center());
    expectPage(*form, true);
    pointTo(control<TmyImage>(*form, "myImage_sw"));
    clickAt(control<TmyImage>(*form, "myImage_sw")->geometry().center());   // the page already shown
    expectPage(*form, true);

    pointTo(control<TmyImage>(*form, "myImage_ww"));
    clickAt(control<TmyImage>(*form, "myImage_ww")->geometry().center());
    expectPage(*form, false);
    EXPECT_EQ(control<SortedListBox>(*form, "FileListBox1")->lines(), std::vector<std::string>{"/p/a.jpg"});
    EXPECT_EQ(control<QLineEdit>(*form, "Edit2")->text(), QStringLiteral("7"));
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
    pointTo(control<TmyImage>(*form, "myImage_exit"));
    clickAt(control<TmyImage>(*form, "myImage_exit")->geometry().center());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Skin, OutsideTheRoundedRegionNoControlIsHit)
{
    EXPECT_EQ(form->childAt(QPoint(84, 84)), nullptr);
    EXPECT_EQ(form->childAt(QPoint(770, 300)), nullptr);
    EXPECT_EQ(form->childAt(QPoint(100, 300)), control<TmyImage>(*form, "Image_bg"));
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
        {control<QRadioButton>(*form, "RadioButton2"), {false, true, false, true, true, true}},
        {control<QRadioButton>(*form, "RadioButton3"), {false, false, true, true, true, true}},
        {control<QRadioButton>(*form, "RadioButton1"), {true, false, false, true, true, true}},
        {control<QRadioButton>(*form, "RadioButton5"), {true, false, false, false, true, false}},
        {control<QRadioButton>(*form, "RadioButton6"), {true, false, false, false, false, true}},
        {control<QRadioButton>(*form, "RadioButton4"), {true, false, false, true, false, false}},
    };
    QLineEdit* const edits[6] = {control<QLineEdit>(*form, "Edit1"), control<QLineEdit>(*form, "Edit2"), control<QLineEdit>(*form, "Edit3"), control<QLineEdit>(*form, "Edit4"), control<QLineEdit>(*form, "Edit5"), control<QLineEdit>(*form, "Edit6")};
    for (const Row& r : rows) {
        if (r.radio == control<QRadioButton>(*form, "RadioButton5"))
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
    QTest::mouseClick(control<QRadioButton>(*form, "RadioButton4"), Qt::LeftButton);
    QTest::mouseClick(control<QLabel>(*form, "Label6"), Qt::LeftButton);
    EXPECT_TRUE(control<QLineEdit>(*form, "Edit6")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(*form, "Edit4")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(*form, "Edit5")->isEnabled());
    EXPECT_TRUE(control<QRadioButton>(*form, "RadioButton4")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(*form, "RadioButton6")->isChecked());

    // The wallpaper day label has no handler.
    form->myImage_wrClick();
    QTest::mouseClick(control<QLabel>(*form, "Label3"), Qt::LeftButton);
    for (QLineEdit* e : {control<QLineEdit>(*form, "Edit1"), control<QLineEdit>(*form, "Edit2"), control<QLineEdit>(*form, "Edit3")})
        EXPECT_TRUE(e->isEnabled());
}

// The mean difference of two pictures of one size, per channel on 0..255.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// The mean difference between the inner part of `a` (one pixel in from each
// edge) and the part of `b` at that place moved by (dx, dy).
double shiftedDifference(const QImage& a, const QImage& b, int dx, int dy)
{
    const QRect inner = a.rect().adjusted(1, 1, -1, -1);
    return meanDifference(a.copy(inner), b.copy(inner.translated(dx, dy)));
}

// Every skin picture has its 2x twin: twice the pixels each way, and the same
// artwork cut from the same place. Scaled back down it matches the 1x picture
// up to antialiasing and JPEG noise, and better there than one pixel off in
// any direction: a twin cut from a neighbouring place or drawn anew does not.
TEST(SkinPictures, EachHasATwinOfTwiceThePixelsShowingTheSameArtwork)
{
    const QStringList files = QDir(QStringLiteral(":/skin")).entryList({QStringLiteral("*.jpg")});
    int pictures = 0;
    for (const QString& file : files) {
        if (file.contains(u'@'))
            continue;
        ++pictures;
        const QString twin = file.chopped(4) + QStringLiteral("@2x.jpg");
        const QImage one(QStringLiteral(":/skin/") + file), two(QStringLiteral(":/skin/") + twin);
        ASSERT_FALSE(one.isNull()) << file.toStdString();
        ASSERT_FALSE(two.isNull()) << twin.toStdString() << " is missing";
        EXPECT_EQ(two.size(), one.size() * 2) << twin.toStdString();
        const QImage down = two.scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double inPlace = shiftedDifference(one, down, 0, 0);
        EXPECT_LT(inPlace, 8.0) << twin.toStdString();
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx != 0 || dy != 0) {
                    EXPECT_LT(inPlace, shiftedDifference(one, down, dx, dy))
                        << twin.toStdString() << " moved " << dx << "," << dy;
                }
            }
        }
    }
    EXPECT_EQ(pictures, 19);
    EXPECT_EQ(files.size(), 2 * pictures) << "a 2x picture without its 1x one";
}

TEST(SkinPictures, TheRatioPicksThePictureAndTheControlKeepsItsWindowSize)
{
    struct Case {
        const char* what;
        QString file;
        qreal ratio;
        QSize pixels;   // of the picture taken
        qreal pictureRatio;
    };
    const Case cases[] = {
        {"1x screen", skin::picture("myImage_exit"), 1.0, {59, 64}, 1.0},
        {"2x screen", skin::picture("myImage_exit"), 2.0, {118, 128}, 2.0},
        {"1.5x screen: the 2x scaled down", skin::picture("Image_bg"), 1.5, {1400, 990}, 2.0},
        {"no 2x variant", QStringLiteral(":/icons/plimbury-48.png"), 2.0, {48, 48}, 1.0},
        {"no such picture", QStringLiteral(":/skin/nothing.jpg"), 2.0, {0, 0}, 1.0},
    };
    for (const Case& c : cases) {
        const QPixmap picture = skin::pictureFor(c.file, c.ratio);
        EXPECT_EQ(picture.size(), c.pixels) << c.what;
        EXPECT_EQ(picture.devicePixelRatio(), c.pictureRatio) << c.what;
        if (!picture.isNull()) {
            EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(c.pixels) / c.pictureRatio) << c.what;
        }
    }
}

// The window and the tray ask the icon for a size at the screen's ratio;
// at 2 they get the drawn file of twice the pixels, not a blown-up small one.
TEST(SkinPictures, TheIconAtRatioTwoIsTheFileOfTwiceTheSize)
{
    const QIcon icon = skin::applicationIcon();
    for (int size : {16, 24, 32}) {
        const QPixmap pixmap = icon.pixmap(QSize(size, size), 2.0);
        EXPECT_EQ(pixmap.size(), QSize(2 * size, 2 * size)) << size;
        EXPECT_EQ(pixmap.devicePixelRatio(), 2.0) << size;
        const QImage drawn(QStringLiteral(":/icons/plimbury-%1.png").arg(2 * size));
        EXPECT_EQ(pixmap.toImage().convertToFormat(drawn.format()), drawn) << size;
    }
}

} // namespace
} // namespace plimbury::test
