#pragma once
// Sample pictures for the imaging tests, made and decoded by libjpeg directly,
// so expectations never come from the code under test.

#include "imaging/Picture.h"
#include "support/JpegEncode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plimbury::test {

// Every pixel different from its mirror images, so any wrong flip shows.
Picture pattern(int width, int height);

// libjpeg's own decode with its defaults at scale eighths/8, grey widened to RGB.
Picture referenceDecode(const std::string& jpeg, int eighths = 8);
// The raw 4-channel samples of a CMYK or YCCK file.
std::vector<std::uint8_t> referenceDecodeCmyk(const std::string& jpeg);

// A bitmap as our writer must make it: 54-byte header, 24 bits, bottom-up,
// zero padding. Fails the test (and returns an empty picture) otherwise.
Picture parseWrittenBmp(const std::string& bytes);

// The picture as EXIF orientation 1..8 says it is to be shown, built from
// mirror and transpose steps.
Picture oriented(const Picture& stored, int orientation);

// Same size and every pixel equal; names the first pixel that differs.
::testing::AssertionResult samePicture(const Picture& expected, const Picture& actual);

} // namespace plimbury::test
