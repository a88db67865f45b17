// Every caption of the three windows fits the control it was laid out for,
// measured with the control's own font and the style's decoration: a font
// wider than the layout's cuts words ("Refresh pe", "review").

#include "AppHarness.h"

#include "widgets/LayoutFont.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <gtest/gtest.h>

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

TEST(CaptionFit, EveryCaptionOfTheThreeWindowsIsWhole)
{
    AppHarness app;
    TForm1& form = app.start();
    app.showWindow();
    ASSERT_EQ(form.font().family(), widgets::layoutFont().family());

    form.myImage_wrClick();
    EXPECT_EQ(cutCaptions(&form), std::vector<std::string>{}) << "wallpaper page";
    form.myImage_srClick();
    EXPECT_EQ(cutCaptions(&form), std::vector<std::string>{}) << "screen-saver page";
    app.wall->showEditor();
    EXPECT_EQ(cutCaptions(app.wall.get()), std::vector<std::string>{}) << "wallpaper list editor";
    app.screensaver->showEditor();
    EXPECT_EQ(cutCaptions(app.screensaver.get()), std::vector<std::string>{}) << "screen-saver list editor";
}

} // namespace
} // namespace plimbury::test
