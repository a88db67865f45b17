// The widget tests run on Qt's offscreen platform, with every message box
// recorded instead of shown.

#include "widgets/Dialogs.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // CTest's test discovery runs this without the offscreen setting and
    // maybe without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    dialogs::setRecordOnly(true);
    return RUN_ALL_TESTS();
}
