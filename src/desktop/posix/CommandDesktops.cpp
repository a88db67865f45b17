// Desktops told through a command-line tool of their own.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/SwayOutputs.h"
#include "platform/Error.h"
#include "platform/Launcher.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

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
// One bg command for each output and picture, in one message.
std::vector<std::string> swayCommand(const std::vector<std::pair<std::string, std::string>>& outputPictures,
                                     const PictureLayout& layout)
{
    std::vector<std::string> argv{"swaymsg"};
    for (const auto& [output, shown] : outputPictures) {
        if (argv.size() > 1)
            argv.push_back(";");
        // The colour even when it is the default: sway keeps an output's
        // fallback colour from the command before when none is given.
        argv.insert(argv.end(), {"output", output, "bg", swayPathArgument(shown), fitWord(layout.fit),
                                 colourText(layout.background)});
    }
    return argv;
}

class SwayBackend final : public LayoutBackend {
public:
    explicit SwayBackend(CommandRunner runner)
        : m_runner(std::move(runner))
    {
    }

    void showWallpaper(const std::string& path) override
    {
        const std::string shown = freshWallpaperPath(path, wallpaperCacheFolder());
        runChecked(m_runner, swayCommand({{"*", shown}}, layout()));
    }

    int monitorCount() override { return static_cast<int>(readSwayOutputs(m_runner).size()); }

    bool showWallpapers(const std::vector<std::string>& paths) override
    {
        const std::vector<MonitorArea> outputs = paths.size() > 1 ? readSwayOutputs(m_runner) : std::vector<MonitorArea>{};
        if (outputs.empty()) {
            showWallpaper(paths.front());
            return true;
        }
        std::vector<std::string> pictures;
        for (std::size_t i = 0; i < outputs.size(); ++i)
            pictures.push_back(paths[i % paths.size()]);
        // Each output its own name: sway's swaybg opens them all again
        // whenever an output comes or changes, so all must stay until the
        // next change.
        const std::vector<std::string> shown = freshWallpaperPaths(pictures, wallpaperCacheFolder());
        std::vector<std::pair<std::string, std::string>> outputPictures;
        for (std::size_t i = 0; i < outputs.size(); ++i)
            outputPictures.emplace_back(swayNameArgument(outputs[i].name), shown[i]);
        runChecked(m_runner, swayCommand(outputPictures, layout()));
        return true;
    }

private:
    CommandRunner m_runner;
};

// Just enough JSON for sway's replies: a tree of values, strings decoded,
// numbers as doubles, nesting bounded so that no reply can exhaust the stack.
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;   // an array's values, or an object's
    std::vector<std::string> keys;  // an object's, one for each of its values

    const JsonValue* member(std::string_view key) const
    {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key)
                return &items[i];
        return nullptr;
    }
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text)
        : m_text(text)
    {
    }

    JsonValue document()
    {
        JsonValue value = read(0);
        skipBlanks();
        if (m_at != m_text.size())
            fail("more after the end");
        return value;
    }

