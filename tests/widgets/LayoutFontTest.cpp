// A window takes the layout font of the screen it is on: the bitmap face
// only on a screen of ratio 1, a scalable face elsewhere, also after it moves
// from one to the other. CTest runs these on two offscreen screens side by
// side, of ratios 1 and 2 (data/two-screens.json); with fewer they skip.

#include "widgets/LayoutFont.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>

namespace {

// What is wrong with `widget`'s font on a screen of `ratio`; "" when nothing.
std::string fontProblem(const QWidget& widget, qreal ratio)
{
    const QFontInfo info(widget.font());
    const std::string family = info.family().toStdString();
    if (ratio != 1 && !QFontDatabase::isSmoothlyScalable(info.family(), info.styleName()))
        return family + " does not scale to ratio " + QString::number(ratio).toStdString();
    if (ratio == 1 && QFile::exists(QString::fromLatin1(widgets::kLayoutFontFile)) &&
        info.family() != QStringLiteral("MS Sans Serif"))
        return family + " instead of the layout's own face at ratio 1";
    return {};
}

TEST(LayoutFont, FollowsTheRatioOfTheWindowsScreen)
{
    QScreen* one = nullptr;
    QScreen* two = nullptr;
    for (QScreen* screen : QGuiApplication::screens())
        (screen->devicePixelRatio() == 1 ? one : two) = screen;
    if (one == nullptr || two == nullptr)
        GTEST_SKIP() << "needs a screen of ratio 1 and one of another";
    const auto inside = [](QScreen* screen) { return screen->geometry().topLeft() + QPoint(20, 20); };

    const struct {
        const char* what;
        QScreen* madeOn;
        QScreen* shownOn;
    } rows[] = {
        {"made and shown at ratio 1", one, one},
        {"made and shown at ratio 2", two, two},
        {"made at ratio 1, moved to ratio 2 before its first show", one, two},
        {"made at ratio 2, moved to ratio 1 before its first show", two, one},
    };
    for (const auto& row : rows) {
        QWidget window;
        auto* caption = new QLabel(QStringLiteral("Setup Wallpaper"), &window);
        window.setGeometry(QRect(inside(row.madeOn), QSize(200, 100)));
        widgets::useLayoutFont(&window);
        window.move(inside(row.shownOn));
        window.show();
        QApplication::processEvents();
        EXPECT_EQ(fontProblem(window, row.shownOn->devicePixelRatio()), "") << row.what << ", shown";

        QScreen* other = row.shownOn == one ? two : one;
        window.move(inside(other));
        QApplication::processEvents();
        ASSERT_EQ(window.screen(), other) << row.what;
        EXPECT_EQ(fontProblem(window, other->devicePixelRatio()), "") << row.what << ", moved while shown";
        EXPECT_EQ(caption->font(), window.font()) << row.what;
    }
}

} // namespace
