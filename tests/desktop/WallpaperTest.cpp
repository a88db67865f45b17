#ifndef _WIN32

#include "desktop/DesktopBackend.h"
#include "desktop/Wallpaper.h"
#include "platform/Error.h"
#include "platform/Store.h"
#include "support/ErrorOf.h"
#include "support/FakeStore.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace plimbury;
using namespace plimbury::test;

namespace {

std::string storedWallpaper(Store& store)
{
    if (!store.keyExists(Root::CurrentUser, kDesktopKey))
        return "<no key>";
    return store.openKey(Root::CurrentUser, kDesktopKey)->read(kWallpaperValue);
}

// Where "auto" finds nothing to drive, a run's first change says that the
// picture was only recorded; an explicit choice and a found desktop say
// nothing of the kind. The path is stored at every change either way.
TEST(Wallpaper, StoredUnderTheCurrentUserAndAnUndrivenSessionIsToldOncePerRun)
{
    // Every way of showing it; "none" is offered on its own.
    std::string names;
    for (const auto& entry : desktop::desktopBackends())
        if (std::string(entry.name) != "none")
            names += (names.empty() ? "" : ", ") + std::string(entry.name);
    ASSERT_NE(names.find("x11"), std::string::npos);
    const auto notice = [&](const std::string& found) {
        return "The wallpaper was only recorded, not shown: this program found " + found +
               ", and no desktop it can set the wallpaper of. Set PLIMBURY_DESKTOP to choose one: " + names +
               ", or none to only record it without this notice";
    };
    const std::string noX = "Cannot open the X display \":4095\"";
    // The x11 backend is only reached, not used: its display does not exist.

    struct Case {
        const char* desktop;  // PLIMBURY_DESKTOP; null: unset
        const char* wayland;  // WAYLAND_DISPLAY
        const char* x;        // DISPLAY
        const char* current;  // XDG_CURRENT_DESKTOP
        std::string first;    // what the first change throws
        std::string later;    // and every later one
    };
    for (const Case& c : std::vector<Case>{
             {"auto", nullptr, nullptr, nullptr, notice("no display"), kNoError},
             {nullptr, nullptr, nullptr, nullptr, notice("no display"), kNoError},
             {"", nullptr, nullptr, nullptr, notice("no display"), kNoError},
             {"Auto", "wayland-1", nullptr, nullptr, notice("a Wayland session of an unknown kind"), kNoError},
             {"auto", "wayland-1", ":4095", "Hyprland",
              notice("a Wayland session of an unknown kind (XDG_CURRENT_DESKTOP \"Hyprland\")"), kNoError},
             {"none", nullptr, nullptr, nullptr, kNoError, kNoError},
             {"NONE", "wayland-1", nullptr, "Hyprland", kNoError, kNoError},
             {"auto", nullptr, ":4095", nullptr, noX, noX},
         }) {
        SCOPED_TRACE(std::string(c.desktop ? c.desktop : "(unset)") + " wayland " + (c.wayland ? c.wayland : "-") +
                     " x " + (c.x ? c.x : "-") + " desktop " + (c.current ? c.current : "-"));
        ScopedEnv chosen("PLIMBURY_DESKTOP", c.desktop);
        ScopedEnv current("XDG_CURRENT_DESKTOP", c.current);
        ScopedEnv session("DESKTOP_SESSION", nullptr);
        ScopedEnv sway("SWAYSOCK", nullptr);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv display("DISPLAY", c.x);
        TempDir dir;
        // No wallpaper program to fall back on: a Wayland session of an
        // unknown kind is then one that nothing here can drive.
        ScopedEnv programs("PATH", dir.path().c_str());
        auto store = makeFileStore(dir.path().string());
        for (int run = 0; run < 2; ++run) {
            SCOPED_TRACE("run " + std::to_string(run + 1));
            auto wallpaper = makeSystemWallpaper(*store);
            std::string expected = c.first;
            for (const std::string path : {"/home/u/Pictures/a b.bmp", "/opt/plimbury/lumavue.bmp", "/x.bmp"}) {
                EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper(path); }), expected);
                EXPECT_EQ(storedWallpaper(*store), path);
                expected = c.later;
            }
        }
        EXPECT_FALSE(store->keyExists(Root::LocalMachine, kDesktopKey));
    }
}

