#pragma once
// The application of a window benchmark: Qt's offscreen platform unless the
// environment names another, and message boxes recorded instead of shown.

#include "widgets/Dialogs.h"

#include <QApplication>

namespace plimbury::bench {

inline int& offscreenArgs(int& argc)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
}

struct WindowBenchApp {
    WindowBenchApp(int& argc, char** argv) : app(offscreenArgs(argc), argv) { dialogs::setRecordOnly(true); }
    QApplication app;
};

} // namespace plimbury::bench
