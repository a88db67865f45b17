// The backends against the real thing: GSettings with GNOME's installed
// schemas, xfconf on a private session bus, an X server (the test run's Xvfb).
#ifndef _WIN32

#include "desktop/DesktopBackend.h"
#include "desktop/DesktopFiles.h"
#include "desktop/Session.h"
#include "platform/Launcher.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plimbury;
using namespace plimbury::desktop;
using namespace plimbury::test;

namespace {

// This test program doubles as a one-change probe: started with
// PLIMBURY_PROBE_BACKEND set, it shows PLIMBURY_PROBE_PICTURE through that
// backend and ends before the tests run. GLib settles its settings store and
// folders at first use in a process, so each GSettings case needs a fresh one.
const bool g_probe = [] {
    const char* backend = std::getenv("PLIMBURY_PROBE_BACKEND");
    if (!backend)
        return false;
    try {
        makeDesktopBackend(backend)->showWallpaper(std::getenv("PLIMBURY_PROBE_PICTURE"));
    } catch (const Error& e) {
        std::cout << e.what() << std::flush;
        _exit(1);
    }
    _exit(0);
}();

bool haveProgram(const char* name)
{
    return runCommand({"sh", "-c", std::string("command -v ") + name}).exitStatus == 0;
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string selfPath()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

// ---- GNOME ----------------------------------------------------------------------

TEST(DesktopSession, GnomeKeysAreWrittenThroughGSettingsAndReadBackByGsettings)
{
    if (!haveProgram("gsettings"))
        GTEST_SKIP() << "gsettings is not installed (package libglib2.0-bin)";
    if (runCommand({"gsettings", "list-keys", "org.gnome.desktop.background"}).exitStatus != 0)
        GTEST_SKIP() << "GNOME's schemas are not installed (package gsettings-desktop-schemas)";

    TempDir dir;
    const std::string picture = dir.file("my pictures/lumavue.bmp");
    std::filesystem::create_directories(dir.file("my pictures"));
    writeFile(picture, "BM");
    writeFile(dir.file("schemas/none"), "");
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("config").c_str());
    ScopedEnv probe("PLIMBURY_PROBE_PICTURE", picture.c_str());
    ScopedEnv backend("PLIMBURY_PROBE_BACKEND", "gnome");

    struct Case {
        const char* name;
        const char* settingsBackend;
        const char* schemaDir;   // GSETTINGS_SCHEMA_DIR, XDG_DATA_DIRS: where schemas are looked for
        std::string output;
    };
    for (const Case& c : std::vector<Case>{
             {"a settings store other programs read", "keyfile", nullptr, ""},
             {"settings kept only in memory", "memory", nullptr,
              "The desktop settings cannot be changed: GSettings has no storage here (the dconf module is not "
              "installed)"},
             {"no GNOME schemas", "keyfile", "schemas",
              "The desktop settings org.gnome.desktop.background are not installed"},
         }) {
        SCOPED_TRACE(c.name);
        ScopedEnv store("GSETTINGS_BACKEND", c.settingsBackend);
        const std::string schemaDir = c.schemaDir ? dir.file(c.schemaDir) : std::string();
        ScopedEnv schemas("GSETTINGS_SCHEMA_DIR", c.schemaDir ? schemaDir.c_str() : nullptr);
        ScopedEnv data("XDG_DATA_DIRS", c.schemaDir ? schemaDir.c_str() : nullptr);
        const CommandResult result = runCommand({selfPath()});
        EXPECT_EQ(trimmed(result.output), c.output);
        EXPECT_EQ(result.exitStatus, c.output.empty() ? 0 : 1);
    }

    // Read back by another program through the same store.
    ScopedEnv store("GSETTINGS_BACKEND", "keyfile");
    const std::string uri = "'" + fileUri(picture) + "'";
    for (const auto& [key, value] : std::vector<std::pair<const char*, std::string>>{
             {"picture-uri", uri}, {"picture-uri-dark", uri}, {"picture-options", "'stretched'"}}) {
        const CommandResult read = runCommand({"gsettings", "get", "org.gnome.desktop.background", key});
        EXPECT_EQ(trimmed(read.output), value) << key;
    }
}

// ---- XFCE -----------------------------------------------------------------------

// A private session bus; xfconfd is started on it by activation, with the
// bus's environment (so its files go to the test's folder).
class PrivateBus {
public:
    PrivateBus()
    {
        const CommandResult started =
            runCommand({"dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"});
        const std::size_t newline = started.output.find('\n');
        if (started.exitStatus != 0 || newline == std::string::npos)
            return;
        m_address = started.output.substr(0, newline);
        m_pid = std::atoi(started.output.c_str() + newline + 1);
    }
    ~PrivateBus()
    {
        if (m_pid > 0)
            kill(m_pid, SIGTERM);
    }
    const std::string& address() const { return m_address; }

private:
    std::string m_address;
    int m_pid = 0;
};

std::string xfconf(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{"xfconf-query", "-c", "xfce4-desktop"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const CommandResult result = runCommand(argv);
    return result.exitStatus == 0 ? trimmed(result.output) : "<failed: " + trimmed(result.output) + ">";
}

TEST(DesktopSession, XfceBackdropsAreAllSetThroughXfconfAndReadBackByXfconfQuery)
{
    if (!haveProgram("xfconf-query") || !haveProgram("dbus-daemon"))
        GTEST_SKIP() << "xfconf or dbus-daemon is not installed (packages xfconf, dbus)";

    TempDir dir;
    const std::string picture = dir.file("lumavue.bmp");
    writeFile(picture, "BM");
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("config").c_str());
    ScopedEnv configDirs("XDG_CONFIG_DIRS", dir.file("no-system-defaults").c_str());
    ScopedEnv cache("XDG_CACHE_HOME", dir.file("cache").c_str());
    const std::string cached = dir.file("cache") + "/plimbury/wallpaper-";

    {
        // A user who never changed the backdrop: the active output's is made.
        PrivateBus bus;
        ASSERT_FALSE(bus.address().empty());
        ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str());
        ASSERT_EQ(runCommand({"xfconf-query", "-c", "displays", "-p", "/Default/HDMI-1/Active", "-n", "-t", "bool",
                              "-s", "true"})
                      .exitStatus,
                  0);
        auto xfce = makeXfceBackend();
        EXPECT_EQ(errorOf([&] { xfce->showWallpaper(picture); }), kNoError);
        const std::string base = "/backdrop/screen0/monitorHDMI-1/workspace0";
        EXPECT_EQ(xfconf({"-l"}), base + "/image-style\n" + base + "/last-image");
        EXPECT_EQ(xfconf({"-p", base + "/last-image"}), cached + "0.bmp");
        EXPECT_EQ(xfconf({"-p", base + "/image-style"}), "3");
    }

    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str());
    const std::vector<std::string> bases{"/backdrop/screen0/monitor0/workspace0", "/backdrop/screen0/monitor0/workspace1",
                                         "/backdrop/screen0/monitoreDP-1/workspace0",
                                         "/backdrop/screen0/monitoreDP-1/workspace3"};
    for (const std::string& base : bases)
        ASSERT_EQ(xfconf({"-p", base + "/last-image", "-n", "-t", "string", "-s", "/usr/share/backgrounds/old.png"}), "");
    ASSERT_EQ(xfconf({"-p", bases[3] + "/image-style", "-n", "-t", "int", "-s", "5"}), "");
    ASSERT_EQ(xfconf({"-p", bases[2] + "/backdrop-cycle-enable", "-n", "-t", "bool", "-s", "true"}), "");
    ASSERT_EQ(xfconf({"-p", "/desktop-icons/style", "-n", "-t", "int", "-s", "2"}), "");

    auto xfce = makeXfceBackend();
    EXPECT_EQ(errorOf([&] { xfce->showWallpaper(picture); }), kSlideshowNotice) << "the backdrop cycles on one monitor";
    for (const std::string& base : bases) {
        EXPECT_EQ(xfconf({"-p", base + "/last-image"}), cached + "1.bmp") << base;
        EXPECT_EQ(xfconf({"-p", base + "/image-style"}), "3") << base;
    }
    EXPECT_EQ(xfconf({"-p", "/desktop-icons/style"}), "2");
    EXPECT_EQ(errorOf([&] { xfce->showWallpaper(picture); }), kNoError) << "said once";
    EXPECT_EQ(xfconf({"-p", bases[0] + "/last-image"}), cached + "2.bmp") << "a new name at each change";

    ScopedEnv nowhere("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.file("no-bus")).c_str());
    EXPECT_EQ(errorOf([&] { xfce->showWallpaper(picture); }).rfind("The XFCE settings service cannot be reached: ", 0), 0u);
}

