#include "desktop/DesktopBackend.h"

#include <array>

namespace plimbury::desktop {

namespace {

// The path is already in the store; there is nothing more to tell anyone.
class NoneBackend final : public DesktopBackend {
public:
    void showWallpaper(const std::string&) override {}
    // Nothing is shown, so any layout is as good as shown.
    bool setLayout(const PictureLayout&) override { return true; }
};

// Overload sets cannot be named in a constant table; these pick the
// factories that talk to the real desktop.
std::unique_ptr<DesktopBackend> gnome() { return makeGnomeBackend(); }
std::unique_ptr<DesktopBackend> cinnamon() { return makeCinnamonBackend(); }
std::unique_ptr<DesktopBackend> mate() { return makeMateBackend(); }
std::unique_ptr<DesktopBackend> kde() { return makeKdeBackend(); }
std::unique_ptr<DesktopBackend> sway() { return makeSwayBackend(); }
std::unique_ptr<DesktopBackend> lxqt() { return makeLxqtBackend(); }

constexpr std::array kBackends{
    BackendEntry{"gnome", &gnome},
    BackendEntry{"cinnamon", &cinnamon},
    BackendEntry{"mate", &mate},
    BackendEntry{"xfce", &makeXfceBackend},
    BackendEntry{"kde", &kde},
    BackendEntry{"lxqt", &lxqt},
    BackendEntry{"sway", &sway},
    BackendEntry{"swaybg", &makeSwaybgBackend},
    BackendEntry{"x11", &makeX11Backend},
    BackendEntry{"none", &makeNoneBackend},
};

} // namespace

std::unique_ptr<DesktopBackend> makeNoneBackend()
{
    return std::make_unique<NoneBackend>();
}

std::span<const BackendEntry> desktopBackends()
{
    return kBackends;
}

std::unique_ptr<DesktopBackend> makeDesktopBackend(const std::string& name)
{
    for (const BackendEntry& entry : kBackends)
        if (name == entry.name)
            return entry.make();
    return nullptr;
}

} // namespace plimbury::desktop
