#pragma once
// What a start of the program decides before its window does anything: the
// first run records the program's key and the start at log-on; a later run
// honours /TRAY; every run reads the selected project and the pause.

#include <optional>
#include <string>
#include <vector>

namespace plimbury {

class Store;

struct StartupPlan {
    // The program's key did not exist: this is the first run, which records
    // the key (with an empty selected project) and the start at log-on, and
    // gives the interval rows their defaults.
    bool firstRun = false;
    // A later run started with the single argument "/TRAY", exactly so
    // written: the window goes to the notification area by itself.
    bool toTray = false;
    // The selected project ("" when none is selected); nullopt when the
    // program's key cannot be opened, and then neither is resumed nor cleared.
    std::optional<std::string> selectedProject;
    // The show was paused (--pause) and not resumed since.
    bool paused = false;
};

// Decides the start and records what the first run records: the selected
// value "", the Run value "<executablePath> /TRAY" and, away from Windows
// (where nothing reads the Run key), the XDG autostart entry when the Run
// value was stored and the path is known. A value that cannot be stored is
// skipped like a key that cannot be opened: the program starts all the same,
// and says nothing. Never throws.
StartupPlan startUp(Store& store, const std::vector<std::string>& arguments, const std::string& executablePath);

} // namespace plimbury