// ---- X11 ------------------------------------------------------------------------

struct RootPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    xcb_pixmap_t rootPmap = 0;
    xcb_pixmap_t esetroot = 0;
};

xcb_pixmap_t pixmapOf(xcb_connection_t* c, xcb_window_t root, const char* name)
{
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_pixmap_t pixmap = 0;
    if (atom && atom->atom) {
        xcb_get_property_reply_t* property =
            xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_PIXMAP, 0, 1), nullptr);
        if (property && xcb_get_property_value_length(property) == 4)
            std::memcpy(&pixmap, xcb_get_property_value(property), 4);
        std::free(property);
    }
    std::free(atom);
    return pixmap;
}

// What the screen shows: the root window's pixels read back from the server,
// for a 24-bit true-colour screen with 32-bit pixels (Xvfb's -screen WxHx24).
RootPicture readRoot(xcb_connection_t* c, const xcb_screen_t* screen)
{
    RootPicture shot;
    shot.width = screen->width_in_pixels;
    shot.height = screen->height_in_pixels;
    shot.rootPmap = pixmapOf(c, screen->root, "_XROOTPMAP_ID");
    shot.esetroot = pixmapOf(c, screen->root, "ESETROOT_PMAP_ID");
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0, static_cast<std::uint16_t>(shot.width),
                      static_cast<std::uint16_t>(shot.height), ~0u),
        nullptr);
    if (!image)
        return shot;
    const std::uint8_t* data = xcb_get_image_data(image);
    const int length = xcb_get_image_data_length(image);
    if (length == shot.width * shot.height * 4) {
        shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
        for (int i = 0; i < shot.width * shot.height; ++i) {
            shot.rgb[i * 3 + 0] = data[i * 4 + 2];
            shot.rgb[i * 3 + 1] = data[i * 4 + 1];
            shot.rgb[i * 3 + 2] = data[i * 4 + 0];
        }
    }
    std::free(image);
    return shot;
}

