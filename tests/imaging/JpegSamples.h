#pragma once
// Sample pictures for the imaging tests, made and decoded by libjpeg directly,
// so expectations never come from the code under test.

#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plimbury::test {

// Every pixel different from its mirror images, so any wrong flip shows.
Picture pattern(int width, int height);

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

// CMYK samples (4 bytes a pixel) stored as CMYK or YCCK, with or without Adobe's marker.
std::string encodeCmykJpeg(const std::vector<std::uint8_t>& cmyk, int width, int height, bool ycck, bool adobeMarker);

// libjpeg's own decode with its defaults at scale eighths/8, grey widened to RGB.
Picture referenceDecode(const std::string& jpeg, int eighths = 8);
// The raw 4-channel samples of a CMYK or YCCK file.
std::vector<std::uint8_t> referenceDecodeCmyk(const std::string& jpeg);

// APP1 payload "Exif\0\0" + TIFF with IFD0 holding the orientation tag.
std::string exifPayload(int orientation, bool bigEndian);

// A bitmap as our writer must make it: 54-byte header, 24 bits, bottom-up,
// zero padding. Fails the test (and returns an empty picture) otherwise.
Picture parseWrittenBmp(const std::string& bytes);

// The picture as EXIF orientation 1..8 says it is to be shown, built from
// mirror and transpose steps.
Picture oriented(const Picture& stored, int orientation);

// Same size and every pixel equal; names the first pixel that differs.
::testing::AssertionResult samePicture(const Picture& expected, const Picture& actual);

} // namespace plimbury::test
