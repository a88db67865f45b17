// The wallpaper conversion of any file named .png (checkPictureConversion in
// FuzzSupport.h). A PNG's size is in its first chunk, IHDR, which must
// follow the signature; an EXIF orientation (eXIf) may turn the picture.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace {

using plimbury::fuzz::PictureSize;

std::optional<PictureSize> ihdrSize(std::string_view png)
{
    // Signature (8), then the chunk's length (4), its type, width and height.
    if (png.size() < 24 || png.substr(12, 4) != "IHDR")
        return std::nullopt;
    return PictureSize {plimbury::fuzz::bigEndian32(png, 16), plimbury::fuzz::bigEndian32(png, 20)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::checkPictureConversion("png", "picture.png", plimbury::PictureFormat::Png, true,
                                           std::string_view(reinterpret_cast<const char*>(data), size), ihdrSize);
    return 0;
}
