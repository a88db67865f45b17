#include "imaging/Decoders.h"

#include "imaging/Decoding.h"
#include "imaging/InputFile.h"
#include "imaging/Orientation.h"
#include "platform/FilePath.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <png.h>

namespace plimbury {

namespace {

// Rows decoded and handed over at a time.
constexpr int bandHeight = 16;

// The orientation tag sits in the first directory of an EXIF block, within
// its first few hundred bytes; the rest (a thumbnail, say) is never read.
constexpr std::size_t maxExifBytes = 64 * 1024;

// libpng reads PLTE and tRNS into memory (768 bytes at most) and skips every
// other chunk; a chunk claiming more is damage, not a reason to allocate.
constexpr png_alloc_size_t maxChunkBytes = 1 << 20;

// Deflate's best case: a 258-byte match in two bits.
constexpr std::uint64_t maxDeflateRatio = 1032;

constexpr const char* truncatedText = "the file ends before the picture does";

// What one decode shares with libpng's callbacks.
struct Reading {
    std::FILE* file = nullptr;
    char message[200] = "";   // libpng's text of the error that stopped it
};

Reading& readingOf(png_structp png)
{
    return *static_cast<Reading*>(png_get_error_ptr(png));
}

// libpng reports errors by calling this, which must not return. It jumps
// back to the setjmp of one of the guarded* functions below; those own no
// C++ objects, so the jump skips no destructor. The C++ exception is thrown
// only after they have returned.
[[noreturn]] void onError(png_structp png, png_const_charp message)
{
    Reading& reading = readingOf(png);
    std::snprintf(reading.message, sizeof reading.message, "%s", message);
    png_longjmp(png, 1);
}

// What libpng still only warns about does not touch the pixels: the
// damage it can see (bad checksums, missing or surplus image data) arrives
// as errors, benign ones included (see guardedReadHeader).
void onWarning(png_structp, png_const_charp) {}

// Our own reading rather than png_init_io(): a libpng DLL may use another C
// runtime than ours, and its fread() must not be handed our FILE.
void readData(png_structp png, png_bytep data, std::size_t length)
{
    std::FILE* file = static_cast<Reading*>(png_get_io_ptr(png))->file;
    if (std::fread(data, 1, length, file) != length)
        png_error(png, std::ferror(file) ? "the file cannot be read" : truncatedText);
}

bool guardedReadHeader(png_structp png, png_infop info, Reading* reading)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, reading, readData);
    // The size limit is ours (requirePictureSize), with our text; libpng's
    // own default of a million rows or columns would come first.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(png, maxChunkBytes);
    // Strict, as with JPEG: a picture whose data is damaged anywhere fails
    // instead of coming out with a wrong or made-up part. libpng only warns
    // about a bad ancillary chunk's CRC and an image stream with a bad
    // checksum or surplus data unless told so.
    png_set_benign_errors(png, 0);
    png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_ERROR_QUIT);
#ifdef PNG_HANDLE_AS_UNKNOWN_SUPPORTED
    // Nothing beyond the pixels, the palette and its transparency counts
    // (EXIF is read apart, see exifOrientationOf): colour profiles, text and
    // the rest are skipped, their CRCs still checked. A compressed text or
    // profile then cannot expand into gigabytes either.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#endif
    png_read_info(png, info);
    return true;
}

// Output rows of 8-bit RGB, or RGBA where the file has alpha or tRNS.
bool guardedStart(png_structp png, png_infop info, int* passes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_expand(png);        // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);      // rounded, as v * 255 / 65535, not truncated
    png_set_gray_to_rgb(png);
    *passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool guardedReadRows(png_structp png, png_bytepp rows, int count)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_rows(png, rows, nullptr, static_cast<png_uint_32>(count));
    return true;
}

// Every pass of an interlaced picture into `image`: each pass adds pixels
// to rows that earlier passes filled in part.
bool guardedReadPasses(png_structp png, png_bytep image, std::size_t rowBytes, png_uint_32 height, int passes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, image + rowBytes * y, nullptr);
    }
    return true;
}

// The chunks after the image data, up to IEND: their CRCs and the image
// stream's own checksum are checked here.
bool guardedReadEnd(png_structp png)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_end(png, nullptr);
    return true;
}

class PngReading {
public:
    explicit PngReading(Reading& reading)
        : m_png(png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, onError, onWarning))
    {
        if (m_png)
            m_info = png_create_info_struct(m_png);
    }
    ~PngReading() { png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr); }
    PngReading(const PngReading&) = delete;
    PngReading& operator=(const PngReading&) = delete;

    bool created() const { return m_png && m_info; }
    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

std::uint32_t bigEndian32(const unsigned char* p)
{
    return std::uint32_t {p[0]} << 24 | std::uint32_t {p[1]} << 16 | std::uint32_t {p[2]} << 8 | p[3];
}

