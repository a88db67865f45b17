// What the backends send to desktops that are not run in CI, checked against
// each desktop's documented form through the seams the backends talk through.
#ifndef _WIN32

#include "desktop/DesktopBackend.h"
#include "desktop/DesktopFiles.h"
#include "desktop/posix/SwayOutputs.h"
#include "platform/Launcher.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <wordexp.h>

using namespace plimbury;
using namespace plimbury::desktop;
using namespace plimbury::test;

namespace {

// A picture and a private cache folder for the backends that hand out fresh names.
struct Scene {
    TempDir dir;
    ScopedEnv cache{"XDG_CACHE_HOME", dir.file("cache").c_str()};
    std::string picture = dir.file("lumavue.bmp");
    Scene() { writeFile(picture, "BM picture"); }
    std::string cached(int n) const { return dir.file("cache") + "/plimbury/wallpaper-" + std::to_string(n) + ".bmp"; }
};

// ---- GSettings desktops ---------------------------------------------------------

class FakeSettings final : public SettingsStore {
public:
    FakeSettings(std::set<std::string> keys, std::map<std::string, bool> bools, std::vector<std::string>& log)
        : m_keys(std::move(keys))
        , m_bools(std::move(bools))
        , m_log(log)
    {
    }
    bool hasKey(const std::string& schema, const std::string& key) override { return m_keys.count(schema + " " + key); }
    void setString(const std::string& schema, const std::string& key, const std::string& value) override
    {
        if (!hasKey(schema, key))
            throw Error("The desktop settings " + schema + " have no key " + key);
        m_log.push_back(schema + " " + key + " = " + value);
    }
    bool readBool(const std::string& schema, const std::string& key) override
    {
        const auto it = m_bools.find(schema + " " + key);
        return it != m_bools.end() && it->second;
    }
    void sync() override { m_log.push_back("sync"); }

private:
    std::set<std::string> m_keys;
    std::map<std::string, bool> m_bools;
    std::vector<std::string>& m_log;
};

TEST(DesktopSent, GSettingsDesktopsSetTheStyleThenThePictureOfTheirSchemas)
{
    Scene scene;
    const std::string uri = fileUri(scene.picture);
    const std::string gnome = "org.gnome.desktop.background";
    const std::string cinnamon = "org.cinnamon.desktop.background";
    const std::string mate = "org.mate.background";
    using Factory = std::unique_ptr<DesktopBackend> (*)(std::unique_ptr<SettingsStore>);
    struct Case {
        const char* name;
        Factory make;
        std::set<std::string> keys;
        std::vector<std::string> sent;
    };
    for (const Case& c : std::vector<Case>{
             {"GNOME 42 and later: the dark-style twin too", &makeGnomeBackend,
              {gnome + " picture-options", gnome + " picture-uri", gnome + " picture-uri-dark"},
              {gnome + " picture-options = stretched", gnome + " picture-uri = " + uri,
               gnome + " picture-uri-dark = " + uri, "sync"}},
             {"older GNOME, Unity, Budgie: no dark key", &makeGnomeBackend,
              {gnome + " picture-options", gnome + " picture-uri"},
              {gnome + " picture-options = stretched", gnome + " picture-uri = " + uri, "sync"}},
             {"Cinnamon", &makeCinnamonBackend,
              {cinnamon + " picture-options", cinnamon + " picture-uri"},
              {cinnamon + " picture-options = stretched", cinnamon + " picture-uri = " + uri, "sync"}},
             {"MATE takes a plain path", &makeMateBackend,
              {mate + " picture-options", mate + " picture-filename"},
              {mate + " picture-options = stretched", mate + " picture-filename = " + scene.picture, "sync"}},
         }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> log;
        auto backend = c.make(std::make_unique<FakeSettings>(c.keys, std::map<std::string, bool>{}, log));
        EXPECT_EQ(errorOf([&] { backend->showWallpaper(scene.picture); }), kNoError);
        EXPECT_EQ(log, c.sent);
    }
}

TEST(DesktopSent, GSettingsFailuresAndTheCinnamonSlideshowAreReported)
{
    Scene scene;
    std::vector<std::string> log;
    auto missingSchema = makeGnomeBackend(std::make_unique<FakeSettings>(std::set<std::string>{},
                                                                         std::map<std::string, bool>{}, log));
    EXPECT_EQ(errorOf([&] { missingSchema->showWallpaper(scene.picture); }),
              "The desktop settings org.gnome.desktop.background have no key picture-options");
    EXPECT_EQ(errorOf([&] { missingSchema->showWallpaper(scene.dir.file("gone.bmp")); }),
              "Cannot open file \"" + scene.dir.file("gone.bmp") + "\". No such file or directory");

    const std::string schema = "org.cinnamon.desktop.background";
    auto cinnamon = makeCinnamonBackend(std::make_unique<FakeSettings>(
        std::set<std::string>{schema + " picture-options", schema + " picture-uri"},
        std::map<std::string, bool>{{"org.cinnamon.desktop.background.slideshow slideshow-enabled", true}}, log));
    log.clear();
    EXPECT_EQ(errorOf([&] { cinnamon->showWallpaper(scene.picture); }), kSlideshowNotice);
    EXPECT_EQ(log.size(), 3u) << "the change is made before the notice";
    EXPECT_EQ(errorOf([&] { cinnamon->showWallpaper(scene.picture); }), kNoError) << "said once";
}

// ---- Plasma ---------------------------------------------------------------------

TEST(DesktopSent, PlasmaGetsAScriptSettingEveryDesktopToAFreshNameStretched)
{
    Scene scene;
    std::vector<std::string> scripts;
    std::string answer;
    auto kde = makeKdeBackend([&](const std::string& script) {
        scripts.push_back(script);
        return answer;
    });
    EXPECT_EQ(errorOf([&] { kde->showWallpaper(scene.picture); }), kNoError);
    EXPECT_EQ(errorOf([&] { kde->showWallpaper(scene.picture); }), kNoError);
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(scripts[0], plasmaWallpaperScript({fileUri(scene.cached(0))}, {}));
    EXPECT_EQ(scripts[1], plasmaWallpaperScript({fileUri(scene.cached(1))}, {}));

    answer = "slideshow\n";
    EXPECT_NE(errorOf([&] { kde->showWallpaper(scene.picture); }).find("slideshow was switched on"), std::string::npos);
    EXPECT_EQ(errorOf([&] { kde->showWallpaper(scene.picture); }), kNoError) << "said once";
    answer = "no desktops\n";
    EXPECT_EQ(errorOf([&] { kde->showWallpaper(scene.picture); }), "The Plasma desktop has no desktop to show the wallpaper on");

    auto refusing = makeKdeBackend([](const std::string&) -> std::string {
        throw Error("The Plasma desktop refused the change: Widgets are locked");
    });
    EXPECT_EQ(errorOf([&] { refusing->showWallpaper(scene.picture); }),
              "The Plasma desktop refused the change: Widgets are locked");
}

TEST(DesktopSent, PlasmaScriptCarriesTheFitTheColourAndAPictureForEachScreen)
{
    // Qt Quick's Image.fillMode values, as the image plugin keeps them.
    const struct {
        FitMode fit;
        const char* fillMode;
    } rows[] = {{FitMode::Stretch, "writeConfig(\"FillMode\", 0)"}, {FitMode::Fit, "writeConfig(\"FillMode\", 1)"},
                {FitMode::Fill, "writeConfig(\"FillMode\", 2)"},    {FitMode::Tile, "writeConfig(\"FillMode\", 3)"},
                {FitMode::Center, "writeConfig(\"FillMode\", 6)"}};
    for (const auto& row : rows) {
        const std::string script =
            plasmaWallpaperScript({"file:///p/a%20b.bmp", "file:///p/c.bmp"}, {row.fit, Colour{0x20, 0x30, 0x40}});
        for (const std::string& part : {std::string(row.fillMode), std::string("writeConfig(\"Color\", \"#203040\")"),
                                       std::string("[\"file:///p/a%20b.bmp\", \"file:///p/c.bmp\"]"),
                                       std::string("currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\")")})
            EXPECT_NE(script.find(part), std::string::npos) << fitWord(row.fit) << ": " << part;
        EXPECT_LT(script.find("FillMode"), script.find("\"Image\"")) << "style before picture";
    }

    std::string asked;
    std::string answer = "2\n";
    auto kde = makeKdeBackend([&](const std::string& script) {
        asked = script;
        return answer;
    });
    EXPECT_EQ(kde->monitorCount(), 2);
    EXPECT_EQ(asked, plasmaScreenCountScript());
    answer = "garbage";
    EXPECT_EQ(kde->monitorCount(), 1) << "an answer that is no count means one picture everywhere";
}

// ---- Command-line desktops ------------------------------------------------------

TEST(DesktopSent, SwayAndLxqtGetTheirCommandsWithAFreshNameAndExitStatusesAreChecked)
{
    Scene scene;
    std::vector<std::vector<std::string>> sent;
    CommandResult result{0, 0, ""};
    const CommandRunner runner = [&](const std::vector<std::string>& argv) {
        sent.push_back(argv);
        return result;
    };
    auto sway = makeSwayBackend(runner);
    auto lxqt = makeLxqtBackend(runner);
    EXPECT_EQ(errorOf([&] { sway->showWallpaper(scene.picture); }), kNoError);
    EXPECT_EQ(errorOf([&] { lxqt->showWallpaper(scene.picture); }), kNoError);
    const std::vector<std::vector<std::string>> expected{
        {"swaymsg", "output", "*", "bg", swayPathArgument(scene.cached(0)), "stretch", "#000000"},
        {"pcmanfm-qt", "--set-wallpaper", scene.cached(1), "--wallpaper-mode", "stretch"},
    };
    EXPECT_EQ(sent, expected);

    struct Failure {
        CommandResult result;
        std::string error;
    };
    for (const Failure& f : std::vector<Failure>{
             {{2, -1, ""}, "Cannot start swaymsg. No such file or directory"},
             {{0, 2, "Error: Unable to access background file\n"},
              "swaymsg did not set the wallpaper (exit status 2): Error: Unable to access background file"},
             {{0, 1, ""}, "swaymsg did not set the wallpaper (exit status 1)"},
             {{0, -1, ""}, "swaymsg did not set the wallpaper (it did not finish in time)"},
         }) {
        SCOPED_TRACE(f.error);
        result = f.result;
        EXPECT_EQ(errorOf([&] { sway->showWallpaper(scene.picture); }), f.error);
    }
}

// Undoes what sway's command parser does to one double-quoted argument
// (quotes stripped, backslash escapes undone), then lets the C library expand
// the result as sway does: the outcome must be the path itself.
std::string asSwaySeesIt(const std::string& argument)
{
    std::string word;
    for (std::size_t i = 1; i + 1 < argument.size(); ++i) {
        if (argument[i] == '\\')
            ++i;
        word += argument[i];
    }
    wordexp_t expanded{};
    if (wordexp(word.c_str(), &expanded, WRDE_NOCMD) != 0)
        return "<refused: " + word + ">";
    std::string joined;
    for (std::size_t i = 0; i < expanded.we_wordc; ++i)
        joined += (i ? " " : "") + std::string(expanded.we_wordv[i]);
    wordfree(&expanded);
    return joined;
}

TEST(DesktopSent, SwayPathArgumentsSurviveTheParserAndTheShellExpansion)
{
    struct Case {
        std::string path;
        std::string argument;
    };
    for (const Case& c : std::vector<Case>{
             {"/home/u/.cache/plimbury/wallpaper-3.bmp", "\"/home/u/.cache/plimbury/wallpaper-3.bmp\""},
             {"/home/u/My Pictures/a  b.bmp", "\"/home/u/My\\\\ Pictures/a\\\\ \\\\ b.bmp\""},
             {"/p/it's \"quoted\".bmp", "\"/p/it\\\\\\'s\\\\ \\\\\\\"quoted\\\\\\\".bmp\""},
             {"/p/$HOME/`id`/*.bmp", "\"/p/\\\\$HOME/\\\\`id\\\\`/\\\\*.bmp\""},
             {"/p/a;b,c[1].bmp", "\"/p/a\\\\;b,c\\\\[1\\\\].bmp\""},
             {"/p/caf\xc3\xa9 stretch.bmp", "\"/p/caf\xc3\xa9\\\\ stretch.bmp\""},
         }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(swayPathArgument(c.path), c.argument);
        EXPECT_EQ(asSwaySeesIt(swayPathArgument(c.path)), c.path);
    }
    EXPECT_THROW(swayPathArgument("/p/new\nline.bmp"), Error);
}

// ---- sway's outputs ------------------------------------------------------------

// One output of `swaymsg -r -t get_outputs` as sway 1.7 gives it (the fields
// around "rect" and "name" hold nested objects and arrays of their own).
std::string swayOutput(const std::string& name, int x, int y, int width, int height, bool active = true)
{
    const std::string rect = "{\"x\": " + std::to_string(x) + ", \"y\": " + std::to_string(y) +
                             ", \"width\": " + std::to_string(width) + ", \"height\": " + std::to_string(height) + "}";
    if (!active)
        return "{\"type\": \"output\", \"name\": " + name + ", \"active\": false, \"dpms\": false, "
               "\"primary\": false, \"make\": \"Dell Inc.\", \"model\": \"U2415\", \"serial\": \"7MT0\", "
               "\"modes\": [{\"width\": 1920, \"height\": 1200, \"refresh\": 59950}], \"current_workspace\": null, "
               "\"rect\": {\"x\": 0, \"y\": 0, \"width\": 0, \"height\": 0}, \"percent\": null}";
    return "{\n  \"id\": 3, \"type\": \"output\", \"orientation\": \"none\", \"percent\": 0.66666666666666663,\n"
           "  \"urgent\": false, \"marks\": [\n  ], \"layout\": \"output\", \"rect\": " + rect + ",\n"
           "  \"deco_rect\": {\"x\": 0, \"y\": 0, \"width\": 0, \"height\": 0},\n"
           "  \"window_rect\": {\"x\": 5, \"y\": 7, \"width\": 0, \"height\": 0},\n"
           "  \"geometry\": {\"x\": 9, \"y\": 9, \"width\": 0, \"height\": 0}, \"name\": " + name + ",\n"
           "  \"window\": null, \"nodes\": [{\"name\": \"1\", \"rect\": {\"x\": -1, \"y\": -1, \"width\": 1, "
           "\"height\": 1}, \"nodes\": [[], {}]}], \"focus\": [4], \"sticky\": false, \"active\": true,\n"
           "  \"scale\": 1.0, \"make\": \"headless\", \"serial\": \"\", \"transform\": \"normal\",\n"
           "  \"current_mode\": {\"width\": 640, \"height\": 480, \"refresh\": 60000}, \"max_render_time\": 0\n}";
}

TEST(DesktopSent, SwayOutputsAreTheActiveOnesOfItsReplyLeftToRightThenTopToBottom)
{
    struct Case {
        const char* what;
        std::string reply;
        std::vector<MonitorArea> outputs;
    };
    for (const Case& c : std::vector<Case>{
             {"two side by side, listed right first",
              "[" + swayOutput("\"HDMI-A-2\"", 1920, 0, 1280, 1024) + ",\n" +
                  swayOutput("\"DP-1\"", 0, 120, 1920, 1080) + "]\n",
              {{"DP-1", {0, 120, 1920, 1080}}, {"HDMI-A-2", {1920, 0, 1280, 1024}}}},
             {"stacked: the one above first",
              "[" + swayOutput("\"below\"", 0, 480, 640, 480) + "," + swayOutput("\"above\"", 0, 0, 640, 480) + "]",
              {{"above", {0, 0, 640, 480}}, {"below", {0, 480, 640, 480}}}},
             {"a disabled output is left out",
              "[" + swayOutput("\"DP-2\"", 0, 0, 0, 0, false) + "," + swayOutput("\"eDP-1\"", 0, 0, 1366, 768) + "]",
              {{"eDP-1", {0, 0, 1366, 768}}}},
             {"escapes in the name, negative and fractional positions",
              "[" + swayOutput(R"("a \"b\"\\c\/\u00e9\ud83d\ude00\t")", -1280, 0, 1280, 720) + "," +
                  swayOutput("\"X\"", 0, 0, 1707, 960) + "]",
              {{"a \"b\"\\c/\xc3\xa9\xf0\x9f\x98\x80\t", {-1280, 0, 1280, 720}}, {"X", {0, 0, 1707, 960}}}},
             {"none at all", " [ ] ", {}},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(swayOutputsOf(c.reply), c.outputs);
    }

    const std::string cutShort = "[" + swayOutput("\"DP-1\"", 0, 0, 1, 1);
    struct Bad {
        const char* what;
        std::string reply;
        std::string error;
    };
    for (const Bad& b : std::vector<Bad>{
             {"a command's reply", R"([{"success": false, "error": "no"}])", "swaymsg gave an output without a name"},
             {"an object", R"({"name": "DP-1"})", "swaymsg gave no list of outputs: {\"name\": \"DP-1\"}"},
             {"no rect", R"([{"name": "DP-1", "active": true}])", "swaymsg gave an output without its rect"},
             {"a rect without its x", R"([{"name": "DP-1", "rect": {"y": 0, "width": 1, "height": 1}}])",
              "swaymsg gave an output without its rect.x"},
             {"a position past any screen", R"([{"name": "D", "rect": {"x": 1e300, "y": 0, "width": 1, "height": 1}}])",
              "swaymsg gave an output without its rect.x"},
             {"cut short after an output", cutShort,
              "swaymsg gave a list of outputs this program cannot read (the end comes too soon at byte " +
                  std::to_string(cutShort.size()) + ")"},
             {"cut short in a name", R"([{"name": "DP)",
              "swaymsg gave a list of outputs this program cannot read (the end comes too soon at byte 13)"},
             {"more after it", "[] []", "swaymsg gave a list of outputs this program cannot read (more after the end at byte 3)"},
             {"half a character", R"([{"name": "\ud83d"}])",
              "swaymsg gave a list of outputs this program cannot read (half a character at byte 18)"},
             {"a raw line break in a name", "[{\"name\": \"a\nb\"}]",
              "swaymsg gave a list of outputs this program cannot read (a control character in a string at byte 13)"},
             {"a word that is not JSON's", "[nul]", "swaymsg gave a list of outputs this program cannot read (no value at byte 1)"},
             {"nested without end", std::string(100000, '['),
              "swaymsg gave a list of outputs this program cannot read (nested too deeply at byte 65)"},
             {"an error message", "Unable to connect to /run/sway.sock\n",
              "swaymsg gave a list of outputs this program cannot read (no value at byte 0)"},
         }) {
        SCOPED_TRACE(b.what);
        EXPECT_EQ(errorOf([&] { swayOutputsOf(b.reply); }), b.error);
    }
}

// Undoes what sway's command parser does to a double-quoted argument.
std::string asSwayParsesIt(const std::string& argument)
{
    std::string word;
    for (std::size_t i = 1; i + 1 < argument.size(); ++i) {
        if (argument[i] == '\\')
            ++i;
        word += argument[i];
    }
    return word;
}

TEST(DesktopSent, SwayGivesEachOutputItsOwnPictureUnderItsOwnFreshNameInOneMessage)
{
    Scene scene;
    const std::string second = scene.dir.file("second.png");
    writeFile(second, "PNG second");
    // Listed out of their order on the screen, one of them disabled.
    const std::string reply = "[" + swayOutput("\"HDMI-A-1\"", 1920, 0, 1280, 1024) + "," +
                              swayOutput(R"("odd \"one\"")", 0, 0, 1920, 1080) + "," +
                              swayOutput("\"DP-3\"", 0, 0, 0, 0, false) + "," +
                              swayOutput("\"DP-2\"", 3200, 0, 1024, 768) + "]";
    std::vector<std::vector<std::string>> sent;
    CommandResult listed{0, 0, reply};
    const CommandRunner runner = [&](const std::vector<std::string>& argv) {
        sent.push_back(argv);
        return argv[1] == "-r" ? listed : CommandResult{0, 0, ""};
    };
    auto sway = makeSwayBackend(runner);
    EXPECT_EQ(sway->monitorCount(), 3);
    ASSERT_TRUE(sway->setLayout({FitMode::Fit, {0x20, 0x30, 0x40}}));
    sent.clear();

    EXPECT_TRUE(sway->showWallpapers({scene.picture, second}));
    const std::string cache = scene.dir.file("cache") + "/plimbury/";
    const std::vector<std::vector<std::string>> expected{
        {"swaymsg", "-r", "-t", "get_outputs"},
        {"swaymsg",
         "output", R"("odd \"one\"")", "bg", swayPathArgument(cache + "wallpaper-0-1.bmp"), "fit", "#203040", ";",
         "output", "\"HDMI-A-1\"", "bg", swayPathArgument(cache + "wallpaper-0-2.png"), "fit", "#203040", ";",
         "output", "\"DP-2\"", "bg", swayPathArgument(cache + "wallpaper-0-3.bmp"), "fit", "#203040"},
    };
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(readFile(cache + "wallpaper-0-3.bmp"), "BM picture") << "the list repeats for the third output";
    EXPECT_EQ(readFile(cache + "wallpaper-0-2.png"), "PNG second");

