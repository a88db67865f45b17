#ifndef _WIN32

#include "platform/Autostart.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace plimbury;
using plimbury::test::readFile;
using plimbury::test::ScopedEnv;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

// The Exec line as a launcher reads it, written from the Desktop Entry
// standard independently of the code under test: undo the string
// escapes, expand "%%", then split into arguments at unquoted blanks, taking
// "\" inside double quotes as escaping the next character. nullopt for a
// line a launcher would reject.
std::optional<std::vector<std::string>> launcherArguments(const std::string& exec)
{
    std::string unescaped;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '\\' || i + 1 == exec.size()) {
            unescaped += exec[i];
            continue;
        }
        switch (exec[++i]) {
        case 's': unescaped += ' '; break;
        case 'n': unescaped += '\n'; break;
        case 't': unescaped += '\t'; break;
        case 'r': unescaped += '\r'; break;
        case '\\': unescaped += '\\'; break;
        default: unescaped += '\\'; unescaped += exec[i];
        }
    }
    std::vector<std::string> args;
    std::optional<std::string> current;
    bool quoted = false;
    for (std::size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (c == '%') {
            if (i + 1 == unescaped.size() || unescaped[i + 1] != '%')
                return std::nullopt;  // a field code; the entry has none
            ++i;
        }
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < unescaped.size())
                *current += unescaped[++i];
            else
                *current += c;
        } else if (c == ' ') {
            if (current)
                args.push_back(*current);
            current.reset();
        } else if (c == '"') {
            quoted = true;
            current = current.value_or("");
        } else {
            current = current.value_or("") + c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (current)
        args.push_back(*current);
    return args;
}

TEST(Autostart, ExecArgumentQuoting)
{
    struct Case {
        const char* argument;
        const char* written;
    };
    for (const Case& c : std::vector<Case>{
             {"/usr/bin/plimbury", "/usr/bin/plimbury"},
             {"/opt/my apps/plimbury", "\"/opt/my apps/plimbury\""},
             {"/opt/50%/plimbury", "/opt/50%%/plimbury"},
             {"/opt/50% off/plimbury", "\"/opt/50%% off/plimbury\""},
             {"/opt/$HOME/plimbury", "\"/opt/\\\\$HOME/plimbury\""},
             {"/opt/a\\b/plimbury", "\"/opt/a\\\\\\\\b/plimbury\""},
             {"/opt/say \"hi\"/plimbury", "\"/opt/say \\\\\"hi\\\\\"/plimbury\""},
             {"/opt/`x`/plimbury", "\"/opt/\\\\`x\\\\`/plimbury\""},
             {"/opt/it's/plimbury", "\"/opt/it's/plimbury\""},
             {"/opt/tab\there", "\"/opt/tab\\there\""},
             {"/opt/line\nbreak", "\"/opt/line\\nbreak\""},
             {"/opt/caf\xC3\xA9/plimbury", "/opt/caf\xC3\xA9/plimbury"},
             {"", "\"\""},
         }) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(desktopExecArgument(c.argument), c.written);
    }
}

TEST(Autostart, EveryPathIsStartedAsWritten)
{
    for (const std::string path : {"/usr/lib/plimbury/plimbury", "/home/a b/c  d/plimbury", "/x/\"q\"/'s'/p",
                                   "/x/\\/$v/`c`/%f/%%/p", "/x/;|&<>~*?#()/p", "/x/\t\n\r/p", "/x/ lead/p "}) {
        SCOPED_TRACE(path);
        const std::string exec = desktopExecArgument(path) + " /TRAY";
        EXPECT_EQ(exec.find_first_of("\n\r"), std::string::npos) << "one line";
        EXPECT_EQ(launcherArguments(exec), (std::vector<std::string>{path, "/TRAY"}));
    }
}

TEST(Autostart, WritesTheEntryUnderTheConfigFolder)
{
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("config").c_str());
    EXPECT_EQ(autostartEntryPath(), dir.file("config") + "/autostart/plimbury.desktop");

    ASSERT_TRUE(writeAutostartEntry("/opt/my apps/plimbury"));
    const std::string text = readFile(autostartEntryPath());
    EXPECT_EQ(text, "[Desktop Entry]\n"
                    "Type=Application\n"
                    "Name=Plimbury\n"
                    "Comment=Changes the wallpaper and the screen saver on a schedule\n"
                    "Exec=\"/opt/my apps/plimbury\" /TRAY\n"
                    "Icon=org.plimbury.Plimbury\n"
                    "Terminal=false\n"
                    "X-GNOME-Autostart-enabled=true\n");

    // Written again (the program moved), the entry is replaced, not appended to.
    ASSERT_TRUE(writeAutostartEntry("/usr/bin/plimbury"));
    EXPECT_EQ(readFile(autostartEntryPath()), autostartEntryText("/usr/bin/plimbury"));
    EXPECT_NE(readFile(autostartEntryPath()).find("\nExec=/usr/bin/plimbury /TRAY\n"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("config/autostart")), fs::directory_iterator()), 1)
        << "no temporary file left behind";
}

TEST(Autostart, DefaultsToTheHomeConfigFolder)
{
    TempDir dir;
    ScopedEnv home("HOME", dir.path().string().c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ASSERT_TRUE(writeAutostartEntry("/usr/bin/plimbury"));
    EXPECT_TRUE(fs::exists(dir.file(".config/autostart/plimbury.desktop")));
}

TEST(Autostart, AnEntryThatCannotBeWrittenReportsFalse)
{
    TempDir dir;
    writeFile(dir.file("plain"), "a regular file");
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("plain").c_str());
    EXPECT_FALSE(writeAutostartEntry("/usr/bin/plimbury"));

    fs::create_directories(dir.file("cfg/autostart/plimbury.desktop"));
    ScopedEnv config2("XDG_CONFIG_HOME", dir.file("cfg").c_str());
    EXPECT_FALSE(writeAutostartEntry("/usr/bin/plimbury"));
}

} // namespace

#endif
