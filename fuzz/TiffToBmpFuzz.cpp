// The wallpaper conversion of any file named .tif (checkPictureConversion in
// FuzzSupport.h). The size is in the first page's directory, whose place
// follows the byte order and the magic number: tags 256 (width) and 257
// (length), each one value of an integer type. An orientation tag may turn the picture.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace {

using plimbury::fuzz::PictureSize;

std::optional<PictureSize> firstPageSize(std::string_view tiff)
{
    if (tiff.size() < 8)
        return std::nullopt;
    const bool little = tiff[0] == 'I';
    const auto u16 = [&](std::size_t at) {
        return little ? plimbury::fuzz::littleEndian16(tiff, at) : plimbury::fuzz::bigEndian16(tiff, at);
    };
    const auto u32 = [&](std::size_t at) {
        return little ? plimbury::fuzz::littleEndian32(tiff, at) : plimbury::fuzz::bigEndian32(tiff, at);
    };
    const std::uint64_t directory = u32(4);
    if (directory + 2 > tiff.size())
        return std::nullopt;
    const std::uint32_t entries = u16(directory);
    std::optional<std::uint32_t> width;
    std::optional<std::uint32_t> length;
    // Entries of 12 bytes: tag, type, count, and a value that fits 4 bytes.
    for (std::uint64_t at = directory + 2; at + 12 <= tiff.size() && at < directory + 2 + 12 * entries; at += 12) {
        const std::uint32_t tag = u16(at);
        const std::uint32_t type = u16(at + 2);
        // Any integer type of a single value: libtiff reads a BYTE or a
        // signed type as readily as a SHORT or a LONG.
        if ((tag != 256 && tag != 257) || u32(at + 4) != 1)
            continue;
        std::uint32_t value = 0;
        if (type == 1 || type == 6)
            value = static_cast<std::uint8_t>(tiff[at + 8]);
        else if (type == 3 || type == 8)
            value = u16(at + 8);
        else if (type == 4 || type == 9)
            value = u32(at + 8);
        else
            continue;
        // libtiff keeps the first of a repeated tag.
        std::optional<std::uint32_t>& side = tag == 256 ? width : length;
        if (!side)
            side = value;
    }
    if (!width || !length)
        return std::nullopt;
    return PictureSize {*width, *length};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::checkPictureConversion("tiff", "picture.tif", plimbury::PictureFormat::Tiff, true,
                                           std::string_view(reinterpret_cast<const char*>(data), size),
                                           firstPageSize);
    return 0;
}
