#pragma once
// Small facilities of the operating system.

#include <string>

namespace plimbury {

// Full path of the running executable, and its folder without a trailing
// separator ("/" for a program in the root folder). On Linux from
// /proc/self/exe; "" when the system cannot tell.
std::string executablePath();
std::string executableFolder();

// The folder separator of the platform as text ("/" or "\\").
const char* pathSeparator();

// Where the program keeps "lumavue.bmp" and looks for VidoZeziv: the
// executable's folder when it is writable, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/plimbury, which is then created if
// missing (a failure to create it shows later, when a file is written there).
std::string programDataFolder();

// Opens a document with the desktop's default handler (xdg-open away from
// Windows, started as startDetached() of Launcher.h does); failures are
// ignored.
void openDocument(const std::string& path);

// The folder where screen-saver programs live (GetSystemDirectoryA on
// Windows). Away from Windows the screen-saver programs are xscreensaver's
// "hacks": /usr/libexec/xscreensaver (Debian 11 and later), else
// /usr/lib/xscreensaver (older Debian and Ubuntu releases), else /usr/bin, so
// the folder shown first always exists.
std::string systemScreenSaverFolder();

// An environment variable, or "" when unset.
std::string environmentValue(const char* name);

} // namespace plimbury
