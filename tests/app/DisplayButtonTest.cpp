// The display settings in the main window: one click from the wallpaper
// page, a dialog that changes the working settings, kept by Save.

#include "AppHarness.h"

#include "app/DisplayDialog.h"
#include "project/ProjectCommands.h"
#include "support/Controls.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace plimbury::test {
namespace {

// Answers the next modal dialog once it is open.
void whenTheDialogOpens(const std::function<void(DisplayDialog&)>& answer)
{
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<DisplayDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no display dialog open";
        answer(*dialog);
    });
}

TEST(DisplayButton, OnTheWallpaperPageChangesTheWorkingSettingsThatSaveKeeps)
{
    AppHarness app;
    TForm1& form = app.start();
    form.show();
    auto* button = control<QPushButton>(form, "Button_display");
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->text(), QStringLiteral("Fit: stretch..."));
    form.myImage_srClick();
    EXPECT_FALSE(button->isVisible()) << "the screen-saver page has no pictures to fit";
    form.myImage_wrClick();
    EXPECT_TRUE(button->isVisible());

    struct Step {
        int fitRow;   // in the dialog's list
        bool accept;
        const char* caption;
    };
    for (const Step& step : {Step{1, true, "Fit: fill..."}, Step{4, false, "Fit: fill..."},
                             Step{2, true, "Fit: fit..."}}) {
        whenTheDialogOpens([&](DisplayDialog& dialog) {
            control<QComboBox>(dialog, "ComboBox_fit")->setCurrentIndex(step.fitRow);
            step.accept ? dialog.accept() : dialog.reject();
        });
        button->click();
        EXPECT_EQ(button->text(), QString::fromLatin1(step.caption));
    }

    whenTheDialogOpens([](DisplayDialog& dialog) {
        control<QComboBox>(dialog, "ComboBox_monitors")->setCurrentIndex(1);
        dialog.accept();
    });
    button->click();
    dialogs::setNextFileName(QString::fromStdString(app.dir.file("show.lmv")));
    form.myImage_sClick();
    const DisplaySettings saved = loadProject(app.dir.file("show.lmv")).display;
    EXPECT_EQ(saved.fit, FitMode::Fit);
    EXPECT_EQ(saved.monitors, MonitorMode::Each);

    LoadedProject opened;
    opened.display.fit = FitMode::Tile;
    form.applyLoadedProject(opened);
    EXPECT_EQ(button->text(), QStringLiteral("Fit: tile..."));
}

} // namespace
} // namespace plimbury::test
