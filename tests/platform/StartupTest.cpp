// The start-up decision without a window: first run, later runs with and
// without /TRAY, the selected project, and stores that cannot be written.

#include "platform/Error.h"
#include "platform/Startup.h"
#include "platform/Store.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plimbury {
namespace {

using test::ScopedEnv;
using test::TempDir;

// Opens keys but refuses every value.
class RefusingStore final : public Store {
public:
    bool keyExists(Root, const std::string&) override { return false; }
    std::unique_ptr<StoreKey> openKey(Root, const std::string&) override
    {
        struct Key final : StoreKey {
            std::string read(const std::string&) override { return {}; }
            void write(const std::string& name, const std::string&) override
            {
                throw Error("Failed to set data for '" + name + "'");
            }
        };
        return std::make_unique<Key>();
    }
};

enum class Before { Nothing, LaterRun, SelectedProject, Paused, StoreUnderAFile, RefusingStore };

TEST(Startup, DecidesFromTheStoreAndTheArguments)
{
    struct Case {
        const char* name;
        Before before;
        std::vector<std::string> arguments;
        bool firstRun;
        bool toTray;
        std::optional<std::string> selected;
        bool autostartWritten;
        bool paused = false;
    };
    const std::string project = "/home/u/show.lmv";
    for (const Case& c : {
             Case{"first run", Before::Nothing, {}, true, false, "", true},
             Case{"first run ignores /TRAY", Before::Nothing, {"/TRAY"}, true, false, "", true},
             Case{"later run", Before::LaterRun, {}, false, false, "", false},
             Case{"later run, /TRAY", Before::LaterRun, {"/TRAY"}, false, true, "", false},
             Case{"lower-case /tray", Before::LaterRun, {"/tray"}, false, false, "", false},
             Case{"/TRAY with a blank", Before::LaterRun, {"/TRAY "}, false, false, "", false},
             Case{"/TRAY and another", Before::LaterRun, {"/TRAY", "x"}, false, false, "", false},
             Case{"selected project, /TRAY", Before::SelectedProject, {"/TRAY"}, false, true, project, false},
             Case{"paused show", Before::Paused, {"/TRAY"}, false, true, project, false, true},
             Case{"store that cannot be made", Before::StoreUnderAFile, {}, true, false, std::nullopt, false},
             Case{"store refusing values", Before::RefusingStore, {}, true, false, "", false},
         }) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string configHome = dir.file("config");
        const ScopedEnv config("XDG_CONFIG_HOME", configHome.c_str());
        std::unique_ptr<Store> store;
        switch (c.before) {
        case Before::StoreUnderAFile:
            test::writeFile(dir.file("file"), "");
            store = makeFileStore(dir.file("file") + "/store");
            break;
        case Before::RefusingStore:
            store = std::make_unique<RefusingStore>();
            break;
        default:
            store = makeFileStore(dir.file("store"));
            if (c.before != Before::Nothing) {
                const auto key = store->openKey(Root::LocalMachine, kProgramKey);
                key->write(kSelectedValue, c.before == Before::LaterRun ? "" : project);
                if (c.before == Before::Paused)
                    key->write(kPausedValue, "1");
            }
        }

        const StartupPlan plan = startUp(*store, c.arguments, "/opt/plimbury/plimbury");
        EXPECT_EQ(plan.firstRun, c.firstRun);
        EXPECT_EQ(plan.toTray, c.toTray);
        EXPECT_EQ(plan.selectedProject, c.selected);
        EXPECT_EQ(plan.paused, c.paused);
#ifndef _WIN32
        EXPECT_EQ(std::filesystem::exists(dir.file("config/autostart/plimbury.desktop")), c.autostartWritten);
#endif
        if (c.autostartWritten) {
            EXPECT_EQ(store->openKey(Root::LocalMachine, kRunKey)->read(kAutostartValue), "/opt/plimbury/plimbury /TRAY");
            EXPECT_TRUE(store->keyExists(Root::LocalMachine, kProgramKey));
        }
    }
}

} // namespace
} // namespace plimbury
