#include "platform/Autostart.h"

#include "platform/AtomicFile.h"
#include "platform/UserFolders.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace plimbury {

namespace {

// Characters that make an Exec argument need quotes (Desktop Entry
// standard, "The Exec key").
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters that need a backslash inside the quotes.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

// The value is a "string" first: its own escapes are undone before the
// quotes are read, so backslashes and control characters are escaped again.
std::string asStringValue(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

std::string desktopExecArgument(const std::string& argument)
{
    std::string quoted;
    if (argument.empty() || argument.find_first_of(kReserved) != std::string::npos) {
        quoted += '"';
        for (const char c : argument) {
            if (kEscapedInQuotes.find(c) != std::string_view::npos)
                quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    } else {
        quoted = argument;
    }
    // "%" starts a field code anywhere in the line, quoted or not.
    std::string withPercents;
    for (const char c : quoted) {
        withPercents += c;
        if (c == '%')
            withPercents += '%';
    }
    return asStringValue(withPercents);
}

std::string autostartEntryPath()
{
    return userConfigFolder() + "/autostart/plimbury.desktop";
}

std::string autostartEntryText(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Plimbury\n"
           "Comment=Changes the wallpaper and the screen saver on a schedule\n"
           "Exec=" + desktopExecArgument(executable) + " /TRAY\n"
           "Icon=org.plimbury.Plimbury\n"  // the name the icon theme has it under
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool writeAutostartEntry(const std::string& executable)
{
    const std::string path = autostartEntryPath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec)
        return false;
    try {
        writeFileAtomically(path, autostartEntryText(executable));
        return true;
    } catch (const FileError&) {
        return false;
    }
}

} // namespace plimbury