    // sway's swaybg opens the pictures again when an output comes: the whole
    // of the change before stays, the one before that goes.
    sway->showWallpapers({second, scene.picture});
    sway->showWallpapers({scene.picture, second});
    for (const char* name : {"wallpaper-1-1.png", "wallpaper-1-2.bmp", "wallpaper-1-3.png", "wallpaper-2-1.bmp",
                             "wallpaper-2-2.png", "wallpaper-2-3.bmp"})
        EXPECT_TRUE(std::filesystem::exists(cache + name)) << name;
    EXPECT_FALSE(std::filesystem::exists(cache + "wallpaper-0-1.bmp"));

    // One picture goes to every output, as sway names them all; no need to list them.
    sent.clear();
    EXPECT_TRUE(sway->showWallpapers({scene.picture}));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::vector<std::string>(sent[0].begin(), sent[0].begin() + 4),
              (std::vector<std::string>{"swaymsg", "output", "*", "bg"}));

    for (const auto& [result, error] : std::vector<std::pair<CommandResult, std::string>>{
             {{0, 1, "Error: Unable to retrieve socket path\n"},
              "swaymsg did not list sway's outputs (exit status 1): Error: Unable to retrieve socket path"},
             {{0, -1, ""}, "swaymsg did not list sway's outputs (it did not finish in time)"},
             {{2, -1, ""}, "Cannot start swaymsg. No such file or directory"},
         }) {
        SCOPED_TRACE(error);
        listed = result;
        EXPECT_EQ(errorOf([&] { sway->showWallpapers({scene.picture, second}); }), error);
        EXPECT_EQ(errorOf([&] { sway->monitorCount(); }), error);
    }
}

