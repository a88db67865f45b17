#include "desktop/ScreenSaverSelection.h"

#ifndef _WIN32

#include "desktop/DesktopBackend.h"
#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/System.h"

#include <cerrno>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <cstdlib>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plimbury {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}


// One resource line of the file, its continuation lines (a line ending in a
// backslash goes on in the next) joined; `begin`/`end` span it in the file,
// its line end included.
struct Resource {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string name;    // without a leading "*" or "XScreenSaver." / "XScreenSaver*"
    std::string value;   // continuations joined, "\n" escapes still as written
};

std::vector<Resource> resourcesOf(const std::string& text)
{
    std::vector<Resource> resources;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Resource resource;
        resource.begin = pos;
        std::string logical;
        for (;;) {
            const std::size_t newline = text.find('\n', pos);
            const std::size_t lineEnd = newline == std::string::npos ? text.size() : newline;
            std::string_view line(text.data() + pos, lineEnd - pos);
            pos = newline == std::string::npos ? text.size() : newline + 1;
            std::size_t backslashes = 0;
            while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\')
                ++backslashes;
            if (backslashes % 2 == 1 && pos < text.size()) {
                logical.append(line.substr(0, line.size() - 1));
                continue;
            }
            logical.append(line);
            break;
        }
        resource.end = pos;
        const std::string_view content = trimmed(logical);
        const std::size_t colon = content.find(':');
        if (content.empty() || content.front() == '#' || content.front() == '!' || colon == std::string_view::npos)
            continue;
        std::string_view name = trimmed(content.substr(0, colon));
        for (const std::string_view prefix : {"XScreenSaver.", "XScreenSaver*", "*"})
            if (name.substr(0, prefix.size()) == prefix) {
                name.remove_prefix(prefix.size());
                break;
            }
        resource.name = name;
        resource.value = content.substr(colon + 1);
        resources.push_back(std::move(resource));
    }
    return resources;
}

struct Program {
    std::string name;   // the command's first word, without its folder
    bool enabled = true;
};

// The items of a programs value, in xscreensaver's order: one per line (the
// "\n" escapes), each "[-] [visual:] ["pretty name"] command ...".
std::vector<Program> programsOf(std::string_view value)
{
    std::vector<Program> programs;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find("\\n", start);
        if (end == std::string_view::npos)
            end = value.size();
        std::string_view item = trimmed(value.substr(start, end - start));
        start = end + 2;
        if (item.empty())
            continue;
        Program program;
        if (item.front() == '-') {
            program.enabled = false;
            item = trimmed(item.substr(1));
        }
        std::size_t word = 0;
        while (word < item.size() && item[word] != ':' && item[word] != '"' && !isBlank(item[word]))
            ++word;
        if (word < item.size() && item[word] == ':')
            item = trimmed(item.substr(word + 1));
        if (!item.empty() && item.front() == '"') {
            const std::size_t close = item.find('"', 1);
            item = close == std::string_view::npos ? std::string_view() : trimmed(item.substr(close + 1));
        }
        std::size_t commandEnd = 0;
        while (commandEnd < item.size() && !isBlank(item[commandEnd]))
            ++commandEnd;
        std::string_view command = item.substr(0, commandEnd);
        if (const std::size_t slash = command.rfind('/'); slash != std::string_view::npos)
            command.remove_prefix(slash + 1);
        program.name = command;
        programs.push_back(std::move(program));
    }
    return programs;
}

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

// `text` with the resource `name` set to `value`: its line replaced where it
// is, else a line added at the end.
void setResource(std::string& text, const std::string& name, const std::string& value)
{
    const std::string line = name + ":\t\t" + value + "\n";
    for (const Resource& resource : resourcesOf(text))
        if (resource.name == name) {
            text.replace(resource.begin, resource.end - resource.begin, line);
            return;
        }
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += line;
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
    std::string home;
    if (const char* value = std::getenv("HOME"); value && *value)
        home = value;
    else if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    return {home + "/.xscreensaver", "/etc/X11/app-defaults/XScreenSaver"};
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
    setResource(text, "mode", "one");
    setResource(text, "selected", std::to_string(*chosen));
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
        return desktop::runCommand(argv, 5000).exitStatus;
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

#else

#include "platform/System.h"

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

#endif