// Were the notice thrown while the path could not be stored, it would claim a
// record that was never made; it waits for the first change that is stored.
TEST(Wallpaper, TheOnlyRecordedNoticeWaitsForAChangeThatIsStored)
{
    ScopedEnv chosen("PLIMBURY_DESKTOP", "auto");
    ScopedEnv current("XDG_CURRENT_DESKTOP", nullptr);
    ScopedEnv session("DESKTOP_SESSION", nullptr);
    ScopedEnv sway("SWAYSOCK", nullptr);
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnv display("DISPLAY", nullptr);
    TempDir dir;
    writeFile(dir.file("plain"), "a regular file");
    auto unwritable = makeFileStore(dir.file("plain/store"));
    auto wallpaper = makeSystemWallpaper(*unwritable);
    EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper("/a.bmp"); }), "Failed to create key Desktop");
    EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper("/a.bmp"); }), "Failed to create key Desktop");
    std::filesystem::remove(dir.file("plain"));
    EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper("/a.bmp"); }).rfind("The wallpaper was only recorded, not shown: ", 0),
              0u);
    EXPECT_EQ(storedWallpaper(*unwritable), "/a.bmp");
    EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper("/b.bmp"); }), kNoError);
}

TEST(Wallpaper, AnUnknownDesktopNamesTheAcceptedOnesAndStoresNothing)
{
    ScopedEnv chosen("PLIMBURY_DESKTOP", "gnomme");
    TempDir dir;
    auto store = makeFileStore(dir.path().string());
    auto wallpaper = makeSystemWallpaper(*store);
    std::string accepted = "auto";
    for (const auto& entry : desktop::desktopBackends())
        accepted += std::string(", ") + entry.name;
    EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper("/a.bmp"); }),
              "Unknown desktop 'gnomme' in PLIMBURY_DESKTOP; use one of: " + accepted);
    EXPECT_EQ(storedWallpaper(*store), "<no key>");
    EXPECT_NE(accepted.find("none"), std::string::npos);
}

// Records what it is asked to show, or refuses.
class SpyBackend final : public desktop::DesktopBackend {
public:
    SpyBackend(std::vector<std::string>& shown, const char* refusal)
        : m_shown(shown)
        , m_refusal(refusal)
    {
    }
    void showWallpaper(const std::string& path) override
    {
        if (m_refusal)
            throw Error(m_refusal);
        m_shown.push_back(path);
    }

private:
    std::vector<std::string>& m_shown;
    const char* m_refusal;
};

TEST(Wallpaper, FailuresAreReportedAndTheDesktopIsStillChangedWhenOnlyStoringFailed)
{
    TempDir dir;
    writeFile(dir.file("plain"), "a regular file");
    auto unwritable = makeFileStore(dir.file("plain/store"));
    FakeStore noKeys;
    noKeys.openable = false;
    FakeStore noValues;
    noValues.refuseAll = true;
    auto working = makeFileStore(dir.file("store"));

    struct Case {
        const char* name;
        Store& store;
        const char* refusal;
        const char* error;
        bool shown;
    };
    for (const Case& c : std::vector<Case>{
             {"store folder cannot be made", *unwritable, nullptr, "Failed to create key Desktop", true},
             {"key cannot be opened", noKeys, nullptr, "Failed to create key Desktop", true},
             {"value cannot be written", noValues, nullptr, "Failed to set data for 'Wallpaper'", true},
             {"desktop refuses", *working, "The desktop refused", "The desktop refused", false},
             {"both fail: the desktop's reason wins", noValues, "The desktop refused", "The desktop refused", false},
             {"all well", *working, nullptr, kNoError, true},
         }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> shown;
        auto wallpaper = desktop::makeWallpaperWith(c.store, std::make_unique<SpyBackend>(shown, c.refusal));
        EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpaper("/p/w.bmp"); }), c.error);
        EXPECT_EQ(shown, c.shown ? std::vector<std::string>{"/p/w.bmp"} : std::vector<std::string>{});
    }
    EXPECT_EQ(storedWallpaper(*working), "/p/w.bmp") << "stored before the desktop is asked";
}

