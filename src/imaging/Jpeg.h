#pragma once
// JPEG decoding through the libjpeg API, row by row into a sink.
// Errors: Error("Cannot open file \"<path>\". <system text>") and
// Error("JPEG error #<libjpeg message code>"); libjpeg warnings (a truncated
// file, say) count as errors.

#include <cstdint>
#include <string>

namespace plimbury {

// Receives decoded rows, top to bottom, 3 bytes per pixel in R, G, B order.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void start(int width, int height) = 0;
    virtual void putRows(const std::uint8_t* const* rows, int count) = 0;
    virtual void finish() = 0;
};

struct DecodeOptions {
    // Decode at the smallest libjpeg DCT scale whose output, as shown (EXIF
    // orientation applied), still covers minWidth x minHeight; never enlarged.
    // A bound of 0 does not constrain; both 0 = full size.
    int minWidth = 0;
    int minHeight = 0;
    // Apply the EXIF orientation so the picture stands as the camera meant it.
    bool applyExifOrientation = true;
};

// Decodes a few rows at a time into the sink; grey, CMYK and YCCK files come
// out as RGB too. A picture turned upside down or on its side by its EXIF
// orientation is turned in memory before the first row goes out. finish() is
// called only once the whole file has been read without error; after an
// error the sink sees no further call.
void decodeJpegFile(const std::string& path, RowSink& sink, const DecodeOptions& options = {});

enum class BmpColours {
    TrueColour,   // 24 bits a pixel
    Palette,      // 8 bits a pixel: a colour cube of 252 entries, error diffusion
};

// Converts a JPEG file at full size, EXIF orientation applied, into an
// uncompressed 24-bit BMP at bmpPath (or 8-bit with a palette, for displays
// of 256 colours or fewer), replacing it atomically. Memory stays a few MiB
// whatever the size (about 12 MiB for pictures on their side; a picture
// turned upside down or on its side is held whole for the 8-bit form).
// Besides the decode errors: Error("Cannot create file \"<bmpPath>\". <system
// text>"), also when a write or the final replacement fails, and
// Error("The picture (<w> x <h>) is too large for a bitmap file") for
// pictures whose BMP would not fit the format's 32-bit sizes (nothing is
// written then).
void convertJpegToBmp(const std::string& jpegPath, const std::string& bmpPath,
                      BmpColours colours = BmpColours::TrueColour);

} // namespace plimbury
