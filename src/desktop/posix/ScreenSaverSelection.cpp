#include "desktop/ScreenSaverSelection.h"

#include "desktop/XResources.h"
#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/Launcher.h"
#include "platform/UserFolders.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace plimbury {

namespace {

using xresources::Program;
using xresources::Resource;
using xresources::programsOf;
using xresources::resourcesOf;

std::optional<std::string> readIfPresent(const std::string& path)
{
    try {
        return readWholeFile(path);
    } catch (const FileError& e) {
        throw Error("Cannot open file \"" + path + "\". " + systemErrorText(e.errnoValue));
    }
}

// The entry's file name without folder and extension.
std::string_view programNameOf(std::string_view entry)
{
    if (const std::size_t slash = entry.find_last_of("/\\"); slash != std::string_view::npos)
        entry.remove_prefix(slash + 1);
    if (const std::size_t period = entry.rfind('.'); period != std::string_view::npos && period > 0)
        entry = entry.substr(0, period);
    return entry;
}

// xscreensaver's list of programs: the user's file's when it has one, else
// the installed defaults' (a resource missing from the user's file falls back
// to the defaults, as for every X resource).
std::vector<Program> programsFrom(const std::optional<std::string>& user, const XScreenSaverFiles& files)
{
    const auto listed = [](const std::string& text) -> std::optional<std::vector<Program>> {
        std::optional<std::vector<Program>> programs;
        for (const Resource& resource : resourcesOf(text))
            if (resource.name == "programs")
                programs = programsOf(resource.value);
        return programs;
    };
    if (user)
        if (std::optional<std::vector<Program>> programs = listed(*user))
            return std::move(*programs);
    if (const std::optional<std::string> defaults = readIfPresent(files.appDefaults))
        if (std::optional<std::vector<Program>> programs = listed(*defaults))
            return std::move(*programs);
    return {};
}

std::optional<std::size_t> indexIn(const std::vector<Program>& programs, std::string_view wanted)
{
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        if (!equalIgnoringAsciiCase(programs[i].name, wanted))
            continue;
        if (programs[i].enabled)
            return i;
        if (!chosen)
            chosen = i;
    }
    return chosen;
}

} // namespace

XScreenSaverFiles systemXScreenSaverFiles()
{
    // xscreensaver itself looks in $HOME, else the password database.
    return {userHomeFolder() + "/.xscreensaver", "/etc/X11/app-defaults/XScreenSaver"};
}

bool xscreensaverInstalled(const XScreenSaverFiles& files)
{
    struct stat info {};
    return stat(files.appDefaults.c_str(), &info) == 0;
}

std::optional<std::size_t> xscreensaverProgramIndex(const std::string& entry, const XScreenSaverFiles& files)
{
    if (!xscreensaverInstalled(files))
        return std::nullopt;
    const std::string_view wanted = programNameOf(entry);
    if (wanted.empty())
        return std::nullopt;
    return indexIn(programsFrom(readIfPresent(files.userFile), files), wanted);
}

bool selectXScreenSaverProgram(const std::string& entry, const XScreenSaverFiles& files)
{
    if (!xscreensaverInstalled(files))
        return false;
    const std::string_view wanted = programNameOf(entry);
    if (wanted.empty())
        return false;
    const std::optional<std::string> user = readIfPresent(files.userFile);
    const std::optional<std::size_t> chosen = indexIn(programsFrom(user, files), wanted);
    if (!chosen)
        return false;

    std::string text = user.value_or(std::string());
    xresources::setResource(text, "mode", "one");
    xresources::setResource(text, "selected", std::to_string(*chosen));
    if (user && text == *user)
        return true;
    try {
        writeFileAtomically(files.userFile, text);
    } catch (const FileError& e) {
        throw Error("Cannot create file \"" + files.userFile + "\". " + systemErrorText(e.errnoValue));
    }
    return true;
}

ScreenSaverSelector::ScreenSaverSelector(XScreenSaverFiles files)
    : m_files(std::move(files))
{
}

void ScreenSaverSelector::select(const std::string& entry)
{
    if (!xscreensaverInstalled(m_files)) {
        if (m_missingReported)
            return;
        m_missingReported = true;
        throw Error(kNoScreenSaverNotice);
    }
    if (!selectXScreenSaverProgram(entry, m_files))
        throw Error("\"" + entry + "\" is not one of xscreensaver's screen savers, so the screen saver does not "
                    "change; it is only recorded as SCRNSAVE.EXE");
}

TestRunMeans systemTestRunMeans()
{
    TestRunMeans means;
    means.files = systemXScreenSaverFiles();
    means.runCommand = [](const std::vector<std::string>& argv) {
        return runCommand(argv, 5000).exitStatus;
    };
    means.start = startDetached;
    return means;
}

void testRunScreenSaver(const std::string& program, const TestRunMeans& means)
{
    // xscreensaver's programs take no -s; its daemon runs them full screen
    // when asked to show one (counted from 1 there).
    if (const std::optional<std::size_t> index = xscreensaverProgramIndex(program, means.files)) {
        if (means.runCommand({"xscreensaver-command", "-select", std::to_string(*index + 1)}) == 0)
            return;
    }
    // Without a daemon: the program in a window of its own.
    if (!means.start(program, {}))
        throw Error("Cannot start \"" + program + "\"; it is not a program that can be run");
}

} // namespace plimbury
