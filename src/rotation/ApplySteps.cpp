#include "rotation/ApplySteps.h"

#include "desktop/ScreenSaverSelection.h"
#include "desktop/Wallpaper.h"
#include "imaging/Decoders.h"
#include "imaging/PictureFormat.h"
#include "platform/Error.h"
#include "platform/FilePath.h"
#include "platform/Store.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plimbury {

namespace {

std::unique_ptr<StoreKey> openDesktopKey(Store& store)
{
    std::unique_ptr<StoreKey> key = store.openKey(Root::CurrentUser, kDesktopKey);
    if (!key)
        throw Error("Failed to create key Desktop");
    return key;
}

// The values Windows reads for each way a picture meets the screen.
void writeDesktopStyle(Store& store, FitMode fit)
{
    const char* style = "2";
    switch (fit) {
    case FitMode::Stretch: style = "2"; break;
    case FitMode::Fill: style = "10"; break;
    case FitMode::Fit: style = "6"; break;
    case FitMode::Center:
    case FitMode::Tile: style = "0"; break;
    }
    const std::unique_ptr<StoreKey> key = openDesktopKey(store);
    key->write("TileWallPaper", fit == FitMode::Tile ? "1" : "0");
    key->write("WallPaperStyle", style);
}

// The file the desktop is handed for `entry`: a bitmap entry itself, any
// other picture converted to `bitmapPath`.
std::string desktopPicture(const std::string& entry, Wallpaper& wallpaper, const std::string& bitmapPath)
{
    // The content decides, not the name: a desktop handed a format it cannot
    // show may drop it without a word, and the show would seem to go on.
    const PictureFormat format = pictureFormatOf(entry);
    if (format == PictureFormat::Bmp)
        return entry;
    if (!canDecode(format))
        throw Error(notAPictureText(entry));
    // A display of 256 colours or fewer gets the picture with a palette.
    const bool fewColours = wallpaper.colourDepth() <= 8;
    convertPictureToBmp(entry, bitmapPath, fewColours ? BmpColours::Palette : BmpColours::TrueColour);
    return bitmapPath;
}

// The style values, then the hand-over, then the style's failure.
void handOver(Store& store, FitMode fit, const std::function<void()>& show)
{
    std::exception_ptr styleFailure;
    try {
        writeDesktopStyle(store, fit);
    } catch (const Error&) {
        styleFailure = std::current_exception();
    }
    show();
    if (styleFailure)
        std::rethrow_exception(styleFailure);
}

} // namespace

std::string wallpaperBitmapPath(const std::string& dataFolder)
{
    return pathText(fsPath(dataFolder) / kWallpaperBitmapName);
}

void applyWallpaper(const std::string& entry, Store& store, Wallpaper& wallpaper,
                    const std::string& bitmapPath, FitMode fit)
{
    const std::string picture = desktopPicture(entry, wallpaper, bitmapPath);
    handOver(store, fit, [&] { wallpaper.setDesktopWallpaper(picture); });
}

std::string monitorBitmapPath(const std::string& dataFolder, std::size_t monitor)
{
    return pathText(fsPath(dataFolder) / ("lumavue-monitor" + std::to_string(monitor + 1) + ".bmp"));
}

void applyWallpapers(const std::vector<std::string>& entries, Store& store, Wallpaper& wallpaper,
                     const std::string& dataFolder, FitMode fit)
{
    std::vector<std::string> pictures;
    for (std::size_t i = 0; i < entries.size(); ++i)
        pictures.push_back(desktopPicture(entries[i], wallpaper, monitorBitmapPath(dataFolder, i)));
    handOver(store, fit, [&] { wallpaper.setDesktopWallpapers(pictures); });
}

void applyScreensaver(const std::string& entry, Store& store, ScreenSaverSelector* selector)
{
    openDesktopKey(store)->write("SCRNSAVE.EXE", entry);
    if (selector)
        selector->select(entry);
}

} // namespace plimbury
