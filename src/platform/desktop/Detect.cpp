#include "platform/desktop/DesktopBackend.h"

namespace plimbury::desktop {

std::string detectDesktop()
{
    // No desktop backend beyond "none" exists yet.
    return "none";
}

} // namespace plimbury::desktop
