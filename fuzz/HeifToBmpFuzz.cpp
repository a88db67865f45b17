// The wallpaper conversion of any file named .heic (checkPictureConversion in
// FuzzSupport.h): HEIC and AVIF alike. The size as shown comes from boxes
// deep in the container and the primary item's transformations, so it is
// not read here: the bitmap and the preview's full-size load must agree on
// it. Not on every pixel: libheif leaves the part of a damaged grid picture
// that no tile decodes as whatever its memory held (seen by the fuzzer: two
// decodes of one file differed, in one process only), which no caller of
// libheif can clear.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::checkPictureConversion("heif", "picture.heic", plimbury::PictureFormat::Heif, true,
                                           std::string_view(reinterpret_cast<const char*>(data), size), nullptr,
                                           false);
    return 0;
}
