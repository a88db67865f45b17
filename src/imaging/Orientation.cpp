#include "imaging/Orientation.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace plimbury {

namespace {

constexpr std::uint16_t orientationTag = 0x0112;
constexpr std::uint16_t typeShort = 3;

class TiffReader {
public:
    TiffReader(const std::uint8_t* data, std::size_t size, bool bigEndian)
        : m_data(data), m_size(size), m_bigEndian(bigEndian) {}

    bool has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }
    // Callers check has() first.
    std::uint16_t u16(std::uint64_t offset) const
    {
        const std::uint8_t* p = m_data + offset;
        return static_cast<std::uint16_t>(m_bigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
    }
    std::uint32_t u32(std::uint64_t offset) const
    {
        const std::uint32_t a = u16(offset);
        const std::uint32_t b = u16(offset + 2);
        return m_bigEndian ? (a << 16) | b : (b << 16) | a;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_bigEndian;
};

} // namespace

int exifOrientation(const std::uint8_t* payload, std::size_t size)
{
    static constexpr char signature[] = {'E', 'x', 'i', 'f', 0, 0};
    if (!payload || size < sizeof signature + 8 || std::memcmp(payload, signature, sizeof signature) != 0)
        return 1;
    return tiffOrientation(payload + sizeof signature, size - sizeof signature);
}

int tiffOrientation(const std::uint8_t* tiff, std::size_t size)
{
    if (!tiff || size < 8)
        return 1;
    bool bigEndian = false;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else if (!(tiff[0] == 'I' && tiff[1] == 'I'))
        return 1;
    const TiffReader r(tiff, size, bigEndian);
    if (r.u16(2) != 42)
        return 1;
    const std::uint64_t ifd = r.u32(4);
    if (!r.has(ifd, 2))
        return 1;
    const unsigned entries = r.u16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const std::uint64_t entry = ifd + 2 + 12ull * i;
        if (!r.has(entry, 12))
            return 1;
        if (r.u16(entry) != orientationTag)
            continue;
        if (r.u16(entry + 2) != typeShort || r.u32(entry + 4) < 1)
            return 1;
        const int value = r.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int anyExifOrientation(const std::uint8_t* data, std::size_t size)
{
    if (size >= 6 && data && std::memcmp(data, "Exif\0\0", 6) == 0)
        return exifOrientation(data, size);
    return tiffOrientation(data, size);
}

void reversePixels(std::uint8_t* row, int width)
{
    std::uint8_t* left = row;
    std::uint8_t* right = row + 3 * static_cast<std::ptrdiff_t>(width - 1);
    while (left < right) {
        std::swap_ranges(left, left + 3, right);
        left += 3;
        right -= 3;
    }
}

int firstOrientedColumn(int orientation, int firstRow, int count, int storedHeight)
{
    // 5 and 8 keep the stored rows' order across the columns; 6 and 7 reverse it.
    return (orientation == 5 || orientation == 8) ? firstRow : storedHeight - firstRow - count;
}

void placeTransposed(int orientation, const std::uint8_t* const* rows, int count, int firstRow,
                     int storedWidth, int storedHeight, std::uint8_t* dest, std::ptrdiff_t destRowStride,
                     int destFirstColumn)
{
    // Stored pixel (sx, sy) goes to oriented column x = sy (5, 8) or storedHeight-1-sy (6, 7),
    // oriented row y = sx (5, 6) or storedWidth-1-sx (7, 8).
    const bool columnsReversed = orientation == 6 || orientation == 7;
    const bool rowsReversed = orientation == 7 || orientation == 8;
    const int firstColumn = columnsReversed ? storedHeight - 1 - firstRow : firstRow;
    const std::ptrdiff_t step = columnsReversed ? -3 : 3;
    // A local copy: stores through byte pointers could otherwise change the
    // caller's row pointers, as far as the compiler knows, and force reloads.
    std::vector<const std::uint8_t*> from(rows, rows + count);
    // Oriented row by oriented row, so each run of writes is `count` pixels long.
    for (int sx = 0; sx < storedWidth; ++sx) {
        const int y = rowsReversed ? storedWidth - 1 - sx : sx;
        std::uint8_t* to = dest + y * destRowStride + 3 * static_cast<std::ptrdiff_t>(firstColumn - destFirstColumn);
        const std::size_t offset = 3 * static_cast<std::size_t>(sx);
        for (int i = 0; i < count; ++i, to += step)
            std::memcpy(to, from[static_cast<std::size_t>(i)] + offset, 3);
    }
}

} // namespace plimbury
