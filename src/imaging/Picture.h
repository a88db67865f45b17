#pragma once
// A decoded picture in memory (for the preview), and loading one by extension.

#include "imaging/Jpeg.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plimbury {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;   // width * height * 3 bytes, top row first
};

// Decodes a JPEG file into memory: scaled as options ask, EXIF orientation
// applied unless switched off. The errors of decodeJpegFile().
Picture decodeJpegPicture(const std::string& path, const DecodeOptions& options = {});

// Reads a Windows bitmap file: uncompressed 24 and 32 bits per pixel, 8, 4 and
// 1 bits with a palette, stored bottom-up or top-down. Error("Bitmap image is
// not valid") for anything else and for damaged files (pictures of more than
// 2^28 pixels included); Error("Cannot open file ...") when it cannot be opened.
Picture readBmpFile(const std::string& path);
// The same, row by row into `sink`, top row first, holding one row.
void decodeBmpFile(const std::string& path, RowSink& sink);

// Loads a picture for display, choosing the decoder by the file's content
// (see Decoders.h). A JPEG is scaled down by libjpeg as far as it still covers
// minWidth x minHeight; the other formats are decoded row by row (where the
// format allows) and averaged down by powers of two as far as they still
// cover it, so that only the smaller picture is held. A bound of 0 does not constrain. Orientation
// applied. The errors of decodePicture() and readBmpFile().
Picture loadPicture(const std::string& path, int minWidth = 0, int minHeight = 0);

} // namespace plimbury