// A picture of four coloured blocks over four rows, of its own proportions:
// stretched, block (bx, by) must cover the same fraction of the screen.
Picture blocks(int width, int height)
{
    static constexpr std::uint8_t kColours[4][3] = {{230, 30, 30}, {30, 200, 40}, {20, 40, 220}, {240, 240, 240}};
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int block = (x * 4 / width + y * 4 / height) % 4;
            std::memcpy(&picture.rgb[(static_cast<std::size_t>(y) * width + x) * 3], kColours[block], 3);
        }
    return picture;
}

// Puts the root window back as the server made it, for the window tests that
// look at the screen behind their windows.
struct RootRestorer {
    xcb_connection_t* c;
    const xcb_screen_t* screen;
    ~RootRestorer()
    {
        const xcb_pixmap_t ours = pixmapOf(c, screen->root, "_XROOTPMAP_ID");
        if (ours && ours == pixmapOf(c, screen->root, "ESETROOT_PMAP_ID"))
            xcb_kill_client(c, ours);
        for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
            xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
                c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
            if (atom && atom->atom)
                xcb_delete_property(c, screen->root, atom->atom);
            std::free(atom);
        }
        const std::uint32_t none = XCB_BACK_PIXMAP_NONE;
        xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &none);
        xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        xcb_disconnect(c);
    }
};

