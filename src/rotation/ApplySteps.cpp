#include "rotation/ApplySteps.h"

#include "desktop/ScreenSaverSelection.h"
#include "desktop/Wallpaper.h"
#include "imaging/Decoders.h"
#include "imaging/PictureFormat.h"
#include "platform/Error.h"
#include "platform/FilePath.h"
#include "platform/Store.h"

#include <exception>
#include <memory>

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

} // namespace

std::string wallpaperBitmapPath(const std::string& dataFolder)
{
    return pathText(fsPath(dataFolder) / kWallpaperBitmapName);
}

void applyWallpaper(const std::string& entry, Store& store, Wallpaper& wallpaper,
                    const std::string& bitmapPath, FitMode fit)
{
    // The content decides, not the name: a desktop handed a format it cannot
    // show may drop it without a word, and the show would seem to go on.
    const PictureFormat format = pictureFormatOf(entry);
    const bool convert = format != PictureFormat::Bmp;
    if (convert) {
        if (!canDecode(format))
            throw Error(notAPictureText(entry));
        // A display of 256 colours or fewer gets the picture with a palette.
        const bool fewColours = wallpaper.colourDepth() <= 8;
        convertPictureToBmp(entry, bitmapPath, fewColours ? BmpColours::Palette : BmpColours::TrueColour);
    }

    std::exception_ptr styleFailure;
    try {
        writeDesktopStyle(store, fit);
    } catch (const Error&) {
        styleFailure = std::current_exception();
    }
    wallpaper.setDesktopWallpaper(convert ? bitmapPath : entry);
    if (styleFailure)
        std::rethrow_exception(styleFailure);
}

void applyScreensaver(const std::string& entry, Store& store, ScreenSaverSelector* selector)
{
    openDesktopKey(store)->write("SCRNSAVE.EXE", entry);
    if (selector)
        selector->select(entry);
}

} // namespace plimbury
