#include "JpegSamples.h"

#include <gtest/gtest.h>

#include <cstring>

#include <jpeglib.h>

namespace plimbury::test {

namespace {

std::size_t at(const Picture& p, int x, int y)
{
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)) * 3;
}

template <typename From>
Picture remap(const Picture& in, int width, int height, From from)
{
    Picture out {width, height, std::vector<std::uint8_t>(in.rgb.size())};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto [sx, sy] = from(x, y);
            std::memcpy(&out.rgb[at(out, x, y)], &in.rgb[at(in, sx, sy)], 3);
        }
    }
    return out;
}

Picture flipLeftRight(const Picture& p)
{
    return remap(p, p.width, p.height, [&](int x, int y) { return std::pair(p.width - 1 - x, y); });
}

Picture flipTopBottom(const Picture& p)
{
    return remap(p, p.width, p.height, [&](int x, int y) { return std::pair(x, p.height - 1 - y); });
}

Picture transpose(const Picture& p)
{
    return remap(p, p.height, p.width, [](int x, int y) { return std::pair(y, x); });
}

struct Decompressor {
    jpeg_decompress_struct cinfo {};
    jpeg_error_mgr err {};

    Decompressor(const std::string& jpeg)
    {
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&cinfo, TRUE);
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    std::vector<std::uint8_t> readAll()
    {
        jpeg_start_decompress(&cinfo);
        const std::size_t rowBytes = std::size_t {cinfo.output_width} * static_cast<std::size_t>(cinfo.output_components);
        std::vector<std::uint8_t> samples(rowBytes * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = samples.data() + rowBytes * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        return samples;
    }
};

} // namespace

Picture pattern(int width, int height)
{
    Picture p {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = &p.rgb[at(p, x, y)];
            px[0] = static_cast<std::uint8_t>(x * 37 + y * 11);
            px[1] = static_cast<std::uint8_t>(x * x + y * 53 + 17);
            px[2] = static_cast<std::uint8_t>((x ^ y) * 29 + x * y);
        }
    }
    return p;
}

Picture referenceDecode(const std::string& jpeg, int eighths)
{
    Decompressor d(jpeg);
    d.cinfo.scale_num = static_cast<unsigned>(eighths);
    d.cinfo.scale_denom = 8;
    const std::vector<std::uint8_t> samples = d.readAll();
    Picture p {static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height), {}};
    if (d.cinfo.output_components == 3) {
        p.rgb = samples;
    } else {
        for (const std::uint8_t grey : samples)
            p.rgb.insert(p.rgb.end(), 3, grey);
    }
    return p;
}

std::vector<std::uint8_t> referenceDecodeCmyk(const std::string& jpeg)
{
    Decompressor d(jpeg);
    d.cinfo.out_color_space = JCS_CMYK;
    return d.readAll();
}

Picture parseWrittenBmp(const std::string& bytes)
{
    const auto u = [&](std::size_t offset, int size) {
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = (v << 8) | static_cast<std::uint8_t>(bytes[offset + static_cast<std::size_t>(i)]);
        return v;
    };
    if (bytes.size() < 54) {
        ADD_FAILURE() << "bitmap of " << bytes.size() << " bytes";
        return {};
    }
    const int width = static_cast<int>(u(18, 4));
    const int height = static_cast<int>(u(22, 4));
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(u(2, 4), bytes.size());
    EXPECT_EQ(u(6, 4), 0u);
    EXPECT_EQ(u(10, 4), 54u);
    EXPECT_EQ(u(14, 4), 40u);
    EXPECT_EQ(u(26, 2), 1u);
    EXPECT_EQ(u(28, 2), 24u);
    EXPECT_EQ(u(30, 4), 0u);
    EXPECT_EQ(u(34, 4), stride * static_cast<std::size_t>(height));
    if (width <= 0 || height <= 0 || bytes.size() != 54 + stride * static_cast<std::size_t>(height)) {
        ADD_FAILURE() << "bitmap size does not match " << width << " x " << height;
        return {};
    }
    Picture p {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    for (int y = 0; y < height; ++y) {
        const char* row = bytes.data() + 54 + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c)
                p.rgb[at(p, x, y) + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(row[3 * x + 2 - c]);
        }
        for (std::size_t pad = static_cast<std::size_t>(width) * 3; pad < stride; ++pad)
            EXPECT_EQ(row[pad], 0) << "padding of row " << y;
    }
    return p;
}

::testing::AssertionResult samePicture(const Picture& expected, const Picture& actual)
{
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << actual.width << " x " << actual.height << " instead of "
                                             << expected.width << " x " << expected.height;
    for (int y = 0; y < expected.height; ++y) {
        for (int x = 0; x < expected.width; ++x) {
            if (std::memcmp(&expected.rgb[at(expected, x, y)], &actual.rgb[at(actual, x, y)], 3) != 0)
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
        }
    }
    return ::testing::AssertionSuccess();
}

Picture oriented(const Picture& stored, int orientation)
{
    switch (orientation) {
    case 2: return flipLeftRight(stored);
    case 3: return flipTopBottom(flipLeftRight(stored));
    case 4: return flipTopBottom(stored);
    case 5: return transpose(stored);
    case 6: return flipLeftRight(transpose(stored));               // turned clockwise
    case 7: return flipLeftRight(flipTopBottom(transpose(stored)));
    case 8: return flipTopBottom(transpose(stored));               // turned anticlockwise
    default: return stored;
    }
}

} // namespace plimbury::test
