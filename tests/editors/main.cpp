#include "EditorTestSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The windows are never meant to appear; CTest's test discovery runs this
    // without the offscreen setting and maybe without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    plimbury::test::recordReportedErrors();
    return RUN_ALL_TESTS();
}
