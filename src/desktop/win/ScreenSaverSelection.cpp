#include "desktop/ScreenSaverSelection.h"

#include "platform/Launcher.h"

#include <utility>

namespace plimbury {

XScreenSaverFiles systemXScreenSaverFiles()
{
    return {};
}

bool xscreensaverInstalled(const XScreenSaverFiles&)
{
    return false;
}

std::optional<std::size_t> xscreensaverProgramIndex(const std::string&, const XScreenSaverFiles&)
{
    return std::nullopt;
}

bool selectXScreenSaverProgram(const std::string&, const XScreenSaverFiles&)
{
    return false;
}

ScreenSaverSelector::ScreenSaverSelector(XScreenSaverFiles files)
    : m_files(std::move(files))
{
}

void ScreenSaverSelector::select(const std::string&)
{
}

TestRunMeans systemTestRunMeans()
{
    TestRunMeans means;
    means.runCommand = [](const std::vector<std::string>&) { return -1; };
    means.start = startDetached;
    return means;
}

void testRunScreenSaver(const std::string& program, const TestRunMeans& means)
{
    // As a screen saver runs: full screen with -s. Whether it started is not
    // looked at, as on the system's own test run.
    means.start(program, {"-s"});
}

} // namespace plimbury
