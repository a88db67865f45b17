#pragma once
// Which kind of picture a file holds, told by its first bytes (its signature),
// never by its name: a JPEG named ".jfif" or ".JPE" is a JPEG, a PNG named
// ".jpg" is a PNG.

#include <cstddef>
#include <cstdint>
#include <string>

namespace plimbury {

enum class PictureFormat {
    Unknown,
    Jpeg,
    Bmp,
    Png,
    Gif,
    WebP,
    Tiff,
    Heif,   // HEIC, HEIF and AVIF: one ISO base media container, one decoder
};

// Bytes of a file's start that sniffFormat() looks at; fewer is fine.
constexpr std::size_t kSignatureBytes = 64;

// The format whose signature `head` (the file's first `size` bytes) starts
// with; Unknown for anything else. Any bytes are safe to pass.
PictureFormat sniffFormat(const std::uint8_t* head, std::size_t size);

// Reads the file's first bytes and sniffs them. Throws Error("Cannot open
// file \"<path>\". <system text>") when it cannot be opened (a folder too).
PictureFormat pictureFormatOf(const std::string& path);

// The file-name patterns a picture picker offers, ";" between them: every
// name these formats usually carry (matched without regard to case).
inline constexpr const char* kPictureFilePatterns =
    "*.jpg;*.jpeg;*.jpe;*.jfif;*.png;*.webp;*.gif;*.tif;*.tiff;*.heic;*.heif;*.avif;*.bmp";

// The format's usual name for texts: "JPEG", "PNG", "HEIF", ...
const char* formatName(PictureFormat format);

} // namespace plimbury
