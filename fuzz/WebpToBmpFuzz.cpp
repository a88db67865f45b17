// The wallpaper conversion of any file named .webp (checkPictureConversion in
// FuzzSupport.h). The size is in the RIFF container's first chunk: the
// canvas of an extended file (VP8X), else the frame header of a lossy (VP8)
// or lossless (VP8L) picture, which may also follow "WEBP" bare. An EXIF
// orientation may turn the picture.

#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace {

using plimbury::fuzz::PictureSize;

// The size in a lossy (VP8) or lossless (VP8L) bitstream's header at `at`.
std::optional<PictureSize> bitstreamSize(std::string_view webp, std::size_t at)
{
    using plimbury::fuzz::byteAt;
    using plimbury::fuzz::littleEndian16;
    using plimbury::fuzz::littleEndian32;
    if (webp.size() < at + 10)
        return std::nullopt;
    if (webp.substr(at + 3, 3) == "\x9D\x01\x2A") {
        // A 3-byte frame tag and the start code; each side in 14 bits, two of scale above.
        return PictureSize {littleEndian16(webp, at + 6) & 0x3FFF, littleEndian16(webp, at + 8) & 0x3FFF};
    }
    if (byteAt(webp, at) == 0x2F) {
        // The signature byte, then width - 1 and height - 1 in 14 bits each.
        const std::uint32_t bits = littleEndian32(webp, at + 1);
        return PictureSize {(bits & 0x3FFF) + 1, (bits >> 14 & 0x3FFF) + 1};
    }
    return std::nullopt;
}

std::optional<PictureSize> firstChunkSize(std::string_view webp)
{
    // "RIFF", its size, "WEBP", then the chunk's type, size and data.
    constexpr std::size_t chunk = 12;
    constexpr std::size_t data = 20;
    if (webp.size() < data)
        return std::nullopt;
    const std::string_view type = webp.substr(chunk, 4);
    if (type == "VP8X") {
        if (webp.size() < data + 10)
            return std::nullopt;
        // Flags (4 bytes), then width - 1 and height - 1 in 24 bits each.
        const auto u24 = [&](std::size_t at) {
            return plimbury::fuzz::littleEndian16(webp, at) | plimbury::fuzz::byteAt(webp, at + 2) << 16;
        };
        return PictureSize {u24(data + 4) + 1, u24(data + 7) + 1};
    }
    if (type == "VP8 " || type == "VP8L")
        return bitstreamSize(webp, data);
    // libwebp also takes a bitstream right after "WEBP", without a chunk header.
    return bitstreamSize(webp, chunk);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::checkPictureConversion("webp", "picture.webp", plimbury::PictureFormat::WebP, true,
                                           std::string_view(reinterpret_cast<const char*>(data), size),
                                           firstChunkSize);
    return 0;
}
