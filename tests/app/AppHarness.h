#pragma once
// A main window with its two editors over a private store, as the program
// entry builds them. Each harness has its own store folder, data folder and
// XDG_CONFIG_HOME.

#include "app/TForm1.h"
#include "editors/Tscreensaver.h"
#include "editors/Twall.h"
#include "platform/Clock.h"
#include "platform/Store.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace plimbury::test {

class AppHarness {
public:
    AppHarness();
    ~AppHarness();

    // Records a previous run in the store: the program key with `selected`.
    void markLaterRun(const std::string& selected = "");
    // Replaces the store, e.g. by one that cannot be written.
    void useStore(std::unique_ptr<Store> store);

    // Creates the window and the editors, running the start-up.
    TForm1& start(const QStringList& arguments = {});
    // Shows the window on the offscreen screen and waits until it is exposed.
    void showWindow();

    // Writes a small bitmap (a picture the rotation hands over as it is)
    // named `name` in the harness's folder; returns its path.
    std::string writeBitmap(const std::string& name);

    std::string readValue(const char* keyPath, const char* name);

    TempDir dir;
    std::unique_ptr<Store> store;
    SystemClock clock;
    AppServices services;
    // Destroyed editors first, then the window they refer to.
    std::unique_ptr<TForm1> form;
    std::unique_ptr<Twall> wall;
    std::unique_ptr<Tscreensaver> screensaver;

private:
    std::string m_savedConfigHome;
};

} // namespace plimbury::test
