#include "imaging/Decoders.h"

#include "imaging/Decoding.h"
#include "imaging/InputFile.h"
#include "imaging/Orientation.h"
#include "platform/FilePath.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

namespace plimbury {

namespace {

// Rows handed over at a time.
constexpr int bandHeight = 16;

// The file is read in pieces of this size, the decoder going on after each.
constexpr std::size_t pieceSize = 256 * 1024;

// The orientation tag sits in the first directory of an EXIF block, within
// its first few hundred bytes; the rest (a thumbnail, say) is never read.
constexpr std::size_t maxExifBytes = 64 * 1024;

// VP8X flags.
constexpr std::uint8_t exifFlag = 0x08;

const char* statusText(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "out of memory";
    case VP8_STATUS_BITSTREAM_ERROR:
        return "the data is damaged";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "the file uses a feature this program does not support";
    case VP8_STATUS_NOT_ENOUGH_DATA:
    case VP8_STATUS_SUSPENDED:
        return "the file ends before the picture does";
    default:
        return "the picture cannot be decoded";
    }
}

std::uint32_t littleEndian32(const unsigned char* p)
{
    return std::uint32_t {p[0]} | std::uint32_t {p[1]} << 8 | std::uint32_t {p[2]} << 16 | std::uint32_t {p[3]} << 24;
}

struct Layout {
    int orientation = 1;
    std::uint64_t riffEnd = 0;   // the file's size as its RIFF header gives it
};

// The RIFF header's size and the orientation in the EXIF chunk of an
// extended file (one that starts with a VP8X chunk whose flags announce
// EXIF). The chunk usually follows the image data, so the chunk headers are
// walked, seeking over the data of the others. Damage is left for the
// decoder to report: the walk just stops. The file is back at its start
// afterwards.
Layout layoutOf(std::FILE* file)
{
    Layout layout;
    unsigned char riff[12];
    unsigned char header[8];
    unsigned char flags = 0;
    if (std::fread(riff, 1, sizeof riff, file) == sizeof riff) {
        // Offsets from the start of the file; chunks are padded to even sizes.
        layout.riffEnd = 8 + std::uint64_t {littleEndian32(riff + 4)};
        if (std::fread(header, 1, 8, file) == 8 && std::memcmp(header, "VP8X", 4) == 0 &&
            littleEndian32(header + 4) >= 1 && std::fread(&flags, 1, 1, file) == 1 && (flags & exifFlag) != 0) {
            std::uint32_t size = littleEndian32(header + 4);
            std::uint64_t next = 12 + 8 + std::uint64_t {size} + (size & 1);
            bool more = seekInput(file, static_cast<std::int64_t>(next - 12 - 8 - 1), SEEK_CUR) == 0;
            while (more && next + 8 <= layout.riffEnd && std::fread(header, 1, 8, file) == 8) {
                size = littleEndian32(header + 4);
                if (std::memcmp(header, "EXIF", 4) == 0) {
                    std::vector<std::uint8_t> exif(std::min<std::size_t>(size, maxExifBytes));
                    if (std::fread(exif.data(), 1, exif.size(), file) == exif.size())
                        layout.orientation = anyExifOrientation(exif.data(), exif.size());
                    break;
                }
                const std::uint64_t skip = std::uint64_t {size} + (size & 1);
                next += 8 + skip;
                more = seekInput(file, static_cast<std::int64_t>(skip), SEEK_CUR) == 0;
            }
        }
    }
    std::rewind(file);
    return layout;
}

// The file's bytes as far as they have been read. The decoder keeps every
// byte it was given until the end anyway (a lossless picture refers back to
// any of them); given this one copy, it takes none of its own.
class FileBytes {
public:
    // Up to `size` bytes: the RIFF's size, or the file's where that is smaller.
    FileBytes(std::FILE* file, std::uint64_t size)
        : m_file(file), m_capacity(static_cast<std::size_t>(std::min<std::uint64_t>(size, SIZE_MAX))),
          m_bytes(std::make_unique_for_overwrite<std::uint8_t[]>(m_capacity))
    {
    }

    // Reads up to `count` more bytes; false when none are left to read.
    bool readMore(std::size_t count)
    {
        const std::size_t n = std::fread(m_bytes.get() + m_size, 1, std::min(count, m_capacity - m_size), m_file);
        m_size += n;
        return n > 0;
    }

