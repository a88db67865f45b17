#include "desktop/posix/Composed.h"

#include "desktop/DesktopFiles.h"
#include "imaging/Compose.h"
#include "platform/FilePath.h"

#include <filesystem>

namespace plimbury::desktop {

std::string composedWallpaper(const ScreenMonitors& screen, const std::vector<std::string>& paths,
                              const PictureLayout& layout, const std::string& folder)
{
    std::vector<PixelRect> areas;
    for (const MonitorArea& monitor : screen.monitors)
        areas.push_back(monitor.area);
    std::error_code ignored;
    std::filesystem::create_directories(fsPath(folder), ignored);
    // Written under a name of its own, then handed out under a fresh one: the
    // name the desktop shows keeps its pixels while the next one is composed.
    const std::string composed = pathText(fsPath(folder) / "composed.bmp");
    composePictures(screen.width, screen.height, areas, paths, layout, composed);
    return freshWallpaperPath(composed, folder);
}

} // namespace plimbury::desktop
