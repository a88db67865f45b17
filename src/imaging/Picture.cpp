#include "imaging/Picture.h"

#include "platform/AsciiCase.h"
#include "platform/Error.h"

namespace plimbury {

namespace {

// The text after the last period of the file name (not of a folder), "" when there is none.
std::string extensionOf(const std::string& path)
{
#ifdef _WIN32
    const auto nameStart = path.find_last_of("\\/:");
#else
    const auto nameStart = path.rfind('/');
#endif
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart))
        return {};
    return path.substr(dot + 1);
}

} // namespace

Picture loadPicture(const std::string& path, int minWidth, int minHeight)
{
    const std::string extension = extensionOf(path);
    const std::string lower = asciiLower(extension);
    if (lower == "jpg" || lower == "jpeg") {
        DecodeOptions options;
        options.minWidth = minWidth;
        options.minHeight = minHeight;
        return decodeJpegPicture(path, options);
    }
    if (lower == "bmp")
        return readBmpFile(path);
    throw Error("Unknown picture file extension (." + extension + ")");
}

} // namespace plimbury
