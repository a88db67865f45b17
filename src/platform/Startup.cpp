#include "platform/Startup.h"

#include "platform/Autostart.h"
#include "platform/Error.h"
#include "platform/Store.h"

namespace plimbury {

namespace {

// Whether the value was stored. A store that refuses it is no reason to stop
// the program from starting: nothing of the user's is lost, and the next
// start is a first run again.
bool stored(StoreKey& key, const char* name, const std::string& value)
{
    try {
        key.write(name, value);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace

StartupPlan startUp(Store& store, const std::vector<std::string>& arguments, const std::string& executablePath)
{
    StartupPlan plan;
    const Root machine = Root::LocalMachine;
    if (!store.keyExists(machine, kProgramKey)) {
        plan.firstRun = true;
        if (const auto key = store.openKey(machine, kProgramKey))
            stored(*key, kSelectedValue, "");
        if (const auto run = store.openKey(machine, kRunKey)) {
            const bool runStored = stored(*run, kAutostartValue, executablePath + " /TRAY");
#ifndef _WIN32
            // Linux desktops never read the Run key; the XDG entry is what
            // really starts the program at log-on. It follows the Run value,
            // so a store that cannot be written does not get it rewritten at
            // every start.
            if (runStored && !executablePath.empty())
                writeAutostartEntry(executablePath);
#else
            (void)runStored;
#endif
        }
    } else {
        plan.toTray = arguments.size() == 1 && arguments.front() == "/TRAY";
    }
    if (const auto key = store.openKey(machine, kProgramKey)) {
        plan.selectedProject = key->read(kSelectedValue);
        plan.paused = key->read(kPausedValue) == "1";
    }
    return plan;
}

} // namespace plimbury
