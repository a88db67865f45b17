// Runs one screen-saver step of the program from the command line, for the
// test against a real xscreensaver daemon:
//   screensaver_probe apply <entry>      the rotation's apply step
//   screensaver_probe testrun <program>  the editor's test run
// Exit status 0, or 1 with the user's message on standard error.

#include "desktop/ScreenSaverSelection.h"
#include "platform/Store.h"
#include "rotation/ApplySteps.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s apply <entry> | testrun <program>\n", argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    try {
        if (command == "apply") {
            const std::unique_ptr<plimbury::Store> store = plimbury::makeSystemStore();
            plimbury::ScreenSaverSelector selector;
            plimbury::applyScreensaver(argv[2], *store, &selector);
        } else if (command == "testrun") {
            plimbury::testRunScreenSaver(argv[2], plimbury::systemTestRunMeans());
        } else {
            std::fprintf(stderr, "unknown command %s\n", argv[1]);
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
