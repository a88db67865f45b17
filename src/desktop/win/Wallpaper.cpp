// The hand-over to Windows itself: with SPIF_UPDATEINIFILE the system records
// the path as "Wallpaper" under HKEY_CURRENT_USER\Control Panel\Desktop, so
// the store is not written here.

#include "desktop/Wallpaper.h"

#include "platform/Error.h"
#include "platform/win/WinError.h"

#include <windows.h>

namespace plimbury {

namespace {

class SystemWallpaper final : public Wallpaper {
public:
    void setDesktopWallpaper(const std::string& path) override
    {
        SetLastError(0);
        if (SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(path.c_str()),
                                  SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
            return;
        // A refused picture (missing, not a bitmap the desktop can show) used
        // to pass unnoticed and the rotation moved on as if it had been shown.
        std::string message = "Cannot set \"" + path + "\" as the desktop wallpaper.";
        if (const std::string reason = win::win32ErrorText(GetLastError()); !reason.empty())
            message += " " + reason;
        throw Error(message);
    }

    int colourDepth() override
    {
        const HDC screen = GetDC(nullptr);
        if (!screen)
            return 24;
        const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        return bits > 0 ? bits : 24;
    }
};

} // namespace

std::unique_ptr<Wallpaper> makeSystemWallpaper(Store&)
{
    return std::make_unique<SystemWallpaper>();
}

} // namespace plimbury
