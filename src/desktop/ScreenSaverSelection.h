#pragma once
// Away from Windows nobody reads SCRNSAVE.EXE: where xscreensaver is the
// screen saver, the program it runs is chosen in ~/.xscreensaver, and a
// running xscreensaver daemon can be asked to show one of its programs now.
// This file is that side of the screen saver: choosing the rotation's entry
// as xscreensaver's program, and the editor's test run.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plimbury {

struct XScreenSaverFiles {
    std::string userFile;      // ~/.xscreensaver
    std::string appDefaults;   // xscreensaver's installed defaults; present where it is installed
};

// $HOME/.xscreensaver and /etc/X11/app-defaults/XScreenSaver.
XScreenSaverFiles systemXScreenSaverFiles();

// Whether xscreensaver is installed: its defaults file exists.
bool xscreensaverInstalled(const XScreenSaverFiles& files);

// The position of the entry's program in xscreensaver's list of programs,
// counted from 0, as xscreensaver itself reads that list: the `programs:`
// resource of the user's file when it has one, else the installed defaults'.
// The entry's file name without its extension (either separator; letter case
// ignored) is compared with each item's command; an enabled item is preferred
// over a disabled one of the same program. nullopt when xscreensaver is not
// installed or does not list the program.
// Throws Error("Cannot open file \"<file>\". <system text>") when a file that
// exists cannot be read.
std::optional<std::size_t> xscreensaverProgramIndex(const std::string& entry, const XScreenSaverFiles& files);

// When xscreensaverProgramIndex() finds the entry, writes "mode: one" and
// "selected: <index>" into the user's file, keeping every other line, as one
// atomic replacement (creating the file when the user had none). Returns
// whether it did. Throws the errors of xscreensaverProgramIndex(), and
// Error("Cannot create file \"<file>\". <system text>") when the user's file
// cannot be written. On Windows it does nothing.
bool selectXScreenSaverProgram(const std::string& entry, const XScreenSaverFiles& files);

// What the screen-saver channel does after SCRNSAVE.EXE was recorded. It
// lives as long as the rotation, because some things are said once per run.
class ScreenSaverSelector {
public:
    explicit ScreenSaverSelector(XScreenSaverFiles files = systemXScreenSaverFiles());

    // Makes the entry xscreensaver's screen saver. Where that cannot happen
    // the user is told, as an Error the rotation reports and moves past:
    //  - xscreensaver is not installed: kNoScreenSaverNotice, once per run
    //    (later calls do nothing);
    //  - xscreensaver does not list the entry's program:
    //    "\"<entry>\" is not one of xscreensaver's screen savers; ..." (every
    //    time: the rotation reports a text once per entry);
    //  - the errors of selectXScreenSaverProgram().
    // On Windows it does nothing: the system reads SCRNSAVE.EXE itself.
    void select(const std::string& entry);

private:
    XScreenSaverFiles m_files;
    bool m_missingReported = false;
};

inline constexpr const char* kNoScreenSaverNotice =
    "No screen saver that runs programs is installed (xscreensaver was not found), so the screen saver "
    "does not change; the chosen program is only recorded as SCRNSAVE.EXE. Install xscreensaver to let "
    "the show change the screen saver";

// The screen-saver editor's test run, and what it runs with.
struct TestRunMeans {
    XScreenSaverFiles files;
    // Runs a command, waits for it, and returns its exit status (-1 when it
    // could not be started or did not end in time).
    std::function<int(const std::vector<std::string>& argv)> runCommand;
    // Starts a program detached with exactly the given arguments; false when
    // it could not be started.
    std::function<bool(const std::string& program, const std::vector<std::string>& args)> start;
};

// The system's: systemXScreenSaverFiles(), a command waited for at most five
// seconds, startDetached().
TestRunMeans systemTestRunMeans();

// On Windows: the program started with the single argument -s, the result
// not looked at. Elsewhere: when the program is one of xscreensaver's and an
// xscreensaver daemon answers, the daemon shows it full screen now
// (xscreensaver-command -select <its number>); otherwise the program is
// started by itself, without arguments, in its own window. Throws
// Error("Cannot start \"<program>\"; it is not a program that can be run")
// when that start fails.
void testRunScreenSaver(const std::string& program, const TestRunMeans& means);

} // namespace plimbury