TEST(DesktopSession, X11RootWindowShowsThePictureStretchedAndTheOldPixmapIsFreed)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no X display (the test run starts Xvfb)";
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    ASSERT_EQ(xcb_connection_has_error(c), 0);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;
    if (screen->root_depth != 24) {
        xcb_disconnect(c);
        GTEST_SKIP() << "the check reads 24-bit screens; this one has depth " << int(screen->root_depth);
    }

    const RootRestorer restorer{c, screen};
    TempDir dir;
    const std::string wide = dir.file("wide.bmp");
    const std::string tall = dir.file("tall.bmp");
    auto x11 = makeX11Backend([&](const std::string& path, int, int) -> Picture {
        if (path == wide)
            return blocks(160, 40);
        if (path == tall)
            return blocks(30, 90);
        throw Error("Cannot open file \"" + path + "\". No such file or directory");
    });

    std::vector<xcb_pixmap_t> pixmaps;
    for (const std::string& path : {wide, tall}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(errorOf([&] { x11->showWallpaper(path); }), kNoError);
        const RootPicture shot = readRoot(c, screen);
        ASSERT_FALSE(shot.rgb.empty());
        EXPECT_NE(shot.rootPmap, 0u);
        EXPECT_EQ(shot.rootPmap, shot.esetroot);
        pixmaps.push_back(shot.rootPmap);

        const Picture picture = path == wide ? blocks(160, 40) : blocks(30, 90);
        const Picture expected = blocks(shot.width, shot.height);
        // Away from the block edges the colours are exact; at the edges only
        // the scaling filter's blend differs.
        int wrong = 0;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const std::size_t i = (static_cast<std::size_t>(y) * shot.width + x) * 3 + ch;
                    if (std::abs(int(shot.rgb[i]) - int(expected.rgb[i])) > 8)
                        ++wrong;
                }
        const int edgePicture = 2 * 3 * (shot.width * shot.height / picture.width + shot.width * shot.height / picture.height);
        EXPECT_LT(wrong, edgePicture * 3) << "pixels off the stretched picture";
    }
    ASSERT_EQ(pixmaps.size(), 2u);
    EXPECT_NE(pixmaps[0], pixmaps[1]);
    // The client that kept the first pixmap was killed when the second came.
    xcb_generic_error_t* error = nullptr;
    std::free(xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmaps[0]), &error));
    EXPECT_NE(error, nullptr) << "the old pixmap still exists";
    std::free(error);
    xcb_get_geometry_reply_t* kept = xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmaps[1]), nullptr);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->width, screen->width_in_pixels);
    std::free(kept);

    EXPECT_EQ(errorOf([&] { x11->showWallpaper(dir.file("gone.bmp")); }),
              "Cannot open file \"" + dir.file("gone.bmp") + "\". No such file or directory");
    {
        ScopedEnv noDisplay("DISPLAY", ":2999");
        EXPECT_EQ(errorOf([&] { x11->showWallpaper(wide); }), "Cannot open the X display \":2999\"");
    }
}

