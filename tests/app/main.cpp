// The window tests run on Qt's offscreen platform, with every message box
// recorded instead of shown, and with HOME and the XDG folders in a private
// temporary folder: nothing here may touch the real user's files.

#include "widgets/Dialogs.h"
#include "support/TempDir.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    plimbury::test::TempDir home;
    const auto put = [&](const char* name, const std::string& value) { setenv(name, value.c_str(), 1); };
    put("HOME", home.path().string());
    put("XDG_CONFIG_HOME", home.file("config"));
    put("XDG_DATA_HOME", home.file("data"));
    put("XDG_CACHE_HOME", home.file("cache"));
    put("PLIMBURY_REGISTRY", home.file("registry"));
    put("PLIMBURY_DESKTOP", "none");
    if (!std::getenv("QT_QPA_PLATFORM"))
        put("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plimbury"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plimbury"));
    dialogs::setRecordOnly(true);

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