// The orientation in the file's eXIf chunk, 1 without one. Writers put the
// chunk before the image data or after it (ImageMagick does), so the chunk
// headers are walked from the start, seeking over the data of the others.
// Damage is left for libpng to report: the walk just stops. The file is back
// at its start afterwards.
int exifOrientationOf(std::FILE* file)
{
    int orientation = 1;
    unsigned char header[8];
    // Past the signature; then length and type of each chunk.
    if (std::fread(header, 1, 8, file) == 8) {
        while (std::fread(header, 1, 8, file) == 8) {
            const std::uint32_t length = bigEndian32(header);
            if (length > PNG_UINT_31_MAX || std::memcmp(header + 4, "IEND", 4) == 0)
                break;
            if (std::memcmp(header + 4, "eXIf", 4) == 0) {
                std::vector<std::uint8_t> exif(std::min<std::size_t>(length, maxExifBytes));
                if (std::fread(exif.data(), 1, exif.size(), file) == exif.size())
                    orientation = anyExifOrientation(exif.data(), exif.size());
                break;
            }
            if (seekInput(file, std::int64_t {length} + 4, SEEK_CUR) != 0)   // the data and its CRC
                break;
        }
    }
    std::rewind(file);
    return orientation;
}

// The band's rows, composed over black into `rgb` when they carry alpha.
const std::uint8_t* const* rgbRows(std::uint8_t* const* rows, int count, int channels, int width,
                                   std::vector<std::uint8_t*>& rgb)
{
    if (channels == 3)
        return rows;
    for (int i = 0; i < count; ++i)
        composeOverBlack(rows[i], rgb[static_cast<std::size_t>(i)], width);
    return rgb.data();
}

} // namespace

void decodePngFile(const std::string& path, RowSink& sink)
{
    InputFile file = openInputFile(path);
    const int orientation = exifOrientationOf(file.get());

    Reading reading;
    reading.file = file.get();
    PngReading png(reading);
    if (!png.created())
        throwDecodeError(PictureFormat::Png, path, "out of memory");
    const auto fail = [&] { throwDecodeError(PictureFormat::Png, path, reading.message); };

    if (!guardedReadHeader(png.png(), png.info(), &reading))
        fail();
    const png_uint_32 width = png_get_image_width(png.png(), png.info());
    const png_uint_32 height = png_get_image_height(png.png(), png.info());
    requirePictureSize(PictureFormat::Png, path, width, height);
    // Deflate packs at most 1032 bytes into one, so a header claiming more
    // pixels than the file can hold is refused before libpng and we take
    // memory for its rows.
    std::error_code sizeError;
    const std::uintmax_t fileSize = std::filesystem::file_size(fsPath(path), sizeError);
    const std::uint64_t imageBytes = std::uint64_t {png_get_rowbytes(png.png(), png.info())} * height;
    if (!sizeError && imageBytes / maxDeflateRatio > fileSize)
        throwDecodeError(PictureFormat::Png, path, truncatedText);
    int passes = 1;
    if (!guardedStart(png.png(), png.info(), &passes))
        fail();
    const int channels = png_get_channels(png.png(), png.info());
    const std::size_t rowBytes = png_get_rowbytes(png.png(), png.info());
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);

    // Left uninitialized: every byte is written before it is read, and a
    // header claiming a huge picture then costs no memory its data never fills.
    const int band = std::min(bandHeight, h);
    const std::size_t rgbStride = static_cast<std::size_t>(w) * 3;
    // Rows with alpha are composed into RGB rows.
    const auto rgbBytes =
        std::make_unique_for_overwrite<std::uint8_t[]>(channels == 4 ? rgbStride * static_cast<std::size_t>(band) : 0);
    std::vector<std::uint8_t*> rgb(static_cast<std::size_t>(band));
    for (int i = 0; i < band; ++i)
        rgb[static_cast<std::size_t>(i)] = rgbBytes.get() + rgbStride * static_cast<std::size_t>(i);

    OrientingSink out(sink, orientation);
    std::vector<std::uint8_t*> rows(static_cast<std::size_t>(band));
    if (passes == 1) {
        const auto bandBytes = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes * static_cast<std::size_t>(band));
        for (int i = 0; i < band; ++i)
            rows[static_cast<std::size_t>(i)] = bandBytes.get() + rowBytes * static_cast<std::size_t>(i);
        out.start(w, h);
        for (int y = 0; y < h; y += band) {
            const int n = std::min(band, h - y);
            if (!guardedReadRows(png.png(), rows.data(), n))
                fail();
            out.putRows(rgbRows(rows.data(), n, channels, w, rgb), n);
        }
    } else {
        // An interlaced picture is complete only after its last pass.
        const auto image = std::make_unique_for_overwrite<std::uint8_t[]>(rowBytes * height);
        if (!guardedReadPasses(png.png(), image.get(), rowBytes, height, passes))
            fail();
        out.start(w, h);
        for (int y = 0; y < h; y += band) {
            const int n = std::min(band, h - y);
            for (int i = 0; i < n; ++i)
                rows[static_cast<std::size_t>(i)] = image.get() + rowBytes * static_cast<std::size_t>(y + i);
            out.putRows(rgbRows(rows.data(), n, channels, w, rgb), n);
        }
    }
    // Damage after the last row fails here, before the sink completes.
    if (!guardedReadEnd(png.png()))
        fail();
    out.finish();
}

} // namespace plimbury