// A private X server of one screen `depth` bits deep, for one test; null
// display name when Xvfb cannot be started. `extra` goes to Xvfb as well.
class PrivateXServer {
public:
    explicit PrivateXServer(int depth, const std::string& size = "64x48", std::vector<std::string> extra = {})
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        std::vector<std::string> args{"Xvfb",    "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                      size + "x" + std::to_string(depth), "-nolisten", "tcp", "-noreset"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(ready[1]);
        // The number, then a line break in a write of its own: the server
        // stops if the pipe is closed between the two.
        std::string number;
        char c = 0;
        while (m_pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ready[0]);
        if (c == '\n' && !number.empty())
            m_display = ":" + number;
    }
    ~PrivateXServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

TEST(DesktopSession, DepthOfTheXDisplay)
{
    for (const int depth : {8, 16, 24}) {
        const PrivateXServer server(depth);
        if (server.display().empty())
            GTEST_SKIP() << "Xvfb cannot be started here";
        const ScopedEnv display("DISPLAY", server.display().c_str());
        EXPECT_EQ(x11ScreenDepth(), depth) << "display " << server.display();
    }
    const ScopedEnv noDisplay("DISPLAY", nullptr);
    EXPECT_EQ(x11ScreenDepth(), 24);
    const ScopedEnv goneDisplay("DISPLAY", ":4095");
    EXPECT_EQ(x11ScreenDepth(), 24);
}

struct Area {
    int x, y, width, height;
};

TEST(DesktopSession, X11PictureIsStretchedOverEachMonitorRandRReports)
{
    if (!haveProgram("Xvfb") || !haveProgram("xrandr"))
        GTEST_SKIP() << "Xvfb or xrandr is not installed (packages xvfb, x11-xserver-utils)";

    // Flat halves: away from the middle the stretched picture is exact.
    // Left and right halves check each monitor's place across the screen,
    // top and bottom ones its place up and down.
    static constexpr std::uint8_t kFirst[3] = {230, 30, 30};
    static constexpr std::uint8_t kSecond[3] = {20, 40, 220};
    static constexpr std::uint8_t kBlack[3] = {0, 0, 0};
    Picture leftRight{8, 4, std::vector<std::uint8_t>(8 * 4 * 3)};
    Picture topBottom{4, 8, std::vector<std::uint8_t>(4 * 8 * 3)};
    for (int i = 0; i < 8 * 4; ++i) {
        std::memcpy(&leftRight.rgb[static_cast<std::size_t>(i) * 3], i % 8 < 4 ? kFirst : kSecond, 3);
        std::memcpy(&topBottom.rgb[static_cast<std::size_t>(i) * 3], i / 4 < 4 ? kFirst : kSecond, 3);
    }

    struct Case {
        const char* name;
        std::vector<std::string> serverArguments;
        // xrandr --setmonitor's arguments, one monitor each.
        std::vector<std::vector<std::string>> monitors;
        std::vector<Area> shown;  // each must show the whole picture
        Area uncovered;           // shows none of it: black
        std::pair<int, int> sizeHint;
    };
    const std::vector<Case> cases{
        {"one monitor", {}, {}, {{0, 0, 1280, 480}}, {0, 0, 0, 0}, {1280, 480}},
        {"no RandR", {"-extension", "RANDR"}, {}, {{0, 0, 1280, 480}}, {0, 0, 0, 0}, {1280, 480}},
        {"two side by side",
         {},
         {{"A", "640/170x480/130+0+0", "screen"}, {"B", "640/170x480/130+640+0", "none"}},
         {{0, 0, 640, 480}, {640, 0, 640, 480}},
         {0, 0, 0, 0},
         {640, 480}},
        // The output keeps its own monitor over the whole screen: the two
        // declared inside it are what must show.
        {"two declared inside the output's own",
         {},
         {{"A", "640/170x480/130+0+0", "none"}, {"B", "640/170x480/130+640+0", "none"}},
         {{0, 0, 640, 480}, {640, 0, 640, 480}},
         {0, 0, 0, 0},
         {1280, 480}},
        {"of different sizes, one lower",
         {},
         {{"A", "800/210x480/130+0+0", "screen"}, {"B", "480/130x360/100+800+60", "none"}},
         {{0, 0, 800, 480}, {800, 60, 480, 360}},
         {800, 0, 480, 60},
         {800, 480}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PrivateXServer server(24, "1280x480", c.serverArguments);
        ASSERT_FALSE(server.display().empty()) << "Xvfb cannot be started here";
        const ScopedEnv display("DISPLAY", server.display().c_str());
        for (const std::vector<std::string>& monitor : c.monitors) {
            std::vector<std::string> argv{"xrandr", "--setmonitor"};
            argv.insert(argv.end(), monitor.begin(), monitor.end());
            const CommandResult defined = runCommand(argv);
            ASSERT_EQ(defined.exitStatus, 0) << defined.output;
        }

        for (const bool across : {true, false}) {
            SCOPED_TRACE(across ? "left and right halves" : "top and bottom halves");
            std::pair<int, int> hint;
            auto x11 = makeX11Backend([&](const std::string&, int width, int height) {
                hint = {width, height};
                return across ? leftRight : topBottom;
            });
            EXPECT_EQ(errorOf([&] { x11->showWallpaper("/halves.bmp"); }), kNoError);
            EXPECT_EQ(hint, c.sizeHint) << "the largest monitor's size";

            xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
            ASSERT_EQ(xcb_connection_has_error(connection), 0);
            const RootPicture shot = readRoot(connection, xcb_setup_roots_iterator(xcb_get_setup(connection)).data);
            xcb_disconnect(connection);
            ASSERT_EQ(shot.rgb.size(), std::size_t{1280} * 480 * 3);

            const auto countOff = [&](const Area& area, const std::uint8_t* colour) {
                int off = 0;
                for (int y = area.y; y < area.y + area.height; ++y)
                    for (int x = area.x; x < area.x + area.width; ++x)
                        if (std::memcmp(&shot.rgb[(static_cast<std::size_t>(y) * shot.width + x) * 3], colour, 3) != 0)
                            ++off;
                return off;
            };
            for (const Area& m : c.shown) {
                SCOPED_TRACE("monitor at " + std::to_string(m.x) + "," + std::to_string(m.y));
                // Only the middle eighth each side of the seam may blend.
                const int w = across ? m.width * 3 / 8 : m.width;
                const int h = across ? m.height : m.height * 3 / 8;
                EXPECT_EQ(countOff({m.x, m.y, w, h}, kFirst), 0) << "first half";
                EXPECT_EQ(countOff({m.x + m.width - w, m.y + m.height - h, w, h}, kSecond), 0) << "second half";
            }
            EXPECT_EQ(countOff(c.uncovered, kBlack), 0) << "outside every monitor";
        }
    }
}

// The x11 backend paints the picture for the monitors of the moment; the
// watch it hands out is what tells the program to paint again.
TEST(DesktopSession, X11WatchSaysWhenTheMonitorsOrTheScreenChange)
{
    if (!haveProgram("Xvfb") || !haveProgram("xrandr"))
        GTEST_SKIP() << "Xvfb or xrandr is not installed (packages xvfb, x11-xserver-utils)";
    const auto x11 = makeX11Backend([](const std::string&, int, int) { return Picture{}; });
    {
        const ScopedEnv noDisplay("DISPLAY", ":4095");
        EXPECT_EQ(x11->watchMonitors(), nullptr);
        const PrivateXServer noRandr(24, "1280x480", {"-extension", "RANDR"});
        ASSERT_FALSE(noRandr.display().empty()) << "Xvfb cannot be started here";
        const ScopedEnv display("DISPLAY", noRandr.display().c_str());
        EXPECT_EQ(x11->watchMonitors(), nullptr) << "a server without RandR";
    }

    const PrivateXServer server(24, "1280x480");
    ASSERT_FALSE(server.display().empty()) << "Xvfb cannot be started here";
    const ScopedEnv display("DISPLAY", server.display().c_str());
    const std::unique_ptr<MonitorWatch> watch = x11->watchMonitors();
    ASSERT_NE(watch, nullptr);
    const auto changedWithin = [&](int ms) {
        pollfd readable{watch->descriptor(), POLLIN, 0};
        for (int waited = 0; waited < ms; waited += 50) {
            if (poll(&readable, 1, 50) > 0 && watch->changed())
                return true;
        }
        return false;
    };
    EXPECT_FALSE(changedWithin(300)) << "nothing happened";
    for (const std::vector<std::string>& step : std::vector<std::vector<std::string>>{
             {"xrandr", "--setmonitor", "A", "640/170x480/130+0+0", "none"},
             {"xrandr", "--setmonitor", "B", "640/170x480/130+640+0", "none"},
             {"xrandr", "--delmonitor", "A"},
             {"xrandr", "--fb", "1024x400", "--output", "screen", "--off"},
         }) {
        SCOPED_TRACE(step[1] + " " + step[2]);
        const CommandResult done = runCommand(step);
        ASSERT_EQ(done.exitStatus, 0) << done.output;
        EXPECT_TRUE(changedWithin(3000));
        EXPECT_FALSE(changedWithin(200)) << "one change, told once";
    }
}

// ---- XFCE, each layout and each monitor ---------------------------------------------

TEST(DesktopSession, XfceBackdropsTakeTheLayoutAndEachMonitorItsOwnPicture)
{
    if (!haveProgram("xfconf-query") || !haveProgram("dbus-daemon") || !haveProgram("Xvfb") || !haveProgram("xrandr"))
        GTEST_SKIP() << "xfconf, dbus-daemon, Xvfb or xrandr is not installed (packages xfconf, dbus, xvfb, "
                        "x11-xserver-utils)";

    TempDir dir;
    const std::string first = dir.file("first.bmp");
    const std::string second = dir.file("second.bmp");
    writeFile(first, "BM");
    writeFile(second, "BM");
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("config").c_str());
    ScopedEnv configDirs("XDG_CONFIG_DIRS", dir.file("no-system-defaults").c_str());
    ScopedEnv cache("XDG_CACHE_HOME", dir.file("cache").c_str());
    const std::string cached = dir.file("cache") + "/plimbury/";

    // Three monitors, left to right; xfdesktop writes "DP 2" without its space.
    const PrivateXServer server(24, "1278x480");
    ASSERT_FALSE(server.display().empty()) << "Xvfb cannot be started here";
    const ScopedEnv display("DISPLAY", server.display().c_str());
    for (const std::vector<std::string>& monitor : std::vector<std::vector<std::string>>{
             {"DP-3", "426/110x480/130+852+0", "none"},
             {"HDMI-1", "426/110x480/130+0+0", "screen"},
             {"DP 2", "426/110x480/130+426+0", "none"}}) {
        std::vector<std::string> argv{"xrandr", "--setmonitor"};
        argv.insert(argv.end(), monitor.begin(), monitor.end());
        const CommandResult defined = runCommand(argv);
        ASSERT_EQ(defined.exitStatus, 0) << defined.output;
    }

    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str());
    // HDMI-1 with two workspaces; DP2 and DP-3 without a backdrop yet; one
    // of a monitor no longer there.
    const std::string hdmi0 = "/backdrop/screen0/monitorHDMI-1/workspace0";
    const std::string hdmi1 = "/backdrop/screen0/monitorHDMI-1/workspace1";
    const std::string gone = "/backdrop/screen0/monitorVGA-1/workspace0";
    const std::string dp2 = "/backdrop/screen0/monitorDP2/workspace0";
    const std::string dp3 = "/backdrop/screen0/monitorDP-3/workspace0";
    for (const std::string& base : {hdmi0, hdmi1, gone})
        ASSERT_EQ(xfconf({"-p", base + "/last-image", "-n", "-t", "string", "-s", "/usr/share/backgrounds/old.png"}), "");
    const std::string userColour = "Value is an array with 4 items:\n\n0.100000\n0.200000\n0.300000\n1.000000";
    ASSERT_EQ(xfconf({"-p", gone + "/rgba1", "-n", "-t", "double", "-t", "double", "-t", "double", "-t", "double", "-s",
                      "0.1", "-s", "0.2", "-s", "0.3", "-s", "1"}),
              "");

