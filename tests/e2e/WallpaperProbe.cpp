// Makes wallpaper changes through one desktop backend, for the tests against
// a real compositor:
//   wallpaper_probe <backend>
// Each line of standard input is a picture to show; each is answered on
// standard output with "ok" or "error: <the user's message>" once the change
// is made. The backend lives until standard input ends, as it would in the
// program (swaybg's drawer, say, lasts as long as it).

#include "desktop/DesktopBackend.h"
#include "platform/Error.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <backend>  (pictures on standard input, one a line)\n", argv[0]);
        return 2;
    }
    std::unique_ptr<plimbury::desktop::DesktopBackend> backend;
    try {
        backend = plimbury::desktop::makeDesktopBackend(argv[1]);
    } catch (const plimbury::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (!backend) {
        std::fprintf(stderr, "unknown backend %s\n", argv[1]);
        return 2;
    }
    for (std::string picture; std::getline(std::cin, picture);) {
        try {
            backend->showWallpaper(picture);
            std::cout << "ok" << std::endl;
        } catch (const plimbury::Error& e) {
            std::cout << "error: " << e.what() << std::endl;
        }
    }
    return 0;
}
