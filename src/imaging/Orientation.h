#pragma once
// EXIF orientation: reading it from an APP1 "Exif" marker and placing decoded
// rows where the oriented picture has them. Orientation values are EXIF's:
// 1 as stored, 2 mirrored left-right, 3 turned 180 degrees, 4 mirrored top-bottom,
// 5 transposed, 6 turned 90 degrees clockwise, 7 transversed, 8 turned 90
// degrees anticlockwise. The pixel helpers work on 3-byte pixels of any
// channel order.

#include <cstddef>
#include <cstdint>

namespace plimbury {

// The orientation tag (0x0112) of IFD0 in the payload of an APP1 marker
// ("Exif\0\0" followed by a TIFF structure, either byte order). 1 when the
// payload is not EXIF, has no such tag or holds a value outside 1..8. Every
// offset is checked against `size`, so any bytes are safe to pass.
int exifOrientation(const std::uint8_t* payload, std::size_t size);

// The same tag read from a bare TIFF structure ("II" or "MM" first), as PNG's
// eXIf chunk holds it.
int tiffOrientation(const std::uint8_t* tiff, std::size_t size);

// EXIF blocks as the containers store them: with the "Exif\0\0" header
// (WebP writers differ) or bare. 1 when neither.
int anyExifOrientation(const std::uint8_t* data, std::size_t size);

// Orientations 5..8 exchange width and height.
constexpr bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }
// Orientations 2 and 3 reverse the pixels of each row.
constexpr bool mirrorsRows(int orientation) { return orientation == 2 || orientation == 3; }
// Orientations 3 and 4 put the first stored row last.
constexpr bool reversesRowOrder(int orientation) { return orientation == 3 || orientation == 4; }

void reversePixels(std::uint8_t* row, int width);

// For orientations 5..8: copies `count` stored rows, the first of them stored
// row `firstRow` of a storedWidth x storedHeight picture, to their places in
// the oriented picture (storedHeight wide, storedWidth high). The oriented
// pixel (x, y) is at dest + y * destRowStride + (x - destFirstColumn) * 3;
// the band fills oriented columns orientedColumns(...) only.
void placeTransposed(int orientation, const std::uint8_t* const* rows, int count, int firstRow,
                     int storedWidth, int storedHeight, std::uint8_t* dest, std::ptrdiff_t destRowStride,
                     int destFirstColumn);

// The first oriented column a band of `count` stored rows from `firstRow` fills
// (orientations 5..8); it fills `count` columns from there.
int firstOrientedColumn(int orientation, int firstRow, int count, int storedHeight);

} // namespace plimbury
