// Every caption of the three windows fits the control it was laid out for,
// measured with the control's own font and the style's decoration: a font
// wider than the layout's cuts words ("Refresh pe", "review"). And every
// font draws its glyphs at the screen's ratio: a bitmap face has glyphs only
// at its own pixel sizes, so on a screen of ratio 2 its captions come out in
// glyphs half as tall, spread over the scaled advances. CTest runs these at
// QT_SCALE_FACTOR 1, 1.25, 1.5 and 2.

#include "AppHarness.h"

#include "widgets/LayoutFont.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace plimbury::test {
namespace {

// Room the style leaves for a control's text, or -1 for a control with no
// caption of its own.
int roomForText(QWidget* widget)
{
    QStyle* style = widget->style();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QRadioButton*>(widget))
            contents = QStyle::SE_RadioButtonContents;
        else if (qobject_cast<QCheckBox*>(widget))
            contents = QStyle::SE_CheckBoxContents;
        return style->subElementRect(contents, &option, button).width();
    }
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->contentsRect().width() - 2 * label->margin();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return group->width() - label.left() * 2;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        const QMargins margins = edit->textMargins();
        return edit->contentsRect().width() - margins.left() - margins.right() - 4;
    }
    return -1;
}

QString captionOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    return {};
}

// Each visible control with a caption of `window`: the caption fits its
// room, and the control lies within what its parent shows.
std::vector<std::string> cutCaptions(QWidget* window)
{
    std::vector<std::string> cut;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const QString caption = captionOf(widget);
        if (caption.isEmpty() || !widget->isVisibleTo(window))
            continue;
        const int room = roomForText(widget);
        const int needed = widget->fontMetrics().horizontalAdvance(caption);
        const std::string name = widget->objectName().toStdString() + " \"" + caption.toStdString() + "\"";
        if (needed > room)
            cut.push_back(name + ": needs " + std::to_string(needed) + " px, has " + std::to_string(room));
        if (widget->fontMetrics().height() > widget->height())
            cut.push_back(name + ": too low for its font");
        const QWidget* parent = widget->parentWidget();
        const QRect inParent = parent == window ? window->rect() : parent->contentsRect();
        if (!inParent.contains(widget->geometry()))
            cut.push_back(name + ": runs past its parent's edge");
    }
    return cut;
}

// How tall `font` draws "Hg|" on a screen of `ratio`, in device pixels.
int inkHeight(const QFont& font, qreal ratio)
{
    const QString probe = QStringLiteral("Hg|");
    const QFontMetrics metrics(font);
    const QSizeF logical(metrics.horizontalAdvance(probe) + 8, metrics.height() + 8);
    QImage image((logical * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(4, 4 + metrics.ascent(), probe);
    painter.end();
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                top = std::min(top, y);
                bottom = y;
            }
        }
    }
    return bottom < top ? 0 : bottom - top + 1;
}

// The fonts `window` and its captioned controls draw with, each whose glyphs
// on the window's screen are not about `ratio` times as tall as at ratio 1.
std::vector<std::string> shrunkFonts(QWidget* window)
{
    std::vector<QFont> fonts{window->font()};
    for (QWidget* widget : window->findChildren<QWidget*>())
        if (!captionOf(widget).isEmpty())
            fonts.push_back(widget->font());
    const qreal ratio = window->devicePixelRatio();
    std::set<QString> seen;
    std::vector<std::string> shrunk;
    for (const QFont& font : fonts) {
        if (!seen.insert(font.key()).second)
            continue;
        const int atOne = inkHeight(font, 1);
        const int atRatio = inkHeight(font, ratio);
        // A tenth off for the rounding of glyphs to whole device pixels.
        if (atRatio < 0.9 * ratio * atOne)
            shrunk.push_back(QFontInfo(font).family().toStdString() + ": " + std::to_string(atRatio) +
                             " device pixels high, " + std::to_string(atOne) + " at ratio 1");
    }
    return shrunk;
}

TEST(CaptionFit, EveryCaptionOfTheThreeWindowsIsWholeAndFullSize)
{
    AppHarness app;
    TForm1& form = app.start();
    app.showWindow();
    const qreal ratio = form.devicePixelRatio();

    const struct {
        const char* what;
        std::function<QWidget*()> show;
    } windows[] = {
        {"wallpaper page", [&] { form.myImage_wrClick(); return &form; }},
        {"screen-saver page", [&] { form.myImage_srClick(); return &form; }},
        {"wallpaper list editor", [&] { app.wall->showEditor(); return app.wall.get(); }},
        {"screen-saver list editor", [&] { app.screensaver->showEditor(); return app.screensaver.get(); }},
    };
    for (const auto& w : windows) {
        QWidget* window = w.show();
        ASSERT_EQ(window->devicePixelRatio(), ratio) << w.what;
        EXPECT_EQ(cutCaptions(window), std::vector<std::string>{}) << w.what << " at ratio " << ratio;
        EXPECT_EQ(shrunkFonts(window), std::vector<std::string>{}) << w.what << " at ratio " << ratio;
        // Where it draws true to its pixels, the layout's own face, as ever.
        if (ratio == 1 && QFile::exists(QString::fromLatin1(widgets::kLayoutFontFile))) {
            EXPECT_EQ(QFontInfo(window->font()).family(), QStringLiteral("MS Sans Serif")) << w.what;
        }
    }
}

} // namespace
} // namespace plimbury::test