    const std::uint8_t* data() const { return m_bytes.get(); }
    std::size_t size() const { return m_size; }

private:
    std::FILE* m_file;
    std::size_t m_capacity;
    std::size_t m_size = 0;
    std::unique_ptr<std::uint8_t[]> m_bytes;
};

// Hands rgbA rows (premultiplied alpha: composed over black already) or RGB
// rows of a decoded picture over as RGB, a band at a time.
class RowPasser {
public:
    RowPasser(RowSink& sink, int width, bool withAlpha)
        : m_sink(sink), m_width(width), m_withAlpha(withAlpha), m_rgbStride(static_cast<std::size_t>(width) * 3),
          m_rgb(withAlpha ? m_rgbStride * bandHeight : 0), m_rows(bandHeight)
    {
    }

    void pass(const std::uint8_t* pixels, int stride, int firstRow, int endRow)
    {
        for (int y = firstRow; y < endRow; y += bandHeight) {
            const int n = std::min(bandHeight, endRow - y);
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(stride) * (y + i);
                if (m_withAlpha) {
                    std::uint8_t* const rgb = m_rgb.data() + m_rgbStride * static_cast<std::size_t>(i);
                    for (int x = 0; x < m_width; ++x)
                        std::memcpy(rgb + 3 * x, row + 4 * x, 3);
                    row = rgb;
                }
                m_rows[static_cast<std::size_t>(i)] = row;
            }
            m_sink.putRows(m_rows.data(), n);
        }
    }

private:
    RowSink& m_sink;
    int m_width;
    bool m_withAlpha;
    std::size_t m_rgbStride;
    std::vector<std::uint8_t> m_rgb;
    std::vector<const std::uint8_t*> m_rows;
};

// An incremental decoder and the picture it decodes into, released in that order.
class IncrementalDecoder {
public:
    explicit IncrementalDecoder(WEBP_CSP_MODE mode)
    {
        WebPInitDecBuffer(&m_output);
        m_output.colorspace = mode;
        m_decoder = WebPINewDecoder(&m_output);
    }
    ~IncrementalDecoder()
    {
        if (m_decoder)
            WebPIDelete(m_decoder);
        WebPFreeDecBuffer(&m_output);
    }
    IncrementalDecoder(const IncrementalDecoder&) = delete;
    IncrementalDecoder& operator=(const IncrementalDecoder&) = delete;

    WebPIDecoder* get() const { return m_decoder; }

private:
    WebPDecBuffer m_output {};
    WebPIDecoder* m_decoder = nullptr;
};

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};

// The first frame of an animation, as the animation shows it: drawn on its
// canvas, which starts transparent, so over black everything around the
// frame is black. Only the frame is decoded and held, never a canvas: a
// few hundred bytes may declare a canvas of a gigabyte. `bytes` holds the
// whole file.
void decodeFirstFrame(const FileBytes& bytes, const std::string& path, RowSink& sink, int width, int height)
{
    const auto damaged = [&] { throwDecodeError(PictureFormat::WebP, path, "the animation is damaged or incomplete"); };
    const WebPData webpData {bytes.data(), bytes.size()};
    const std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(WebPDemux(&webpData));
    // The demuxer refuses a file cut short as well as a damaged one.
    if (!demuxer || WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH) != static_cast<std::uint32_t>(width) ||
        WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT) != static_cast<std::uint32_t>(height))
        damaged();
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demuxer.get(), 1, &frame))
        damaged();
    const std::unique_ptr<WebPIterator, void (*)(WebPIterator*)> release(&frame, WebPDemuxReleaseIterator);
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
        frame.x_offset + frame.width > width || frame.y_offset + frame.height > height)
        damaged();

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        throwDecodeError(PictureFormat::WebP, path, statusText(VP8_STATUS_INVALID_PARAM));
    // Premultiplied alpha is the frame composed over black.
    config.output.colorspace = MODE_rgbA;
    const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    const std::unique_ptr<WebPDecBuffer, void (*)(WebPDecBuffer*)> frameBuffer(&config.output, WebPFreeDecBuffer);
    if (status != VP8_STATUS_OK)
        throwDecodeError(PictureFormat::WebP, path, statusText(status));
    if (config.output.width != frame.width || config.output.height != frame.height)
        damaged();

    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> band(stride * bandHeight, 0);
    std::vector<const std::uint8_t*> rows(bandHeight);
    const WebPRGBABuffer& pixels = config.output.u.RGBA;
    sink.start(width, height);
    for (int y = 0; y < height; y += bandHeight) {
        const int n = std::min(bandHeight, height - y);
        for (int i = 0; i < n; ++i) {
            std::uint8_t* row = band.data() + stride * static_cast<std::size_t>(i);
            const int frameRow = y + i - frame.y_offset;
            std::fill(row, row + stride, std::uint8_t {0});
            if (frameRow >= 0 && frameRow < frame.height) {
                const std::uint8_t* in = pixels.rgba + static_cast<std::ptrdiff_t>(pixels.stride) * frameRow;
                std::uint8_t* out = row + 3 * static_cast<std::size_t>(frame.x_offset);
                for (int x = 0; x < frame.width; ++x)
                    std::memcpy(out + 3 * x, in + 4 * x, 3);
            }
            rows[static_cast<std::size_t>(i)] = row;
        }
        sink.putRows(rows.data(), n);
    }
    sink.finish();
}

} // namespace

