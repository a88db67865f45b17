#pragma once
// JPEG files made by libjpeg's own compressor, for tests and benchmarks that
// need sample pictures written independently of the code under test.

#include "imaging/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plimbury::test {

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    bool grayscale = false;
    int lumaH = 2;             // luma sampling factors: 2 x 2 is 4:2:0, 1 x 1 is 4:4:4
    int lumaV = 2;
    int orientation = 0;       // EXIF orientation tag to write; 0 writes none
    bool bigEndianExif = false;
};
std::string encodeJpeg(const Picture& picture, const JpegOptions& options = {});

// encodeJpeg() into a file; throws std::runtime_error when it cannot be written.
void writeJpegFile(const std::string& path, const Picture& picture, const JpegOptions& options = {});

// A small grey bitmap at `path`, made by the program's own converter: a
// picture every desktop backend takes as it is.
void writeGreyBitmap(const std::string& path);

// A 4 x 4 bitmap of one colour at `path`, written by the program's own writer.
void writeSolidBitmap(const std::string& path, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// CMYK samples (4 bytes a pixel) stored as CMYK or YCCK, with or without Adobe's marker.
std::string encodeCmykJpeg(const std::vector<std::uint8_t>& cmyk, int width, int height, bool ycck, bool adobeMarker);

// APP1 payload "Exif\0\0" + TIFF with IFD0 holding the orientation tag.
std::string exifPayload(int orientation, bool bigEndian);

} // namespace plimbury::test
