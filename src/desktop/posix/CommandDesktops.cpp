// Desktops told through a command-line tool of their own.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "platform/Error.h"
#include "platform/Launcher.h"

#include <optional>

namespace plimbury::desktop {

namespace {

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Runs the command; a start failure, a kill or a non-zero exit is an Error
// naming the tool and quoting what it said.
void runChecked(const CommandRunner& runner, const std::vector<std::string>& argv)
{
    const CommandResult result = runner(argv);
    if (result.startErrno != 0)
        throw Error("Cannot start " + argv[0] + ". " + systemErrorText(result.startErrno));
    if (result.exitStatus != 0) {
        std::string text = argv[0] + " did not set the wallpaper";
        if (result.exitStatus < 0)
            text += " (it did not finish in time)";
        else
            text += " (exit status " + std::to_string(result.exitStatus) + ")";
        if (const std::string said = trimmed(result.output); !said.empty())
            text += ": " + said;
        throw Error(text);
    }
}

// The picture is shown under a fresh name at every change: sway's compositor
// keeps the named file open only while drawing it, pcmanfm-qt caches pictures
// by file name, and "lumavue.bmp" keeps its name. A fresh name also keeps odd
// characters of the user's own file names out of sway's parser.
class CommandBackend final : public DesktopBackend {
public:
    // The command for the picture under its fresh name and the layout;
    // nothing when the tool cannot show that layout.
    using CommandFor = std::optional<std::vector<std::string>> (*)(const std::string& shown,
                                                                   const PictureLayout& layout);

    CommandBackend(CommandRunner runner, CommandFor commandFor)
        : m_runner(std::move(runner))
        , m_commandFor(commandFor)
    {
    }
    void showWallpaper(const std::string& path) override
    {
        const std::string shown = freshWallpaperPath(path, wallpaperCacheFolder());
        runChecked(m_runner, m_commandFor(shown, m_layout).value_or(*m_commandFor(shown, PictureLayout{})));
    }

    bool setLayout(const PictureLayout& layout) override
    {
        m_layout = layout;
        return m_commandFor("", layout).has_value();
    }

private:
    CommandRunner m_runner;
    CommandFor m_commandFor;
    PictureLayout m_layout;
};

// sway's modes are the fit words, and its fallback colour fills the rest.
std::optional<std::vector<std::string>> swayCommand(const std::string& shown, const PictureLayout& layout)
{
    std::vector<std::string> argv{"swaymsg", "output", "*", "bg", swayPathArgument(shown), fitWord(layout.fit)};
    if (layout.background != Colour{})
        argv.push_back(colourText(layout.background));
    return argv;
}

// pcmanfm-qt calls fill "zoom", and takes no background colour here.
std::optional<std::vector<std::string>> lxqtCommand(const std::string& shown, const PictureLayout& layout)
{
    if (layout.background != Colour{})
        return std::nullopt;
    const char* mode = layout.fit == FitMode::Fill ? "zoom" : fitWord(layout.fit);
    return std::vector<std::string>{"pcmanfm-qt", "--set-wallpaper", shown, "--wallpaper-mode", mode};
}

CommandResult runForDesktop(const std::vector<std::string>& argv)
{
    return runCommand(argv);
}

} // namespace

std::string swayPathArgument(const std::string& path)
{
    // Three readers in turn: swaymsg joins its arguments with blanks; sway
    // splits the command at blanks outside quotes, strips the quotes and
    // undoes C-style backslash escapes; the background command then expands
    // the file name like a shell word (wordexp), and a doubled blank gets a
    // backslash of sway's own first. So: escape for the shell (every byte
    // that is not plainly safe gets a backslash, which also turns every blank
    // into "\ "), then escape that for the command parser (backslashes and
    // quotes), inside double quotes.
    std::string shellWord;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool safe = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte >= 0x80 || c == '/' || c == '.' || c == '_' ||
                          c == '-' || c == '+' || c == ',' || c == ':' || c == '@' || c == '%';
        if (c == '\n')
            throw Error("The file name \"" + path + "\" cannot be given to sway");
        if (!safe)
            shellWord += '\\';
        shellWord += c;
    }
    std::string argument = "\"";
    for (const char c : shellWord) {
        if (c == '\\' || c == '"' || c == '\'')
            argument += '\\';
        argument += c;
    }
    argument += '"';
    return argument;
}

std::unique_ptr<DesktopBackend> makeSwayBackend(CommandRunner runner)
{
    return std::make_unique<CommandBackend>(std::move(runner), &swayCommand);
}

std::unique_ptr<DesktopBackend> makeSwayBackend()
{
    return makeSwayBackend(&runForDesktop);
}

std::unique_ptr<DesktopBackend> makeLxqtBackend(CommandRunner runner)
{
    return std::make_unique<CommandBackend>(std::move(runner), &lxqtCommand);
}

std::unique_ptr<DesktopBackend> makeLxqtBackend()
{
    return makeLxqtBackend(&runForDesktop);
}

} // namespace plimbury::desktop
