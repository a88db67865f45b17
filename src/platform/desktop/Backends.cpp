#include "platform/desktop/DesktopBackend.h"

#include <array>

namespace plimbury::desktop {

namespace {

// The path is already in the store; there is nothing more to tell anyone.
class NoneBackend final : public DesktopBackend {
public:
    void showWallpaper(const std::string&) override {}
};

constexpr std::array kBackends{
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