void decodeWebpFile(const std::string& path, RowSink& sink)
{
    InputFile file = openInputFile(path);
    const auto fail = [&](VP8StatusCode status) { throwDecodeError(PictureFormat::WebP, path, statusText(status)); };
    const Layout layout = layoutOf(file.get());
    std::error_code sizeError;
    const std::uintmax_t fileSize = std::filesystem::file_size(fsPath(path), sizeError);
    FileBytes bytes(file.get(), sizeError ? layout.riffEnd : std::min<std::uint64_t>(layout.riffEnd, fileSize));
    const auto readMore = [&](std::size_t count) {
        if (!bytes.readMore(count)) {
            if (std::ferror(file.get()))
                throwDecodeError(PictureFormat::WebP, path, "the file cannot be read");
            fail(VP8_STATUS_NOT_ENOUGH_DATA);
        }
    };
    OrientingSink out(sink, layout.orientation);

    // The headers up to the image data: optional chunks before it (a colour
    // profile, the alpha of a lossy picture) are read whole.
    WebPBitstreamFeatures features;
    VP8StatusCode status = VP8_STATUS_NOT_ENOUGH_DATA;
    while (status == VP8_STATUS_NOT_ENOUGH_DATA) {
        readMore(pieceSize);
        status = WebPGetFeatures(bytes.data(), bytes.size(), &features);
    }
    if (status != VP8_STATUS_OK)
        fail(status);
    requirePictureSize(PictureFormat::WebP, path, static_cast<std::uint64_t>(features.width),
                       static_cast<std::uint64_t>(features.height));
    if (features.has_animation) {
        // The demuxer wants the whole file, though only the first frame is decoded.
        while (bytes.readMore(pieceSize)) {
        }
        decodeFirstFrame(bytes, path, out, features.width, features.height);
        return;
    }

    // Premultiplied alpha is the picture composed over black.
    const bool withAlpha = features.has_alpha != 0;
    IncrementalDecoder decoder(withAlpha ? MODE_rgbA : MODE_RGB);
    if (!decoder.get())
        fail(VP8_STATUS_OUT_OF_MEMORY);
    out.start(features.width, features.height);
    RowPasser rows(out, features.width, withAlpha);
    int passed = 0;
    for (;;) {
        status = WebPIUpdate(decoder.get(), bytes.data(), bytes.size());
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
            fail(status);
        int lastRow = 0;
        int width = 0;
        int height = 0;
        int stride = 0;
        // Rows come out as the data for them arrives; NULL before the headers.
        if (const std::uint8_t* pixels = WebPIDecGetRGB(decoder.get(), &lastRow, &width, &height, &stride)) {
            if (width != features.width || height != features.height)
                fail(VP8_STATUS_BITSTREAM_ERROR);
            rows.pass(pixels, stride, passed, lastRow);
            passed = std::max(passed, lastRow);
        }
        if (status == VP8_STATUS_OK)
            break;
        readMore(pieceSize);
    }
    if (passed != features.height)
        fail(VP8_STATUS_NOT_ENOUGH_DATA);
    out.finish();
}

} // namespace plimbury