private:
    static constexpr int kDeepest = 64;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw Error("swaymsg gave a list of outputs this program cannot read (" + what + " at byte " +
                    std::to_string(m_at) + ")");
    }
    void skipBlanks()
    {
        while (m_at < m_text.size() &&
               (m_text[m_at] == ' ' || m_text[m_at] == '\n' || m_text[m_at] == '\r' || m_text[m_at] == '\t'))
            ++m_at;
    }
    char next()
    {
        if (m_at >= m_text.size())
            fail("the end comes too soon");
        return m_text[m_at++];
    }
    void expect(char c)
    {
        skipBlanks();
        if (next() != c)
            fail(std::string("no '") + c + "'");
    }

    JsonValue read(int depth)
    {
        if (depth > kDeepest)
            fail("nested too deeply");
        skipBlanks();
        JsonValue value;
        if (m_at >= m_text.size())
            fail("the end comes too soon");
        const char c = m_text[m_at];
        if (c == '{' || c == '[') {
            const bool object = c == '{';
            const char close = object ? '}' : ']';
            value.kind = object ? JsonValue::Kind::Object : JsonValue::Kind::Array;
            ++m_at;
            skipBlanks();
            if (m_at < m_text.size() && m_text[m_at] == close) {
                ++m_at;
                return value;
            }
            for (;;) {
                if (object) {
                    skipBlanks();
                    if (next() != '"')
                        fail("no name");
                    value.keys.push_back(string());
                    expect(':');
                }
                value.items.push_back(read(depth + 1));
                skipBlanks();
                const char after = next();
                if (after == close)
                    return value;
                if (after != ',')
                    fail(std::string("no ',' or '") + close + "'");
            }
        }
        if (c == '"') {
            ++m_at;
            value.kind = JsonValue::Kind::String;
            value.text = string();
            return value;
        }
        for (const auto& [word, kind, truth] : {std::tuple{"true", JsonValue::Kind::Bool, true},
                                                std::tuple{"false", JsonValue::Kind::Bool, false},
                                                std::tuple{"null", JsonValue::Kind::Null, false}}) {
            if (m_text.substr(m_at, std::string_view(word).size()) == word) {
                m_at += std::string_view(word).size();
                value.kind = kind;
                value.boolean = truth;
                return value;
            }
        }
        std::size_t end = m_at;
        while (end < m_text.size() && std::string_view("+-.eE0123456789").find(m_text[end]) != std::string_view::npos)
            ++end;
        const auto [stop, ec] = std::from_chars(m_text.data() + m_at, m_text.data() + end, value.number);
        if (end == m_at || ec != std::errc() || stop != m_text.data() + end)
            fail("no value");
        m_at = end;
        value.kind = JsonValue::Kind::Number;
        return value;
    }

    // The rest of a string whose opening quote was read.
    std::string string()
    {
        std::string text;
        for (;;) {
            const char c = next();
            if (c == '"')
                return text;
            if (static_cast<unsigned char>(c) < 0x20)
                fail("a control character in a string");
            if (c != '\\') {
                text += c;
                continue;
            }
            const char escaped = next();
            switch (escaped) {
            case '"': case '\\': case '/': text += escaped; break;
            case 'b': text += '\b'; break;
            case 'f': text += '\f'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            case 't': text += '\t'; break;
            case 'u': {
                unsigned long code = hex4();
                // A character beyond the first 65536 comes as two halves.
                if (code >= 0xD800 && code < 0xDC00) {
                    if (next() != '\\' || next() != 'u')
                        fail("half a character");
                    const unsigned long low = hex4();
                    if (low < 0xDC00 || low >= 0xE000)
                        fail("half a character");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    fail("half a character");
                }
                appendUtf8(text, code);
                break;
            }
            default: fail("an unknown escape");
            }
        }
    }
    unsigned long hex4()
    {
        unsigned long code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = next();
            const int digit = h >= '0' && h <= '9' ? h - '0'
                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                     : -1;
            if (digit < 0)
                fail("a bad \\u escape");
            code = code * 16 + static_cast<unsigned long>(digit);
        }
        return code;
    }
    static void appendUtf8(std::string& text, unsigned long code)
    {
        auto put = [&](unsigned long byte) { text += static_cast<char>(byte); };
        if (code < 0x80) {
            put(code);
        } else if (code < 0x800) {
            put(0xC0 | (code >> 6));
            put(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            put(0xE0 | (code >> 12));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        } else {
            put(0xF0 | (code >> 18));
            put(0x80 | ((code >> 12) & 0x3F));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        }
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

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

std::string swayNameArgument(const std::string& name)
{
    // sway's command parser strips the quotes and undoes backslash escapes;
    // an output's name is taken as it is from there.
    if (name.find('\n') != std::string::npos)
        throw Error("The output name \"" + name + "\" cannot be given to sway");
    std::string argument = "\"";
    for (const char c : name) {
        if (c == '\\' || c == '"' || c == '\'')
            argument += '\\';
        argument += c;
    }
    argument += '"';
    return argument;
}

std::vector<MonitorArea> swayOutputsOf(std::string_view reply)
{
    const JsonValue outputs = JsonReader(reply).document();
    if (outputs.kind != JsonValue::Kind::Array)
        throw Error("swaymsg gave no list of outputs: " + std::string(reply.substr(0, 200)));
    // Whole pixels of sway's layout; anything beyond this is no monitor.
    auto whole = [](const JsonValue& rect, const char* key) {
        const JsonValue* field = rect.member(key);
        if (!field || field->kind != JsonValue::Kind::Number || !(std::fabs(field->number) < 1e9))
            throw Error(std::string("swaymsg gave an output without its rect.") + key);
        return static_cast<int>(std::lround(field->number));
    };
    std::vector<MonitorArea> areas;
    for (const JsonValue& output : outputs.items) {
        const JsonValue* name = output.member("name");
        if (output.kind != JsonValue::Kind::Object || !name || name->kind != JsonValue::Kind::String)
            throw Error("swaymsg gave an output without a name");
        // A disabled output is listed with an empty area.
        if (const JsonValue* active = output.member("active"); active && active->kind == JsonValue::Kind::Bool &&
                                                              !active->boolean)
            continue;
        const JsonValue* rect = output.member("rect");
        if (!rect || rect->kind != JsonValue::Kind::Object)
            throw Error("swaymsg gave an output without its rect");
        areas.push_back({name->text, {whole(*rect, "x"), whole(*rect, "y"), whole(*rect, "width"), whole(*rect, "height")}});
    }
    std::stable_sort(areas.begin(), areas.end(),
                     [](const MonitorArea& a, const MonitorArea& b) { return leftThenTop(a.area, b.area); });
    return areas;
}

std::vector<MonitorArea> readSwayOutputs(const CommandRunner& runner)
{
    const std::vector<std::string> argv{"swaymsg", "-r", "-t", "get_outputs"};
    const CommandResult result = runner(argv);
    if (result.startErrno != 0)
        throw Error("Cannot start swaymsg. " + systemErrorText(result.startErrno));
    if (result.exitStatus != 0) {
        std::string text = "swaymsg did not list sway's outputs";
        text += result.exitStatus < 0 ? " (it did not finish in time)"
                                      : " (exit status " + std::to_string(result.exitStatus) + ")";
        if (const std::string said = trimmed(result.output); !said.empty())
            text += ": " + said;
        throw Error(text);
    }
    return swayOutputsOf(result.output);
}

std::unique_ptr<DesktopBackend> makeSwayBackend(CommandRunner runner)
{
    return std::make_unique<SwayBackend>(std::move(runner));
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
