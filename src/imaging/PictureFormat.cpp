#include "imaging/PictureFormat.h"

#include "imaging/InputFile.h"

#include <array>
#include <cstring>
#include <string_view>

namespace plimbury {

namespace {

bool startsWith(const std::uint8_t* head, std::size_t size, std::size_t at, std::string_view bytes)
{
    return size >= at + bytes.size() && std::memcmp(head + at, bytes.data(), bytes.size()) == 0;
}

// An ISO base media file opens with its 'ftyp' box: size, "ftyp", the major
// brand, a minor version, then compatible brands to the box's end. Phones
// write "heic" or "mif1" as the major brand, AVIF encoders "avif" or "avis",
// and some put the brand we know only among the compatible ones.
bool isHeifContainer(const std::uint8_t* head, std::size_t size)
{
    if (!startsWith(head, size, 4, "ftyp") || size < 16)
        return false;
    const std::uint32_t boxSize = (std::uint32_t {head[0]} << 24) | (std::uint32_t {head[1]} << 16) |
                                  (std::uint32_t {head[2]} << 8) | std::uint32_t {head[3]};
    if (boxSize < 16)
        return false;
    const std::size_t end = boxSize < size ? boxSize : size;
    static constexpr std::array<std::string_view, 12> brands = {
        "heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1", "avif", "avis",
    };
    for (std::size_t at = 8; at + 4 <= end; at += 4) {
        if (at == 12)
            continue;   // the minor version, not a brand
        for (std::string_view brand : brands) {
            if (startsWith(head, end, at, brand))
                return true;
        }
    }
    return false;
}

} // namespace

PictureFormat sniffFormat(const std::uint8_t* head, std::size_t size)
{
    if (!head)
        return PictureFormat::Unknown;
    if (startsWith(head, size, 0, "\xFF\xD8\xFF"))
        return PictureFormat::Jpeg;
    if (startsWith(head, size, 0, "\x89PNG\r\n\x1A\n"))
        return PictureFormat::Png;
    if (startsWith(head, size, 0, "GIF87a") || startsWith(head, size, 0, "GIF89a"))
        return PictureFormat::Gif;
    if (startsWith(head, size, 0, "RIFF") && startsWith(head, size, 8, "WEBP"))
        return PictureFormat::WebP;
    if (startsWith(head, size, 0, std::string_view("II*\0", 4)) || startsWith(head, size, 0, std::string_view("MM\0*", 4)))
        return PictureFormat::Tiff;
    if (isHeifContainer(head, size))
        return PictureFormat::Heif;
    // "BM" alone is two common letters: the header's size field must be one
    // of the bitmap headers' sizes too.
    if (startsWith(head, size, 0, "BM") && size >= 18) {
        const std::uint32_t headerSize = std::uint32_t {head[14]} | (std::uint32_t {head[15]} << 8) |
                                         (std::uint32_t {head[16]} << 16) | (std::uint32_t {head[17]} << 24);
        if (headerSize == 12 || headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
            headerSize == 108 || headerSize == 124)
            return PictureFormat::Bmp;
    }
    return PictureFormat::Unknown;
}

PictureFormat pictureFormatOf(const std::string& path)
{
    const InputFile file = openInputFile(path);
    std::array<std::uint8_t, kSignatureBytes> head {};
    const std::size_t n = std::fread(head.data(), 1, head.size(), file.get());
    return sniffFormat(head.data(), n);
}

const char* formatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Gif: return "GIF";
    case PictureFormat::WebP: return "WebP";
    case PictureFormat::Tiff: return "TIFF";
    case PictureFormat::Heif: return "HEIF";
    case PictureFormat::Unknown: break;
    }
    return "unknown";
}

} // namespace plimbury
