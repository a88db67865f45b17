#include "imaging/Decoding.h"

#include "imaging/Orientation.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstring>

namespace plimbury {

void throwDecodeError(PictureFormat format, const std::string& path, std::string_view detail)
{
    throw Error(std::string(formatName(format)) + " error in \"" + path + "\": " + std::string(detail));
}

void requirePictureSize(PictureFormat format, const std::string& path, std::uint64_t width, std::uint64_t height)
{
    if (width == 0 || height == 0)
        throwDecodeError(format, path, "the picture has no pixels");
    // Each side is checked first, so the product cannot overflow.
    if (width > kMaxPicturePixels || height > kMaxPicturePixels || width * height > kMaxPicturePixels)
        throw Error("The picture \"" + path + "\" (" + std::to_string(width) + " x " + std::to_string(height) +
                    ") is too large");
}

void composeOverBlack(const std::uint8_t* rgba, std::uint8_t* rgb, int width)
{
    for (int x = 0; x < width; ++x, rgba += 4, rgb += 3) {
        const unsigned a = rgba[3];
        // (v + 128 + ((v + 128) >> 8)) >> 8 is v / 255 rounded, for v up to 255 * 255.
        for (int c = 0; c < 3; ++c) {
            const unsigned v = rgba[c] * a + 128;
            rgb[c] = static_cast<std::uint8_t>((v + (v >> 8)) >> 8);
        }
    }
}

OrientingSink::OrientingSink(RowSink& target, int orientation)
    : m_target(target), m_orientation(orientation >= 1 && orientation <= 8 ? orientation : 1)
{
}

void OrientingSink::start(int width, int height)
{
    m_width = width;
    m_height = height;
    m_nextRow = 0;
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    if (m_orientation == 1) {
        m_target.start(width, height);
    } else if (m_orientation == 2) {
        m_row.resize(stride);
        m_target.start(width, height);
    } else {
        if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPicturePixels)
            throw Error("The picture (" + std::to_string(width) + " x " + std::to_string(height) + ") is too large");
        m_held.assign(stride * static_cast<std::size_t>(height), 0);
    }
}

void OrientingSink::putRows(const std::uint8_t* const* rows, int count)
{
    const std::size_t stride = static_cast<std::size_t>(m_width) * 3;
    count = std::min(count, m_height - m_nextRow);
    if (m_orientation == 1) {
        m_target.putRows(rows, count);
    } else if (m_orientation == 2) {
        const std::uint8_t* out[1] = {m_row.data()};
        for (int i = 0; i < count; ++i) {
            std::memcpy(m_row.data(), rows[i], stride);
            reversePixels(m_row.data(), m_width);
            m_target.putRows(out, 1);
        }
    } else {
        for (int i = 0; i < count; ++i)
            std::memcpy(m_held.data() + stride * static_cast<std::size_t>(m_nextRow + i), rows[i], stride);
    }
    m_nextRow += count;
}

void OrientingSink::finish()
{
    if (m_orientation <= 2) {
        m_target.finish();
        return;
    }
    const std::size_t stride = static_cast<std::size_t>(m_width) * 3;
    constexpr int band = 64;
    if (!swapsAxes(m_orientation)) {
        // 3 and 4: the stored rows from the bottom up, mirrored for 3.
        std::vector<std::uint8_t> row(stride);
        const std::uint8_t* out[1] = {row.data()};
        m_target.start(m_width, m_height);
        for (int y = m_height - 1; y >= 0; --y) {
            std::memcpy(row.data(), m_held.data() + stride * static_cast<std::size_t>(y), stride);
            if (mirrorsRows(m_orientation))
                reversePixels(row.data(), m_width);
            m_target.putRows(out, 1);
        }
        m_target.finish();
        return;
    }
    // 5..8: the oriented picture is m_height wide and m_width high; it is
    // built in a second buffer, band by band of stored rows.
    const int orientedWidth = m_height;
    const int orientedHeight = m_width;
    const std::size_t orientedStride = static_cast<std::size_t>(orientedWidth) * 3;
    std::vector<std::uint8_t> oriented(orientedStride * static_cast<std::size_t>(orientedHeight));
    std::vector<const std::uint8_t*> rows(band);
    for (int y = 0; y < m_height; y += band) {
        const int n = std::min(band, m_height - y);
        for (int i = 0; i < n; ++i)
            rows[static_cast<std::size_t>(i)] = m_held.data() + stride * static_cast<std::size_t>(y + i);
        placeTransposed(m_orientation, rows.data(), n, y, m_width, m_height, oriented.data(),
                        static_cast<std::ptrdiff_t>(orientedStride), 0);
    }
    std::vector<std::uint8_t>().swap(m_held);
    m_target.start(orientedWidth, orientedHeight);
    for (int y = 0; y < orientedHeight; y += band) {
        const int n = std::min(band, orientedHeight - y);
        for (int i = 0; i < n; ++i)
            rows[static_cast<std::size_t>(i)] = oriented.data() + orientedStride * static_cast<std::size_t>(y + i);
        m_target.putRows(rows.data(), n);
    }
    m_target.finish();
}

} // namespace plimbury
