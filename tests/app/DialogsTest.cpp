// The error report's period rule, the guard around handlers and the file-dialog hook.

#include "editors/Dialogs.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorReport, AppendsAPeriodOnlyAfterCharactersThatSortAfterIt)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Disk full", "Disk full."},
        {"value 5", "value 5."},
        {"Done.", "Done."},
        {"Why?", "Why?."},            // '?' sorts after '.'
        {"Stop!", "Stop!"},           // '!' sorts before it
        {"(see above)", "(see above)"},
        {"path/", "path/."},          // '/' is the first character after '.'
        {"a-", "a-"},                 // '-' just before it
        {"'x'", "'x'"},
        {"caf\xc3\xa9", "caf\xc3\xa9."},   // a byte above 127 sorts after it
        {"line\n", "line\n"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(dialogs::errorReportText(text), shown) << text;
}

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
