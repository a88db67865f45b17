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

void writeDesktopStyle(Store& store)
{
    const std::unique_ptr<StoreKey> key = openDesktopKey(store);
    key->write("TileWallPaper", "0");
    key->write("WallPaperStyle", "2");
}

} // namespace

std::string wallpaperBitmapPath(const std::string& dataFolder)
{
    return pathText(fsPath(dataFolder) / kWallpaperBitmapName);
}

void applyWallpaper(const std::string& entry, Store& store, Wallpaper& wallpaper,
                    const std::string& bitmapPath)
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
        writeDesktopStyle(store);
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
