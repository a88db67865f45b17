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
    // Decode at the smallest libjpeg DCT scale whose output still covers
    // minWidth x minHeight (0 = full size).
    int minWidth = 0;
    int minHeight = 0;
    // Apply the EXIF orientation so the picture stands as the camera meant it.
    bool applyExifOrientation = true;
};

void decodeJpegFile(const std::string& path, RowSink& sink, const DecodeOptions& options = {});

// Converts a JPEG file at full size into an uncompressed 24-bit BMP at bmpPath,
// replacing it atomically. Besides the decode errors: Error("Cannot create
// file \"<bmpPath>\". <system text>") and a clear error for pictures whose BMP
// would not fit the format's 32-bit sizes (nothing is written then).
void convertJpegToBmp(const std::string& jpegPath, const std::string& bmpPath);

} // namespace plimbury
