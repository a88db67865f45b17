#pragma once
// Away from Windows nobody reads SCRNSAVE.EXE: where xscreensaver is the
// screen saver, the program it runs is chosen in ~/.xscreensaver. This makes
// the screen-saver channel's entry xscreensaver's choice when it names one of
// xscreensaver's programs; SCRNSAVE.EXE is written all the same by the caller.

#include <string>

namespace plimbury {

struct XScreenSaverFiles {
    std::string userFile;      // ~/.xscreensaver
    std::string appDefaults;   // xscreensaver's installed defaults; present where it is installed
};

// $HOME/.xscreensaver and /etc/X11/app-defaults/XScreenSaver.
XScreenSaverFiles systemXScreenSaverFiles();

// When `files.appDefaults` exists and the entry's file name without its
// extension (either separator; letter case ignored) is the program of an item
// of the `programs:` list (the user's file's, or the defaults' when the user
// has no file), writes "mode: one" and "selected: <that item's index>" into
// the user's file, keeping every other line, as one atomic replacement
// (creating the file when the user had none). An enabled item is preferred
// over a disabled one of the same program. Returns whether it did.
// Throws Error("Cannot open file \"<file>\". <system text>") when a file that
// exists cannot be read, and Error("Cannot create file \"<file>\". <system
// text>") when the user's file cannot be written. On Windows it does nothing.
bool selectXScreenSaverProgram(const std::string& entry, const XScreenSaverFiles& files);

// The same with systemXScreenSaverFiles(): the screen-saver apply step's call.
bool selectXScreenSaverProgram(const std::string& entry);

} // namespace plimbury
