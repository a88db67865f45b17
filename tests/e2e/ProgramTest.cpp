// The program as a user meets it: started for the first time with a fresh
// home, its window centred, 790 x 564 and cut to the rounded region; a button
// lights under the pointer; "Abandon  and  Exit" ends it with status 0. The
// same at device pixel ratio 2, where the skin comes from its 2x pictures.
// Needs an X server (DISPLAY) and xdotool, xwininfo, xwd and ImageMagick.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

bool haveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The window under the pointer, as xdotool sees it.
std::string windowUnderPointer()
{
    const std::string location = run("xdotool getmouselocation --shell");
    std::smatch m;
    static const std::regex pattern(R"(WINDOW=(\d+))");
    return std::regex_search(location, m, pattern) ? m[1].str() : "";
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

int field(const std::string& text, const char* label)
{
    const std::regex pattern(std::string(label) + R"(:\s+(-?\d+))");
    std::smatch m;
    return std::regex_search(text, m, pattern) ? std::stoi(m[1]) : -1;
}

Geometry geometryOf(const std::string& window)
{
    const std::string info = run("xwininfo -id " + window);
    return {field(info, "Absolute upper-left X"), field(info, "Absolute upper-left Y"), field(info, "Width"),
            field(info, "Height")};
}

// The screen's pixels in a rectangle, 3 bytes each.
std::string screenPixels(int x, int y, int width, int height)
{
    return run("xwd -root -silent | convert xwd:- -crop " + std::to_string(width) + "x" + std::to_string(height) +
               "+" + std::to_string(x) + "+" + std::to_string(y) + " +repage -depth 8 rgb:-");
}

std::string picturePixels(const std::string& file)
{
    return run("convert '" + file + "' -depth 8 rgb:-");
}

// A rectangle of a picture's pixels, 3 bytes each.
std::string picturePixels(const std::string& file, int x, int y, int width, int height)
{
    return run("convert '" + file + "' -crop " + std::to_string(width) + "x" + std::to_string(height) + "+" +
               std::to_string(x) + "+" + std::to_string(y) + " +repage -depth 8 rgb:-");
}

double meanDifference(const std::string& a, const std::string& b)
{
    if (a.size() != b.size() || a.empty())
        return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(static_cast<int>(static_cast<unsigned char>(a[i])) - static_cast<unsigned char>(b[i]));
    return sum / static_cast<double>(a.size());
}

double brightness(const std::string& pixels)
{
    double sum = 0;
    for (unsigned char c : pixels)
        sum += c;
    return pixels.empty() ? 0 : sum / static_cast<double>(pixels.size());
}

template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

class Program {
public:
    explicit Program(const std::vector<std::string>& environment, std::vector<std::string> arguments = {})
    {
        std::vector<std::string> env = environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            bool replaced = name == "QT_QPA_PLATFORM";
            for (const std::string& mine : environment)
                replaced = replaced || mine.rfind(name + "=", 0) == 0;
            if (!replaced)
                env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = PLIMBURY_EXECUTABLE;
        std::vector<char*> argv{program.data()};
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
    }

    ~Program()
    {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    pid_t pid() const { return m_pid; }

    // The exit status once the process has ended, or nullopt while it runs.
    std::optional<int> status()
    {
        if (!m_status && m_pid > 0) {
            int raw = 0;
            if (waitpid(m_pid, &raw, WNOHANG) == m_pid)
                m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Why the screen cannot be looked at here, or "" when it can.
std::string whyNoScreen()
{
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY"))
        return "no X display (./dev test starts one)";
    for (const char* tool : {"xdotool", "xwininfo", "xwd", "convert"}) {
        if (!haveTool(tool))
            return std::string(tool) + " is not installed";
    }
    return {};
}

// A private home and runtime folder for one run of the program.
struct ProgramHome {
    plimbury::test::TempDir dir;
    std::string home = dir.file("home");
    std::string runtime = dir.file("runtime");
    ProgramHome()
    {
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(runtime);
        chmod(runtime.c_str(), 0700);
    }
    // The program's environment: every folder it writes is in here.
    std::vector<std::string> environment(const std::string& desktop) const
    {
        return {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "XDG_DATA_HOME=" + home + "/.local/share",
                "XDG_CACHE_HOME=" + home + "/.cache", "XDG_RUNTIME_DIR=" + runtime,
                "PLIMBURY_REGISTRY=" + dir.file("registry"), "PLIMBURY_DESKTOP=" + desktop, "QT_QPA_PLATFORM=xcb"};
    }
};

TEST(Program, FirstStartShowsTheSkinnedWindowAndExitsCleanly)
{
    if (const std::string why = whyNoScreen(); !why.empty())
        GTEST_SKIP() << why;
    const ProgramHome fixture;
    const plimbury::test::TempDir& dir = fixture.dir;
    const std::string& home = fixture.home;

    run("xdotool mousemove 0 0");   // nothing lit at the start
    Program program(fixture.environment("none"));
    ASSERT_GT(program.pid(), 0);

    std::string window;
    ASSERT_TRUE(waitFor(
        [&] {
            const std::string ids = run("xdotool search --onlyvisible --pid " + std::to_string(program.pid()));
            std::size_t start = 0;
            while (start < ids.size()) {
                const std::size_t end = ids.find('\n', start);
                const std::string id = ids.substr(start, end - start);
                if (!id.empty() && geometryOf(id).width == 790) {
                    window = id;
                    return true;
                }
                start = end == std::string::npos ? ids.size() : end + 1;
            }
            return false;
        },
        20s))
        << "no main window appeared";

    const Geometry g = geometryOf(window);
    const std::string root = run("xwininfo -root");
    EXPECT_EQ(g.width, 790);
    EXPECT_EQ(g.height, 564);
    EXPECT_NEAR(g.x, (field(root, "Width") - 790) / 2, 1) << "centred across";
    EXPECT_NEAR(g.y, (field(root, "Height") - 564) / 2, 1) << "centred down";

    const std::string shape = run("xwininfo -shape -id " + window);
    EXPECT_NE(shape.find("shape extents:  680x480+80+80"), std::string::npos) << shape;

    // The idle exit button shows first; under the pointer its lit picture.
    const int exitX = g.x + 240, exitY = g.y + 440;
    const std::string idle = picturePixels(PLIMBURY_SKIN_FOLDER "/myImage_exit.jpg");
    const std::string lit = picturePixels(PLIMBURY_SKIN_FOLDER "/myImage_exitt.jpg");
    ASSERT_EQ(idle.size(), 59u * 64u * 3u);
    ASSERT_GT(brightness(lit), brightness(idle) + 10) << "the lit picture is the brighter one";
    std::string shown;
    EXPECT_TRUE(waitFor(
        [&] {
            shown = screenPixels(exitX, exitY, 59, 64);
            return meanDifference(shown, idle) < 8;
        },
        10s))
        << "idle exit picture not on screen; difference " << meanDifference(shown, idle);

    // Outside the rounded corner the screen behind shows; inside, the skin.
    const std::string corner = screenPixels(g.x + 82, g.y + 82, 1, 1);
    const std::string behind = screenPixels(g.x + 40, g.y + 40, 1, 1);
    const std::string inside = screenPixels(g.x + 100, g.y + 300, 1, 1);
    EXPECT_EQ(corner, behind);
    EXPECT_NE(inside, behind);
    // ... and the pointer there is not over the window: clicks pass it by.
    run("xdotool mousemove " + std::to_string(g.x + 82) + " " + std::to_string(g.y + 82));
    EXPECT_NE(windowUnderPointer(), window);
    run("xdotool mousemove " + std::to_string(g.x + 100) + " " + std::to_string(g.y + 300));
    EXPECT_EQ(windowUnderPointer(), window);

    run("xdotool mousemove " + std::to_string(exitX + 29) + " " + std::to_string(exitY + 32));
    EXPECT_TRUE(waitFor(
        [&] {
            shown = screenPixels(exitX, exitY, 59, 64);
            return meanDifference(shown, lit) < 8;
        },
        10s))
        << "lit exit picture not shown; difference " << meanDifference(shown, lit);

    // The first run recorded the autostart for the log-on.
    const std::string registry = plimbury::test::readFile(dir.file("registry") + "/HKEY_LOCAL_MACHINE.ini");
    EXPECT_NE(registry.find(std::string("Vertanox plimbruy 2.1=") + PLIMBURY_EXECUTABLE + " /TRAY"), std::string::npos)
        << registry;
    EXPECT_TRUE(std::filesystem::exists(home + "/.config/autostart/plimbury.desktop"));

    run("xdotool click 1");
    ASSERT_TRUE(waitFor([&] { return program.status().has_value(); }, 10s)) << "still running after Exit";
    EXPECT_EQ(*program.status(), 0);
}

// The visible windows of a process, as xdotool finds them.
std::vector<std::string> windowsOf(pid_t pid)
{
    std::vector<std::string> windows;
    const std::string ids = run("xdotool search --onlyvisible --pid " + std::to_string(pid));
    std::size_t start = 0;
    while (start < ids.size()) {
        const std::size_t end = ids.find('\n', start);
        if (const std::string id = ids.substr(start, end - start); !id.empty())
            windows.push_back(id);
        start = end == std::string::npos ? ids.size() : end + 1;
    }
    return windows;
}

// A picture deleted after the project was saved and a screen saver
// xscreensaver does not list: each channel reports its failure once, and
// with nobody there to close the reports both channels go on changing, the
// failing entries passed over at their turns.
TEST(Program, UnansweredReportsHoldNeitherChannelUp)
{
    if (const std::string why = whyNoScreen(); !why.empty())
        GTEST_SKIP() << why;
    const ProgramHome fixture;
    const plimbury::test::TempDir& dir = fixture.dir;
    std::filesystem::create_directories(dir.file("registry"));

    const std::string lost = dir.file("a-deleted.bmp");
    const std::string red = dir.file("b.jpg");
    const std::string blue = dir.file("c.jpg");
    run("convert -size 64x48 xc:'#d02020' '" + red + "'");
    run("convert -size 64x48 xc:'#2020d0' '" + blue + "'");
    ASSERT_TRUE(std::filesystem::exists(red) && std::filesystem::exists(blue));
    const std::string project = dir.file("show.lmv");
    plimbury::test::writeFile(project, "[counttime]\r\nswtime=minute\r\nswrefreshtime=0\r\nsw_no=0\r\n"
                                       "setup_swminute=0\r\nsetup_sw_minute=0\r\nscreensaver_setup_swminute=0\r\n"
                                       "screensaver_setup_sw_minute=0\r\nsstime=minute\r\n"
                                       "ssrefreshtime=0\r\nss_no=0\r\n[countitem]\r\nswcount=3\r\nsscount=3\r\n"
                                       "[switem]\r\nsw0=" + lost + "\r\nsw1=" + red + "\r\nsw2=" + blue +
                                       "\r\n[ssitem]\r\nss0=/usr/lib/xscreensaver/a-no-such-saver.scr\r\n"
                                       "ss1=/usr/lib/xscreensaver/attraction.scr\r\nss2=/usr/lib/xscreensaver/maze.scr\r\n");
    plimbury::test::writeFile(dir.file("registry") + "/HKEY_LOCAL_MACHINE.ini",
                              "[software\\lumavuetest]\nsettime_selected=" + project + "\n");

    run("xdotool mousemove 0 0");
    Program program(fixture.environment("x11"), {"/TRAY"});
    ASSERT_GT(program.pid(), 0);

    // The reports: the visible windows of the program once it is in the tray.
    std::vector<std::string> reports;
    ASSERT_TRUE(waitFor(
        [&] {
            reports.clear();
            for (const std::string& id : windowsOf(program.pid())) {
                if (geometryOf(id).width != 790)
                    reports.push_back(id);
            }
            return reports.size() == 2;
        },
        30s))
        << "not one report per channel: " << reports.size();

    // Nobody clicks for 30 s: the pictures keep changing on the screen
    // (looked at away from the middle, where the reports stand), and so
    // does the screen saver.
    const std::string root = run("xwininfo -root");
    const int cx = field(root, "Width") / 8, cy = field(root, "Height") / 8;
    const std::string userStore = dir.file("registry") + "/HKEY_CURRENT_USER.ini";
    const auto screenSaver = [&] {
        const std::string text = plimbury::test::readFile(userStore);
        const std::size_t at = text.find("SCRNSAVE.EXE=");
        return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
    };
    int pictureChanges = 0, screenSaverChanges = 0;
    std::string picture = screenPixels(cx, cy, 1, 1), saver = screenSaver();
    for (const auto until = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(500ms);
        const std::string nowPicture = screenPixels(cx, cy, 1, 1), nowSaver = screenSaver();
        pictureChanges += nowPicture != picture;
        screenSaverChanges += nowSaver != saver;
        picture = nowPicture;
        saver = nowSaver;
    }
    EXPECT_GE(pictureChanges, 4) << "the wallpaper stopped under its report";
    EXPECT_GE(screenSaverChanges, 4) << "the screen saver stopped under its report";
    EXPECT_EQ(windowsOf(program.pid()).size(), 2u) << "one report per channel, not one per failure";

    // The newer box is modal over the older one: the person closes the one on top first.
    EXPECT_TRUE(waitFor(
        [&] {
            const std::vector<std::string> open = windowsOf(program.pid());
            for (const std::string& id : open)
                run("xdotool windowfocus --sync " + id + " key --clearmodifiers Return");
            return open.empty();
        },
        10s))
        << "the reports did not close";
    EXPECT_FALSE(program.status().has_value()) << "the program ended";
}

// Qt cannot paint on a display of 256 colours: the program says so and stops,
// and nothing is written.
TEST(Program, RefusesAnEightBitDisplayWithAMessage)
{
    if (!haveTool("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    plimbury::test::TempDir dir;
    // A private server with one 8-bit screen, the program on it, its status.
    const std::string script = dir.file("eight-bits.sh");
    plimbury::test::writeFile(script,
        "exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 320x240x8 -nolisten tcp 2>/dev/null); server=$!\n"
        "read -r n <&3\n"
        "DISPLAY=:$n HOME=\"$1\" PLIMBURY_REGISTRY=\"$1/registry\" PLIMBURY_DESKTOP=none QT_QPA_PLATFORM=xcb "
        "timeout 60 \"$2\" 2>&1 | grep plimbury:\n"
        "echo \"status=${PIPESTATUS[0]}\"\n"
        "kill $server\n");
    const std::string out = run("bash '" + script + "' '" + dir.path().string() + "' '" PLIMBURY_EXECUTABLE "'");
    EXPECT_NE(out.find("has 8 bits per pixel; the program's windows need 16 or more"), std::string::npos) << out;
    EXPECT_NE(out.find("status=1"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("registry"))) << "nothing written";
}

// A private X server for one test, named by DISPLAY until the test ends.
class PrivateDisplay {
public:
    explicit PrivateDisplay(const std::string& screen)
    {
        if (const char* previous = std::getenv("DISPLAY"))
            m_previous = previous;
        // Xvfb tells its display number on descriptor 3, here sent down the pipe after its pid.
        m_pipe = popen(("Xvfb -displayfd 3 -noreset -screen 0 " + screen +
                        " -nolisten tcp 3>&1 >/dev/null 2>&1 & echo \"pid=$!\"").c_str(), "r");
        char line[64];
        while (m_pipe && std::fgets(line, sizeof line, m_pipe) && m_name.empty()) {
            if (std::strncmp(line, "pid=", 4) == 0)
                m_server = std::atoi(line + 4);
            else if (const int number = std::atoi(line); number > 0 || line[0] == '0')
                m_name = ":" + std::to_string(number);
        }
        if (!m_name.empty())
            setenv("DISPLAY", m_name.c_str(), 1);
    }

    ~PrivateDisplay()
    {
        if (m_previous)
            setenv("DISPLAY", m_previous->c_str(), 1);
        else
            unsetenv("DISPLAY");
        if (m_server > 0)
            kill(m_server, SIGTERM);
        if (m_pipe)
            pclose(m_pipe);
    }

    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    const std::string& name() const { return m_name; }

private:
    FILE* m_pipe = nullptr;
    pid_t m_server = -1;
    std::string m_name;
    std::optional<std::string> m_previous;
};

// At device pixel ratio 2, as a desktop at 200 % runs it: 1580 x 1128 device
// pixels, centred and cut to the doubled region, and the skin on the screen is
// the 2x pictures themselves (the 1x ones blown up differ by 6 to 11 on
// average); the pointer lights, turns the page and exits at doubled places.
TEST(Program, AtRatioTwoTheSkinIsTheTwiceSizedPictures)
{
    if (!haveTool("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    const PrivateDisplay display("2048x1536x24");
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    if (const std::string why = whyNoScreen(); !why.empty())
        GTEST_SKIP() << why;
    const ProgramHome fixture;
    run("xdotool mousemove 0 0");
    std::vector<std::string> environment = fixture.environment("none");
    environment.push_back("QT_SCALE_FACTOR=2");
    Program program(environment);
    ASSERT_GT(program.pid(), 0);

    std::string window;
    ASSERT_TRUE(waitFor(
        [&] {
            for (const std::string& id : windowsOf(program.pid())) {
                if (geometryOf(id).width == 1580)
                    window = id;
            }
            return !window.empty();
        },
        20s))
        << "no window 1580 device pixels wide appeared";
    const Geometry g = geometryOf(window);
    EXPECT_EQ(g.height, 1128);
    EXPECT_EQ(g.x, (2048 - 1580) / 2) << "centred across";
    EXPECT_EQ(g.y, (1536 - 1128) / 2) << "centred down";
    const std::string shape = run("xwininfo -shape -id " + window);
    EXPECT_NE(shape.find("shape extents:  1360x960+160+160"), std::string::npos) << shape;
    EXPECT_EQ(screenPixels(g.x + 164, g.y + 164, 1, 1), screenPixels(g.x + 40, g.y + 40, 1, 1))
        << "outside the rounded corner the screen behind shows";

    // Places in window coordinates; the background's part is at its own.
    struct Part {
        const char* what;
        const char* picture;
        int x, y, width, height;
        int pictureX = 0, pictureY = 0;
    };
    const auto expectShown = [&](const Part& part) {
        const std::string picture = picturePixels(PLIMBURY_SKIN_FOLDER "/" + std::string(part.picture) + "@2x.jpg",
                                                  2 * part.pictureX, 2 * part.pictureY, 2 * part.width,
                                                  2 * part.height);
        ASSERT_EQ(picture.size(), 12u * part.width * part.height) << part.what;
        double difference = 255;
        EXPECT_TRUE(waitFor(
            [&] {
                difference = meanDifference(
                    screenPixels(g.x + 2 * part.x, g.y + 2 * part.y, 2 * part.width, 2 * part.height), picture);
                return difference < 2.5;
            },
            10s))
            << part.what << " is not the 2x picture; difference " << difference;
    };
    const Part idle[] = {
        {"the title", "Image_bg", 104, 88, 240, 40, 33, 9},
        {"the captions of the top buttons", "Image_bg", 118, 170, 496, 16, 47, 91},
        {"the captions of the round buttons", "Image_bg", 124, 506, 196, 16, 53, 427},
        {"New", "myImage_nb", 370, 129, 45, 41},
        {"Wallpaper", "myImage_ww", 138, 134, 39, 35},
        {"Abandon and Exit", "myImage_exit", 240, 440, 59, 64},
        {"the picture list button", "myImage_sel_wall", 160, 200, 133, 38},
    };
    for (const Part& part : idle)
        expectShown(part);

    const auto pointAt = [&](int x, int y) {
        run("xdotool mousemove " + std::to_string(g.x + 2 * x) + " " + std::to_string(g.y + 2 * y));
    };
    pointAt(298, 149);
    expectShown({"Screen saver, lit", "myImage_sr", 279, 132, 39, 35});
    run("xdotool click 1");
    expectShown({"the screen-saver list button", "myImage_sel_scr", 160, 200, 133, 38});
    pointAt(269, 472);
    expectShown({"Abandon and Exit, lit", "myImage_exitt", 240, 440, 59, 64});
    run("xdotool click 1");
    ASSERT_TRUE(waitFor([&] { return program.status().has_value(); }, 10s)) << "still running after Exit";
    EXPECT_EQ(*program.status(), 0);
}

} // namespace
