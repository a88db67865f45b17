// The guard around handlers and the file-dialog hook.

#include "widgets/Dialogs.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorReport, GuardReportsEveryFailureOnceAndSwallowsIt)
{
    dialogs::takeShown();
    EXPECT_NO_THROW(dialogs::guarded(nullptr, [] { throw plimbury::Error("'' is not a valid integer value"); }));
    EXPECT_NO_THROW(dialogs::guarded(nullptr, [] { throw std::runtime_error("Out of memory"); }));
    EXPECT_NO_THROW(dialogs::guarded(nullptr, [] { throw 42; }));
    dialogs::guarded(nullptr, [] {});
    const auto shown = dialogs::takeShown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "'' is not a valid integer value.");
    EXPECT_TRUE(shown[0].isError);
    EXPECT_EQ(shown[1].text, "Out of memory.");
    EXPECT_TRUE(shown[2].isError);
}

TEST(ErrorReport, OwnMessagesAreShownAsWritten)
{
    dialogs::showMessage(nullptr, "please fill in the wallpaper or screensaver time setup ");
    const auto shown = dialogs::takeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0].isError);
    EXPECT_EQ(shown[0].text, "please fill in the wallpaper or screensaver time setup ");
}

TEST(FileDialogHook, AnswersTheNextDialogAndKeepsTheChosenName)
{
    dialogs::FileDialogSettings save;
    dialogs::setNextFileName(QStringLiteral("/shows/evening.lmv"));
    EXPECT_EQ(dialogs::runSaveDialog(nullptr, save), QStringLiteral("/shows/evening.lmv"));
    EXPECT_EQ(save.fileName, QStringLiteral("/shows/evening.lmv"));

    dialogs::setNextFileName(std::nullopt);   // cancelled
    EXPECT_EQ(dialogs::runSaveDialog(nullptr, save), std::nullopt);
    EXPECT_EQ(save.fileName, QStringLiteral("/shows/evening.lmv")) << "a cancelled dialog keeps the last name";

    dialogs::FileDialogSettings open;
    dialogs::setNextFileName(QStringLiteral("/shows/new.lmv"));
    EXPECT_EQ(dialogs::runOpenDialog(nullptr, open), QStringLiteral("/shows/new.lmv"));
}

} // namespace
