#pragma once
// The key/value store: the system registry on Windows, a folder of INI files
// elsewhere (one file per root, one section per key path). Key paths are
// written as the registry writes them ("software\\lumavuetest"); key and value
// names are matched without regard to case.

#include <memory>
#include <string>

namespace plimbury {

enum class Root { LocalMachine, CurrentUser };

// One opened key. Lives for one command or one tick.
class StoreKey {
public:
    virtual ~StoreKey() = default;
    // A missing value (or one that cannot be read) reads as "".
    virtual std::string read(const std::string& name) = 0;
    // Throws Error("Failed to set data for '<name>'") when the value cannot be stored.
    virtual void write(const std::string& name, const std::string& value) = 0;
};

class Store {
public:
    virtual ~Store() = default;
    // Needs read access only.
    virtual bool keyExists(Root root, const std::string& path) = 0;
    // Opens the key, creating it (and its parents) when missing. Returns null
    // when the key cannot be opened for reading and writing or cannot be created.
    virtual std::unique_ptr<StoreKey> openKey(Root root, const std::string& path) = 0;
};

// The file store rooted at `directory`: HKEY_LOCAL_MACHINE.ini and
// HKEY_CURRENT_USER.ini, one "[key path]" section per key. openKey creates the
// folder and writes the key's empty section at once. Every value reads back
// exactly as written (values the INI format would trim are stored quoted); a
// write reaches the disk before write() returns, as an atomic replacement. A
// damaged or unreadable file is never a crash: its keys read as "", and it is
// not overwritten by a write that could not read it first.
std::unique_ptr<Store> makeFileStore(const std::string& directory);

// $PLIMBURY_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/plimbury.
std::string defaultStoreDirectory();

// The registry on Windows, the file store at defaultStoreDirectory() elsewhere.
std::unique_ptr<Store> makeSystemStore();

// Key paths and value names the program uses.
inline constexpr const char* kProgramKey = "software\\lumavuetest";
inline constexpr const char* kSelectedValue = "settime_selected";
// "1" while the show is paused from the command line, "0" after it resumed.
inline constexpr const char* kPausedValue = "paused";
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// Spelled as the program has always written it ("plimbruy", not "plimbury"):
// an installation that already holds the value finds it under this name.
inline constexpr const char* kAutostartValue = "Vertanox plimbruy 2.1";
inline constexpr const char* kDesktopKey = "Control Panel\\Desktop";
inline constexpr const char* kWallpaperValue = "Wallpaper";

} // namespace plimbury
