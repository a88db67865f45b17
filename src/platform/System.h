#pragma once
// Small facilities of the operating system.

#include <string>
#include <vector>

namespace plimbury {

// Full path of the running executable, and its folder without a trailing separator.
std::string executablePath();
std::string executableFolder();

// The folder separator of the platform as text ("/" or "\\").
const char* pathSeparator();

// Where the program keeps "lumavue.bmp" and looks for VidoZeziv: the
// executable's folder when it is writable, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/plimbury.
std::string programDataFolder();

// Opens a document with the desktop's default handler; failures are ignored.
void openDocument(const std::string& path);

// Starts `program` with exactly `args` (no shell), detached: not waited for,
// no zombie left behind. Returns false when it could not be started.
bool startDetached(const std::string& program, const std::vector<std::string>& args);

// The folder where screen-saver programs live (GetSystemDirectoryA on Windows).
std::string systemScreenSaverFolder();

// An environment variable, or "" when unset.
std::string environmentValue(const char* name);

} // namespace plimbury
