#include "imaging/Picture.h"

#include "imaging/Decoders.h"
#include "imaging/Decoding.h"
#include "platform/Error.h"

#include <algorithm>

namespace plimbury {

namespace {

// Collects rows into a Picture, averaging factor x factor blocks into one
// pixel on the way, so a large picture shown small never sits in memory at
// full size.
class ShrinkingSink : public RowSink {
public:
    ShrinkingSink(int minWidth, int minHeight) : m_minWidth(minWidth), m_minHeight(minHeight) {}

    void start(int width, int height) override
    {
        m_factor = 1;
        // The largest factor whose result still covers the bounds; a bound of
        // 0 does not constrain, both 0 keep the full size.
        if (m_minWidth > 0 || m_minHeight > 0) {
            while (m_factor < 64 && width / (m_factor * 2) >= std::max(m_minWidth, 1) &&
                   height / (m_factor * 2) >= std::max(m_minHeight, 1))
                m_factor *= 2;
        }
        m_width = width;
        m_height = height;
        m_picture.width = (width + m_factor - 1) / m_factor;
        m_picture.height = (height + m_factor - 1) / m_factor;
        if (static_cast<std::uint64_t>(m_picture.width) * static_cast<std::uint64_t>(m_picture.height) > kMaxPicturePixels)
            throw Error("The picture (" + std::to_string(width) + " x " + std::to_string(height) + ") is too large");
        m_picture.rgb.assign(static_cast<std::size_t>(m_picture.width) * static_cast<std::size_t>(m_picture.height) * 3, 0);
        m_sums.assign(static_cast<std::size_t>(m_picture.width) * 3, 0);
        m_row = 0;
    }

    void putRows(const std::uint8_t* const* rows, int count) override
    {
        const std::size_t outStride = static_cast<std::size_t>(m_picture.width) * 3;
        for (int i = 0; i < count && m_row < m_height; ++i, ++m_row) {
            if (m_factor == 1) {
                std::copy_n(rows[i], outStride, m_picture.rgb.data() + outStride * static_cast<std::size_t>(m_row));
                continue;
            }
            const std::uint8_t* in = rows[i];
            for (int x = 0; x < m_width; ++x) {
                std::uint32_t* sum = &m_sums[static_cast<std::size_t>(x / m_factor) * 3];
                sum[0] += in[3 * x];
                sum[1] += in[3 * x + 1];
                sum[2] += in[3 * x + 2];
            }
            if ((m_row + 1) % m_factor == 0 || m_row + 1 == m_height)
                flushBlockRow();
        }
    }

    void finish() override {}

    Picture take() { return std::move(m_picture); }

private:
    void flushBlockRow()
    {
        const int outY = m_row / m_factor;
        const int blockHeight = m_row - outY * m_factor + 1;
        std::uint8_t* out = m_picture.rgb.data() + static_cast<std::size_t>(outY) * static_cast<std::size_t>(m_picture.width) * 3;
        for (int x = 0; x < m_picture.width; ++x) {
            const int blockWidth = std::min(m_factor, m_width - x * m_factor);
            const std::uint32_t n = static_cast<std::uint32_t>(blockWidth * blockHeight);
            for (int c = 0; c < 3; ++c) {
                std::uint32_t& sum = m_sums[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)];
                out[3 * x + c] = static_cast<std::uint8_t>((sum + n / 2) / n);
                sum = 0;
            }
        }
    }

    int m_minWidth;
    int m_minHeight;
    int m_factor = 1;
    int m_width = 0;
    int m_height = 0;
    int m_row = 0;
    Picture m_picture;
    std::vector<std::uint32_t> m_sums;
};

} // namespace

Picture loadPicture(const std::string& path, int minWidth, int minHeight)
{
    const PictureFormat format = pictureFormatOf(path);
    if (format == PictureFormat::Jpeg) {
        DecodeOptions options;
        options.minWidth = minWidth;
        options.minHeight = minHeight;
        return decodeJpegPicture(path, options);
    }
    ShrinkingSink sink(minWidth, minHeight);
    decodePicture(path, sink);
    return sink.take();
}

} // namespace plimbury
