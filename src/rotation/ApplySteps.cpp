#include "rotation/ApplySteps.h"

#include "desktop/ScreenSaverSelection.h"
#include "desktop/Wallpaper.h"
#include "imaging/Jpeg.h"
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

std::string upperExtension(std::string_view entry)
{
    // Both separators: entries may be written for either system.
    const std::size_t nameStart = entry.find_last_of("/\\");
    const std::string_view name = nameStart == std::string_view::npos ? entry : entry.substr(nameStart + 1);
    const std::size_t period = name.rfind('.');
    if (period == std::string_view::npos)
        return {};
    std::string extension(name.substr(period));
    for (char& c : extension) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return extension;
}

void applyWallpaper(const std::string& entry, Store& store, Wallpaper& wallpaper,
                    const std::string& bitmapPath)
{
    const std::string extension = upperExtension(entry);
    const bool jpeg = extension == ".JPG" || extension == ".JPEG";
    if (jpeg) {
        // A display of 256 colours or fewer gets the picture with a palette.
        const bool fewColours = wallpaper.colourDepth() <= 8;
        convertJpegToBmp(entry, bitmapPath, fewColours ? BmpColours::Palette : BmpColours::TrueColour);
    }

    std::exception_ptr styleFailure;
    try {
        writeDesktopStyle(store);
    } catch (const Error&) {
        styleFailure = std::current_exception();
    }
    wallpaper.setDesktopWallpaper(jpeg ? bitmapPath : entry);
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
