#include "imaging/InputFile.h"
#include "imaging/Picture.h"

#include "platform/Error.h"
#include "platform/FilePath.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace plimbury {

namespace {

// Larger pictures are refused rather than risk allocating what a damaged
// header claims (768 MiB of pixels at this bound).
constexpr std::uint64_t maxPixels = std::uint64_t {1} << 28;

constexpr std::uint32_t biRgb = 0;
constexpr std::uint32_t biBitfields = 3;

[[noreturn]] void invalid()
{
    throw Error("Bitmap image is not valid");
}

std::uint32_t u16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const std::uint8_t* p)
{
    return u16(p) | (u16(p + 2) << 16);
}

void readBytes(std::FILE* file, std::uint8_t* to, std::size_t size)
{
    if (std::fread(to, 1, size, file) != size)
        invalid();
}

void seekTo(std::FILE* file, std::uint64_t offset)
{
    // fseek takes a long, 32 bits on some systems: step there from the start.
    if (std::fseek(file, 0, SEEK_SET) != 0)
        invalid();
    constexpr std::uint64_t step = 1u << 30;
    while (offset > 0) {
        const std::uint64_t n = offset < step ? offset : step;
        if (std::fseek(file, static_cast<long>(n), SEEK_CUR) != 0)
            invalid();
        offset -= n;
    }
}

} // namespace

void decodeBmpFile(const std::string& path, RowSink& sink)
{
    InputFile input = openInputFile(path);
    std::FILE* file = input.get();
    std::error_code ec;
    const std::uint64_t fileSize = std::filesystem::file_size(fsPath(path), ec);
    if (ec)
        invalid();

    std::array<std::uint8_t, 14 + 124 + 12> header {};
    readBytes(file, header.data(), 18);
    if (header[0] != 'B' || header[1] != 'M')
        invalid();
    const std::uint64_t pixelOffset = u32(&header[10]);
    const std::uint32_t infoSize = u32(&header[14]);
    // BITMAPINFOHEADER and its longer successors (V2, V3, V4, V5).
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        invalid();
    const std::uint8_t* info = &header[14];
    readBytes(file, header.data() + 18, infoSize - 4);

    const auto width = static_cast<std::int32_t>(u32(info + 4));
    const auto rawHeight = static_cast<std::int32_t>(u32(info + 8));
    const std::uint32_t planes = u16(info + 12);
    const std::uint32_t bits = u16(info + 14);
    const std::uint32_t compression = u32(info + 16);
    const std::uint32_t colorsUsed = u32(info + 32);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || planes != 1)
        invalid();
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > maxPixels)
        invalid();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        invalid();

    std::uint64_t tableOffset = 14 + infoSize;
    if (compression == biBitfields && bits == 32) {
        // Only the masks of plain BGRX are uncompressed pixels in disguise.
        const std::uint8_t* masks = info + 40;
        if (infoSize == 40) {
            readBytes(file, header.data() + 14 + 40, 12);
            tableOffset += 12;
        }
        if (u32(masks) != 0x00FF0000 || u32(masks + 4) != 0x0000FF00 || u32(masks + 8) != 0x000000FF)
            invalid();
    } else if (compression != biRgb) {
        invalid();
    }

    std::vector<std::array<std::uint8_t, 3>> palette;
    if (bits <= 8) {
        const std::uint32_t capacity = 1u << bits;
        const std::uint32_t entries = colorsUsed == 0 ? capacity : colorsUsed;
        if (entries > capacity || tableOffset + 4ull * entries > fileSize)
            invalid();
        std::vector<std::uint8_t> table(4ull * entries);
        readBytes(file, table.data(), table.size());
        for (std::uint32_t i = 0; i < entries; ++i)
            palette.push_back({table[4 * i + 2], table[4 * i + 1], table[4 * i]});
        tableOffset += 4ull * entries;
    }

    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    if (pixelOffset < tableOffset || pixelOffset > fileSize
        || stride * static_cast<std::uint64_t>(height) > fileSize - pixelOffset)
        invalid();

    // One row at a time, top row first: a bottom-up file is read from its
    // end, so that a sink that shrinks the picture never holds it whole.
    sink.start(width, height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3);
    const std::size_t w = static_cast<std::size_t>(width);
    if (topDown)
        seekTo(file, pixelOffset);
    for (std::int32_t y = 0; y < height; ++y) {
        if (!topDown)
            seekTo(file, pixelOffset + stride * static_cast<std::uint64_t>(height - 1 - y));
        readBytes(file, row.data(), row.size());
        std::uint8_t* out = rgb.data();
        if (bits >= 24) {
            const std::size_t step = bits / 8;
            const std::uint8_t* in = row.data();
            for (std::size_t x = 0; x < w; ++x, in += step, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        } else {
            const unsigned perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (std::size_t x = 0; x < w; ++x, out += 3) {
                // The leftmost pixel is in the byte's high bits.
                const unsigned shift = bits * (perByte - 1 - static_cast<unsigned>(x % perByte));
                const unsigned index = (row[x / perByte] >> shift) & mask;
                if (index >= palette.size())
                    invalid();
                out[0] = palette[index][0];
                out[1] = palette[index][1];
                out[2] = palette[index][2];
            }
        }
        const std::uint8_t* rows[1] = {rgb.data()};
        sink.putRows(rows, 1);
    }
    sink.finish();
}

Picture readBmpFile(const std::string& path)
{
    class Collect final : public RowSink {
    public:
        Picture picture;
        void start(int width, int height) override
        {
            picture.width = width;
            picture.height = height;
            picture.rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
        }
        void putRows(const std::uint8_t* const* rows, int count) override
        {
            for (int i = 0; i < count; ++i)
                picture.rgb.insert(picture.rgb.end(), rows[i], rows[i] + static_cast<std::size_t>(picture.width) * 3);
        }
        void finish() override {}
    } collect;
    decodeBmpFile(path, collect);
    return std::move(collect.picture);
}

} // namespace plimbury
