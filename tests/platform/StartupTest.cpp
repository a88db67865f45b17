// The start-up decision without a window: first run, later runs with and
// without /TRAY, the selected project, and stores that cannot be written.

#include "platform/Startup.h"
#include "platform/Store.h"
#include "support/FakeStore.h"
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

using test::FakeStore;
using test::ScopedEnv;
using test::TempDir;

enum class Before { Nothing, LaterRun, SelectedProject, Paused, StoreUnderAFile, RefusingStore, ReadOnlyStore };

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
             Case{"another and /TRAY", Before::LaterRun, {"x", "/TRAY"}, false, false, "", false},
             Case{"selected project, /TRAY", Before::SelectedProject, {"/TRAY"}, false, true, project, false},
             Case{"paused show", Before::Paused, {"/TRAY"}, false, true, project, false, true},
             Case{"store that cannot be made", Before::StoreUnderAFile, {}, true, false, std::nullopt, false},
             Case{"store refusing values", Before::RefusingStore, {}, true, false, "", false},
             // The key is there, so /TRAY counts, but it cannot be opened to resume anything.
             Case{"read-only store, /TRAY", Before::ReadOnlyStore, {"/TRAY"}, false, true, std::nullopt, false},
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
        case Before::RefusingStore: {
            auto refusing = std::make_unique<FakeStore>();
            refusing->refuseAll = true;
            store = std::move(refusing);
            break;
        }
        case Before::ReadOnlyStore: {
            auto readOnly = std::make_unique<FakeStore>();
            readOnly->keys[{Root::LocalMachine, kProgramKey}] = {};
            readOnly->openable = false;
            store = std::move(readOnly);
            break;
        }
        default:
            store = makeFileStore(dir.file("store"));
            if (c.before != Before::Nothing) {
                const auto key = store->openKey(Root::LocalMachine, kProgramKey);
                key->write(kSelectedValue, c.before == Before::LaterRun ? "" : project);
                if (c.before == Before::Paused)
                    key->write(kPausedValue, "1");
            }
        }

        const StartupPlan plan = startUp(*store, c.arguments, "/opt/plimbury test/plimbury");
        EXPECT_EQ(plan.firstRun, c.firstRun);
        EXPECT_EQ(plan.toTray, c.toTray);
        EXPECT_EQ(plan.selectedProject, c.selected);
        EXPECT_EQ(plan.paused, c.paused);
#ifndef _WIN32
        const std::string entry = dir.file("config/autostart/plimbury.desktop");
        EXPECT_EQ(std::filesystem::exists(entry), c.autostartWritten);
        if (c.autostartWritten) {
            EXPECT_NE(test::readFile(entry).find("\nExec=\"/opt/plimbury test/plimbury\" /TRAY\n"), std::string::npos);
        }
#endif
        const bool runKey = store->keyExists(Root::LocalMachine, kRunKey);
        EXPECT_EQ(runKey ? store->openKey(Root::LocalMachine, kRunKey)->read(kAutostartValue) : "",
                  c.autostartWritten ? "/opt/plimbury test/plimbury /TRAY" : "");
        if (c.autostartWritten) {
            EXPECT_TRUE(store->keyExists(Root::LocalMachine, kProgramKey));
        }
    }
}

} // namespace
} // namespace plimbury