// A desktop that only stretches still shows every change; that the layout
// asked for is not what it shows is said once per layout, never silently.
TEST(Wallpaper, ALayoutTheDesktopCannotShowIsSaidOncePerLayout)
{
    TempDir dir;
    auto store = makeFileStore(dir.file("store"));
    std::vector<std::string> shown;
    auto wallpaper = desktop::makeWallpaperWith(*store, std::make_unique<SpyBackend>(shown, nullptr));
    const PictureLayout fill{FitMode::Fill, Colour{}};
    const PictureLayout tile{FitMode::Tile, Colour{0, 0, 255}};
    struct Step {
        PictureLayout layout;
        bool told;
    };
    const Step steps[] = {{{}, false}, {fill, true}, {fill, false}, {{}, false}, {tile, true}, {tile, false}};
    for (const Step& step : steps) {
        wallpaper->setLayout(step.layout);
        const std::string error = errorOf([&] { wallpaper->setDesktopWallpaper("/p/w.bmp"); });
        EXPECT_EQ(error != kNoError, step.told) << fitWord(step.layout.fit) << ": " << error;
        if (step.told) {
            EXPECT_NE(error.find(std::string("fit=") + fitWord(step.layout.fit)), std::string::npos) << error;
        }
    }
    EXPECT_EQ(shown.size(), std::size(steps)) << "every change is shown, stretched";
}

// A desktop of one picture shows the first of several on every monitor, and
// says so at the first such change only.
TEST(Wallpaper, APictureForEachMonitorWhereTheDesktopHasOneIsSaidOnce)
{
    TempDir dir;
    auto store = makeFileStore(dir.file("store"));
    std::vector<std::string> shown;
    auto wallpaper = desktop::makeWallpaperWith(*store, std::make_unique<SpyBackend>(shown, nullptr));
    EXPECT_EQ(wallpaper->monitorCount(), 1);
    const std::string first = errorOf([&] { wallpaper->setDesktopWallpapers({"/p/a.bmp", "/p/b.bmp"}); });
    EXPECT_NE(first.find("each monitor"), std::string::npos) << first;
    EXPECT_EQ(errorOf([&] { wallpaper->setDesktopWallpapers({"/p/c.bmp", "/p/d.bmp"}); }), kNoError);
    EXPECT_EQ(shown, (std::vector<std::string>{"/p/a.bmp", "/p/c.bmp"}));
    EXPECT_EQ(storedWallpaper(*store), "/p/c.bmp");
}

TEST(DesktopBackends, TableNamesAreDistinctAndEachMakesABackend)
{
    std::vector<std::string> names;
    for (const auto& entry : desktop::desktopBackends()) {
        SCOPED_TRACE(entry.name);
        EXPECT_STRNE(entry.name, "auto");
        for (const std::string& seen : names)
            EXPECT_NE(seen, entry.name);
        names.push_back(entry.name);
        EXPECT_NE(desktop::makeDesktopBackend(entry.name), nullptr);
    }
    EXPECT_EQ(desktop::makeDesktopBackend("no such desktop"), nullptr);
    const std::string detected = desktop::detectDesktop();
    EXPECT_NE(std::find(names.begin(), names.end(), detected), names.end()) << detected;
}

} // namespace

#endif
