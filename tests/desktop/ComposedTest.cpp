// The GSettings desktops' fit modes and colour, and a picture of its own on
// each monitor as one composed picture spanned across them.
#ifndef _WIN32

#include "desktop/DesktopFiles.h"
#include "desktop/posix/Composed.h"
#include "imaging/BmpWriter.h"
#include "imaging/Picture.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/JpegEncode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plimbury;
using namespace plimbury::desktop;
using namespace plimbury::test;

namespace {

const std::string gnome = "org.gnome.desktop.background";
const std::string cinnamon = "org.cinnamon.desktop.background";
const std::string mate = "org.mate.background";

// Every key of the three schemas that the backends set, as installed.
class SentSettings final : public SettingsStore {
public:
    explicit SentSettings(std::vector<std::string>& log) : m_log(log) {}
    bool hasKey(const std::string&, const std::string&) override { return true; }
    void setString(const std::string& schema, const std::string& key, const std::string& value) override
    {
        m_log.push_back(schema + " " + key + " = " + value);
    }
    bool readBool(const std::string&, const std::string&) override { return false; }
    void sync() override { m_log.push_back("sync"); }

private:
    std::vector<std::string>& m_log;
};

using Factory = std::unique_ptr<DesktopBackend> (*)(std::unique_ptr<SettingsStore>, ScreenReader);

void writeSolidBitmap(const std::string& path, Colour colour)
{
    test::writeSolidBitmap(path, colour.red, colour.green, colour.blue);
}

struct Scene {
    TempDir dir;
    ScopedEnv cache{"XDG_CACHE_HOME", dir.file("cache").c_str()};
    std::string red = dir.file("red.bmp");
    std::string blue = dir.file("blue.bmp");
    // Two monitors side by side and a strip of screen below them.
    ScreenMonitors screen{300, 120, {{"DP-1", {0, 0, 100, 100}}, {"DP-2", {100, 0, 200, 100}}}};
    Scene()
    {
        writeSolidBitmap(red, {255, 0, 0});
        writeSolidBitmap(blue, {0, 0, 255});
    }
    std::string cached(int n) const { return dir.file("cache") + "/plimbury/wallpaper-" + std::to_string(n) + ".bmp"; }
    ScreenReader reader() const
    {
        return [screen = screen] { return screen; };
    }
};

TEST(Composed, GSettingsDesktopsGetEveryFitAndASolidColour)
{
    Scene scene;
    const std::string uri = fileUri(scene.red);
    struct Case {
        const char* name;
        Factory make;
        PictureLayout layout;
        std::vector<std::string> sent;
    };
    for (const Case& c : std::vector<Case>{
             {"GNOME fill with a colour", &makeGnomeBackend, {FitMode::Fill, {0x10, 0x20, 0x30}},
              {gnome + " picture-options = zoom", gnome + " primary-color = #102030",
               gnome + " color-shading-type = solid", gnome + " picture-uri = " + uri,
               gnome + " picture-uri-dark = " + uri, "sync"}},
             // GNOME Shell leaves the bands black: the picture is composed
             // with them in the colour, and spanned.
             {"GNOME fit with a colour", &makeGnomeBackend, {FitMode::Fit, {0x10, 0x20, 0x30}},
              {gnome + " picture-options = spanned", gnome + " primary-color = #102030",
               gnome + " color-shading-type = solid", gnome + " picture-uri = " + fileUri(scene.cached(0)),
               gnome + " picture-uri-dark = " + fileUri(scene.cached(0)), "sync"}},
             {"Cinnamon fit", &makeCinnamonBackend, {FitMode::Fit, {}},
              {cinnamon + " picture-options = scaled", cinnamon + " primary-color = #000000",
               cinnamon + " color-shading-type = solid", cinnamon + " picture-uri = " + uri, "sync"}},
             {"MATE center", &makeMateBackend, {FitMode::Center, {0xff, 0xee, 0xdd}},
              {mate + " picture-options = centered", mate + " primary-color = #ffeedd",
               mate + " color-shading-type = solid", mate + " picture-filename = " + scene.red, "sync"}},
         }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> log;
        auto backend = c.make(std::make_unique<SentSettings>(log), scene.reader());
        EXPECT_TRUE(backend->setLayout(c.layout));
        EXPECT_EQ(errorOf([&] { backend->showWallpapers({scene.red}); }), kNoError);
        EXPECT_EQ(log, c.sent);
    }
}

TEST(Composed, EachMonitorsPictureIsComposedIntoAFreshFileAndSpanned)
{
    Scene scene;
    struct Case {
        const char* name;
        Factory make;
        std::string schema;
        std::string pictureKey;
    };
    for (const Case& c : std::vector<Case>{
             {"GNOME", &makeGnomeBackend, gnome, "picture-uri"},
             {"Cinnamon", &makeCinnamonBackend, cinnamon, "picture-uri"},
             {"MATE", &makeMateBackend, mate, "picture-filename"},
         }) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(scene.dir.file("cache"));
        std::vector<std::string> log;
        auto backend = c.make(std::make_unique<SentSettings>(log), scene.reader());
        EXPECT_EQ(backend->monitorCount(), 2);
        backend->setLayout({FitMode::Fit, {0, 255, 0}});
        for (int n = 0; n < 2; ++n) {
            log.clear();
            EXPECT_EQ(errorOf([&] { EXPECT_TRUE(backend->showWallpapers({scene.red, scene.blue})); }), kNoError);
            const std::string shown = c.pictureKey == "picture-uri" ? fileUri(scene.cached(n)) : scene.cached(n);
            ASSERT_GE(log.size(), 4u);
            EXPECT_EQ(log[0], c.schema + " picture-options = spanned");
            EXPECT_EQ(log[1], c.schema + " primary-color = #00ff00");
            EXPECT_EQ(log[3], c.schema + " " + c.pictureKey + " = " + shown) << "a fresh name at each change";
        }

        const Picture composed = readBmpFile(scene.cached(1));
        ASSERT_EQ(composed.width, 300);
        ASSERT_EQ(composed.height, 120);
        const auto colourAt = [&](int x, int y) {
            const std::uint8_t* px = &composed.rgb[(static_cast<std::size_t>(y) * 300 + x) * 3];
            return colourText({px[0], px[1], px[2]});
        };
        EXPECT_EQ(colourAt(50, 50), "#ff0000");
        EXPECT_EQ(colourAt(200, 50), "#0000ff");
        EXPECT_EQ(colourAt(101, 50), "#00ff00") << "fit: bands beside the square picture";
        EXPECT_EQ(colourAt(50, 110), "#00ff00") << "below the monitors";
    }
}

TEST(Composed, AMissingPictureChangesNothing)
{
    Scene scene;
    std::vector<std::string> log;
    auto backend = makeGnomeBackend(std::make_unique<SentSettings>(log), scene.reader());
    const std::string gone = scene.dir.file("gone.bmp");
    EXPECT_EQ(errorOf([&] { backend->showWallpapers({scene.red, gone}); }),
              "Cannot open file \"" + gone + "\". No such file or directory");
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(std::filesystem::exists(scene.cached(0)));
}

} // namespace

#endif
