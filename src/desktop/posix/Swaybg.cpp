// Wayland compositors with no interface of their own for the wallpaper: a
// swaybg child of this program draws it on the compositor's background layer
// for as long as it runs.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/SwayOutputs.h"
#include "platform/Error.h"
#include "platform/Launcher.h"
#include "platform/System.h"

#include <cerrno>
#include <chrono>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plimbury::desktop {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// swaybg says nothing once it has drawn. What shows it is done is that it
// sleeps, waiting for the compositor, after the busy work of starting,
// loading the picture and scaling it: asleep at this many samples in a row.
constexpr auto kSampleInterval = 20ms;
constexpr int kAsleepSamples = 4;
// One still busy after this (a huge picture on a slow machine) is taken as
// drawing all the same: the change must not hold the window for long.
constexpr auto kLongestWatch = 3s;

// Where swaybg's messages go: a file in memory that it can write to for as
// long as it runs without ever blocking on a reader (a line or two for each
// output that comes), read back only while a change is watched.
class Log {
public:
    Log()
        : m_fd(memfd_create("swaybg-log", MFD_CLOEXEC))
    {
        if (m_fd < 0)
            m_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    }
    ~Log()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    int fd() const { return m_fd; }

    // Appends what was written since the last call.
    void readNew(std::string& text)
    {
        char buffer[4096];
        for (;;) {
            const ssize_t got = pread(m_fd, buffer, sizeof buffer, m_offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return;
            text.append(buffer, static_cast<std::size_t>(got));
            m_offset += got;
        }
    }

private:
    int m_fd;
    off_t m_offset = 0;
};

// The state letter of /proc/<pid>/stat ('R', 'S', 'D', 'Z'...); 0 when it
// cannot be read.
char processState(pid_t pid)
{
    const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[512];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    close(fd);
    if (got <= 0)
        return 0;
    // The command name in parentheses may hold anything, parentheses too.
    const std::string_view stat(buffer, static_cast<std::size_t>(got));
    const std::size_t nameEnd = stat.rfind(')');
    return nameEnd != std::string_view::npos && nameEnd + 2 < stat.size() ? stat[nameEnd + 2] : 0;
}

// swaybg's lines ("2026-01-31 10:00:00 - [main.c:621] Failed to load image:
// x.bmp") without their time and source, each once, without the note of
// every output it found.
std::string tidied(const std::string& said)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < said.size()) {
        std::size_t stop = said.find('\n', begin);
        if (stop == std::string::npos)
            stop = said.size();
        std::string line = said.substr(begin, stop - begin);
        begin = stop + 1;
        if (const std::size_t source = line.find(" - ["); source != std::string::npos) {
            if (const std::size_t message = line.find("] ", source); message != std::string::npos)
                line.erase(0, message + 2);
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line.rfind("Found config", 0) == 0)
            continue;
        bool seen = false;
        for (const std::string& earlier : lines)
            seen = seen || earlier == line;
        if (!seen)
            lines.push_back(line);
    }
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : " ") + line;
    return text;
}

class SwaybgBackend final : public LayoutBackend {
public:
    void showWallpaper(const std::string& path) override
    {
        draw({{"", path}});
    }

    int monitorCount() override
    {
        const std::optional<std::vector<MonitorArea>> outputs = knownOutputs();
        return outputs ? static_cast<int>(outputs->size()) : 1;
    }

    bool showWallpapers(const std::vector<std::string>& paths) override
    {
        const std::optional<std::vector<MonitorArea>> outputs =
            paths.size() > 1 ? knownOutputs() : std::vector<MonitorArea>{};
        if (!outputs || outputs->empty()) {
            showWallpaper(paths.front());
            return outputs.has_value();
        }
        std::vector<std::pair<std::string, std::string>> outputPictures;
        for (std::size_t i = 0; i < outputs->size(); ++i)
            outputPictures.emplace_back((*outputs)[i].name, paths[i % paths.size()]);
        draw(outputPictures);
        return true;
    }

private:
    // The outputs in their order where the compositor lists them: sway's,
    // through swaymsg. Others have only the Wayland protocol's own list,
    // which this program does not read: nullopt there.
    static std::optional<std::vector<MonitorArea>> knownOutputs()
    {
        if (environmentValue("SWAYSOCK").empty())
            return std::nullopt;
        return readSwayOutputs(&runSwaymsg);
    }
    static CommandResult runSwaymsg(const std::vector<std::string>& argv) { return runCommand(argv); }

    // One swaybg draws every output: each (output, picture) pair is a group
    // of its options, and an empty output name means all of them.
    void draw(const std::vector<std::pair<std::string, std::string>>& outputPictures)
    {
        const std::string program = findProgram("swaybg");
        if (program.empty())
            throw Error("Cannot start swaybg. " + systemErrorText(ENOENT));
        // swaybg opens the pictures again whenever an output appears or
        // changes, so they need names that keep their pictures for as long
        // as it runs: "lumavue.bmp" is replaced at the next change, and the
        // user's own file may be edited or removed.
        std::vector<std::string> pictures;
        for (const auto& outputPicture : outputPictures)
            pictures.push_back(outputPicture.second);
        const std::vector<std::string> shown = freshWallpaperPaths(pictures, wallpaperCacheFolder());
        // After a failed change the pictures of the swaybg still running must
        // stay the newest, or the next change would remove them.
        auto refused = [&](const std::string& text) {
            for (const std::string& name : shown)
                unlink(name.c_str());
            return Error(text);
        };
        // swaybg's modes are the fit words; its colour fills what the
        // picture leaves, black too: without one it leaves that transparent.
        std::vector<std::string> argv{"swaybg"};
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (!outputPictures[i].first.empty())
                argv.insert(argv.end(), {"-o", outputPictures[i].first});
            argv.insert(argv.end(), {"-m", fitWord(layout().fit), "-i", shown[i], "-c", colourText(layout().background)});
        }
        Log log;
        ChildProgram started(program, argv, log.fd());
        if (!started.running())
            throw refused("Cannot start swaybg. " + systemErrorText(started.startError()));

        std::string said;
        int asleep = 0;
        const Clock::time_point deadline = Clock::now() + kLongestWatch;
        for (;;) {
            std::this_thread::sleep_for(kSampleInterval);
            if (const std::optional<int> ended = started.endStatus()) {
                const int status = *ended;
                log.readNew(said);
                std::string text = "swaybg did not set the wallpaper";
                if (WIFEXITED(status))
                    text += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
                else
                    text += " (ended by signal " + std::to_string(WTERMSIG(status)) + ")";
                if (const std::string message = tidied(said); !message.empty())
                    text += ": " + message;
                throw refused(text);
            }
            // Sampled before the messages are read: what it wrote before
            // falling asleep is then there to be read.
            asleep = processState(started.pid()) == 'S' ? asleep + 1 : 0;
            log.readNew(said);
            // It stays running without a picture it cannot load.
            if (said.find("Failed to load") != std::string::npos) {
                started.end();
                throw refused("swaybg did not set the wallpaper: " + tidied(said));
            }
            if (asleep >= kAsleepSamples || Clock::now() >= deadline)
                break;
        }

        // Only now: a compositor may put the new surface under the old one
        // (sway does), and ending the old one first would bare the screen.
        m_drawing = std::move(started);
    }

    ChildProgram m_drawing;
};

} // namespace

std::unique_ptr<DesktopBackend> makeSwaybgBackend()
{
    return std::make_unique<SwaybgBackend>();
}

} // namespace plimbury::desktop