TEST(DesktopSent, SwayOutputNamesSurviveItsCommandParser)
{
    for (const std::string name : {"HDMI-A-1", "my screen", "it's \"quoted\"", "back\\slash;then,more", "caf\xc3\xa9"}) {
        SCOPED_TRACE(name);
        const std::string argument = swayNameArgument(name);
        EXPECT_EQ(asSwayParsesIt(argument), name);
    }
    EXPECT_THROW(swayNameArgument("two\nlines"), Error);
}

// ---- Fit modes ------------------------------------------------------------------

// Each desktop's own words for the fit, and the colour where it takes one.
TEST(DesktopSent, EachDesktopGetsTheFitInItsOwnWords)
{
    Scene scene;
    const std::string gnome = "org.gnome.desktop.background";
    struct Case {
        PictureLayout layout;
        std::vector<std::string> sway;           // the mode and the colour swaymsg gets (always: sway keeps the last)
        std::optional<std::string> lxqt;         // pcmanfm-qt's mode; nullopt: it cannot
        std::vector<std::string> gsettings;      // what GNOME is sent before the picture
    };
    const Colour blue{0, 0, 255};
    for (const Case& c : std::vector<Case>{
             {{FitMode::Stretch, {}}, {"stretch", "#000000"}, "stretch", {gnome + " picture-options = stretched"}},
             {{FitMode::Fill, blue}, {"fill", "#0000ff"}, std::nullopt,
              {gnome + " picture-options = zoom", gnome + " primary-color = #0000ff"}},
             {{FitMode::Fit, {}}, {"fit", "#000000"}, "fit",
              {gnome + " picture-options = scaled", gnome + " primary-color = #000000"}},
             {{FitMode::Center, {}}, {"center", "#000000"}, "center",
              {gnome + " picture-options = centered", gnome + " primary-color = #000000"}},
             {{FitMode::Tile, {}}, {"tile", "#000000"}, "tile",
              {gnome + " picture-options = wallpaper", gnome + " primary-color = #000000"}},
         }) {
        SCOPED_TRACE(fitWord(c.layout.fit));
        std::vector<std::vector<std::string>> sent;
        const CommandRunner runner = [&](const std::vector<std::string>& argv) {
            sent.push_back(argv);
            return CommandResult{0, 0, ""};
        };
        auto sway = makeSwayBackend(runner);
        EXPECT_TRUE(sway->setLayout(c.layout));
        sway->showWallpaper(scene.picture);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(std::vector<std::string>(sent[0].begin() + 5, sent[0].end()), c.sway);

        auto lxqt = makeLxqtBackend(runner);
        EXPECT_EQ(lxqt->setLayout(c.layout), c.lxqt.has_value());
        lxqt->showWallpaper(scene.picture);
        EXPECT_EQ(sent.back().back(), c.lxqt.value_or("stretch")) << "what it cannot show, it stretches";

        std::vector<std::string> log;
        auto settings = std::make_unique<FakeSettings>(
            std::set<std::string>{gnome + " picture-options", gnome + " picture-uri", gnome + " primary-color"},
            std::map<std::string, bool>{}, log);
        auto gnomeBackend = makeGnomeBackend(std::move(settings));
        EXPECT_TRUE(gnomeBackend->setLayout(c.layout));
        gnomeBackend->showWallpaper(scene.picture);
        EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + static_cast<long>(c.gsettings.size())),
                  c.gsettings);
    }
}

} // namespace

#endif