    auto xfce = makeXfceBackend();
    EXPECT_EQ(xfce->monitorCount(), 3);
    EXPECT_EQ(errorOf([&] { EXPECT_TRUE(xfce->showWallpapers({first, second})); }), kNoError);
    const std::vector<std::pair<std::string, std::string>> shown{
        {hdmi0, cached + "wallpaper-0-1.bmp"},         {hdmi1, cached + "wallpaper-0-1.bmp"},
        {gone, cached + "wallpaper-0-1.bmp"},          {dp2, cached + "wallpaper-0-2.bmp"},
        {dp3, cached + "wallpaper-0-1.bmp"}};
    for (const auto& [base, picture] : shown) {
        EXPECT_EQ(xfconf({"-p", base + "/last-image"}), picture) << base;
        EXPECT_EQ(xfconf({"-p", base + "/image-style"}), "3") << base;
    }
    EXPECT_EQ(xfconf({"-p", gone + "/rgba1"}), userColour) << "stretched, the colour is the user's";
    EXPECT_EQ(errorOf([&] { xfce->showWallpapers({first, second}); }), kNoError);
    EXPECT_EQ(xfconf({"-p", dp2 + "/last-image"}), cached + "wallpaper-1-2.bmp") << "a new name each time";

    struct LayoutCase {
        const char* name;
        PictureLayout layout;
        const char* imageStyle;
        const char* rgba;  // of every backdrop; null: the user's
    };
    const LayoutCase cases[] = {
        {"fit, as xfdesktop's scaled", {FitMode::Fit, {0, 128, 255}}, "4", "0.000000\n0.501961\n1.000000\n1.000000"},
        {"fill, as zoomed", {FitMode::Fill, {}}, "5", "0.000000\n0.000000\n0.000000\n1.000000"},
        {"center, as centred", {FitMode::Center, {255, 0, 0}}, "1", "1.000000\n0.000000\n0.000000\n1.000000"},
        {"tile, as tiled", {FitMode::Tile, {255, 255, 255}}, "2", "1.000000\n1.000000\n1.000000\n1.000000"},
        {"stretch leaves the last colour", {FitMode::Stretch, {0, 255, 0}}, "3", "1.000000\n1.000000\n1.000000\n1.000000"},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(xfce->setLayout(c.layout));
        EXPECT_EQ(errorOf([&] { xfce->showWallpaper(first); }), kNoError);
        for (const auto& [base, picture] : shown) {
            EXPECT_EQ(xfconf({"-p", base + "/image-style"}), c.imageStyle) << base;
            EXPECT_EQ(xfconf({"-p", base + "/color-style"}), "0") << base << ": a solid colour";
            EXPECT_EQ(xfconf({"-p", base + "/rgba1"}), std::string("Value is an array with 4 items:\n\n") + c.rgba)
                << base;
        }
    }
}

} // namespace

#endif
