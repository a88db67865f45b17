// The wallpaper conversion of any file named .gif (checkPictureConversion in
// FuzzSupport.h). The bitmap is the GIF's logical screen, whose size follows
// the signature, whatever the size and place of the first frame on it.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace {

using plimbury::fuzz::PictureSize;

std::optional<PictureSize> screenSize(std::string_view gif)
{
    if (gif.size() < 10)
        return std::nullopt;
    return PictureSize {plimbury::fuzz::littleEndian16(gif, 6), plimbury::fuzz::littleEndian16(gif, 8)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::checkPictureConversion("gif", "picture.gif", plimbury::PictureFormat::Gif, false,
                                           std::string_view(reinterpret_cast<const char*>(data), size), screenSize);
    return 0;
}
