#include "imaging/Decoders.h"

#include "imaging/Decoding.h"
#include "imaging/InputFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

namespace plimbury {

namespace {

// A band holds as many whole strips (or rows of tiles) as fit in this many
// bytes of RGBA, and at least one: strips of a row or two, as ImageMagick
// writes them, are not handed over one at a time.
constexpr std::size_t bandBytes = 2u << 20;
// Rows converted to RGB and handed over at a time, so a band of one tall
// strip needs no second copy of its size.
constexpr std::uint32_t rowsHandedOver = 64;

// The largest strip or tile a picture within kMaxPicturePixels can have, at
// four 16-bit samples a pixel. A damaged header that claims more makes
// libtiff fail instead of allocating it.
constexpr std::uint64_t maxSingleAllocation = kMaxPicturePixels * 8;

// Warnings libtiff gives while decoding pixels that do not mean lost data:
// the picture still comes out whole.
constexpr const char* harmlessWarnings[] = {
    "Old-style LZW codes",
    "encoded with progressive mode",
    "mozjpeg library likely detected",
    "JPEG strip size exceeds expected dimensions",
};

// What libtiff reports while one file is read. Its messages reach us through
// handlers given to this file's handle alone, so decodes on other threads
// keep their own.
struct Reading {
    std::FILE* file = nullptr;
    std::string name;           // the name libtiff puts before some of its messages
    std::string error;          // libtiff's first error
    bool readingPixels = false; // from here on, most warnings mean damaged data
};

// The message without the file's name, which the error text names already.
std::string formatMessage(const Reading& reading, const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string message = text;
    const std::string prefix = reading.name + ": ";
    if (message.rfind(prefix, 0) == 0)
        message.erase(0, prefix.size());
    return message;
}

int onError(TIFF*, void* userData, const char*, const char* format, va_list arguments)
{
    Reading& reading = *static_cast<Reading*>(userData);
    // Later errors mostly follow from the first.
    if (reading.error.empty())
        reading.error = formatMessage(reading, format, arguments);
    return 1;
}

// Warnings while the header is read are about tags (unknown ones, say),
// which do not touch the pixels. While pixels are decoded, a warning mostly
// says data ran out or was damaged and libtiff filled the rest in; that
// picture must not be shown as if it were whole.
int onWarning(TIFF*, void* userData, const char*, const char* format, va_list arguments)
{
    Reading& reading = *static_cast<Reading*>(userData);
    if (!reading.readingPixels || !reading.error.empty())
        return 1;
    std::string text = formatMessage(reading, format, arguments);
    const bool harmless = std::any_of(std::begin(harmlessWarnings), std::end(harmlessWarnings),
                                      [&](const char* known) { return text.find(known) != std::string::npos; });
    if (!harmless)
        reading.error = std::move(text);
    return 1;
}

Reading& readingOf(thandle_t handle)
{
    return *reinterpret_cast<Reading*>(handle);
}

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size)
{
    return static_cast<tmsize_t>(std::fread(buffer, 1, static_cast<std::size_t>(size), readingOf(handle).file));
}

tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    std::FILE* file = readingOf(handle).file;
    const int failed = seekInput(file, static_cast<std::int64_t>(offset), whence);
    return failed ? static_cast<toff_t>(-1) : static_cast<toff_t>(tellInput(file));
}

int closeProc(thandle_t)
{
    return 0;   // the InputFile closes it
}

toff_t sizeProc(thandle_t handle)
{
    std::FILE* file = readingOf(handle).file;
    const std::int64_t here = tellInput(file);
    const toff_t size = seekProc(handle, 0, SEEK_END);
    seekProc(handle, static_cast<toff_t>(here), SEEK_SET);
    return size;
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;   // no mapping: libtiff reads instead
}

void unmapProc(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

class RgbaImage {
public:
    RgbaImage() = default;
    RgbaImage(const RgbaImage&) = delete;
    RgbaImage& operator=(const RgbaImage&) = delete;
    ~RgbaImage()
    {
        if (m_begun)
            TIFFRGBAImageEnd(&m_image);
    }

    // False with libtiff's reason in `message` when it cannot read this page.
    bool begin(TIFF* tiff, char* message)
    {
        m_begun = TIFFRGBAImageOK(tiff, message) && TIFFRGBAImageBegin(&m_image, tiff, 1, message);
        return m_begun;
    }

    TIFFRGBAImage* operator->() { return &m_image; }

private:
    TIFFRGBAImage m_image {};
    bool m_begun = false;
};

// 8-bit grey with unassociated alpha is the one layout libtiff hands over
// with its alpha apart; every other one comes premultiplied, which is the
// picture composed over black already.
bool comesWithStraightAlpha(RgbaImage& image)
{
    return image->alpha == EXTRASAMPLE_UNASSALPHA && image->isContig && image->bitspersample == 8 &&
           image->samplesperpixel == 2 &&
           (image->photometric == PHOTOMETRIC_MINISBLACK || image->photometric == PHOTOMETRIC_MINISWHITE);
}

void unpackRgb(const std::uint32_t* abgr, std::uint8_t* rgb, std::uint32_t width)
{
    for (std::uint32_t x = 0; x < width; ++x, rgb += 3) {
        rgb[0] = static_cast<std::uint8_t>(TIFFGetR(abgr[x]));
        rgb[1] = static_cast<std::uint8_t>(TIFFGetG(abgr[x]));
        rgb[2] = static_cast<std::uint8_t>(TIFFGetB(abgr[x]));
    }
}

void unpackRgba(const std::uint32_t* abgr, std::uint8_t* rgba, std::uint32_t width)
{
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        rgba[0] = static_cast<std::uint8_t>(TIFFGetR(abgr[x]));
        rgba[1] = static_cast<std::uint8_t>(TIFFGetG(abgr[x]));
        rgba[2] = static_cast<std::uint8_t>(TIFFGetB(abgr[x]));
        rgba[3] = static_cast<std::uint8_t>(TIFFGetA(abgr[x]));
    }
}

} // namespace

void decodeTiffFile(const std::string& path, RowSink& sink)
{
    InputFile file = openInputFile(path);
    Reading reading;
    reading.file = file.get();
    reading.name = path;
    const auto fail = [&](const std::string& fallback) {
        throwDecodeError(PictureFormat::Tiff, path, reading.error.empty() ? fallback : reading.error);
    };

    std::vector<std::uint8_t> tileData;   // outlives the handle that reads into it
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &reading);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &reading);
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(std::min<std::uint64_t>(
                           maxSingleAllocation, static_cast<std::uint64_t>(std::numeric_limits<tmsize_t>::max()))));
    // "m": read, never map; the file's first page is the current directory.
    TiffHandle tiff(TIFFClientOpenExt(path.c_str(), "rm", reinterpret_cast<thandle_t>(&reading), readProc,
                                      writeProc, seekProc, closeProc, sizeProc, mapProc, unmapProc,
                                      options.get()));
    if (!tiff)
        fail("the file cannot be read");
    // libtiff reports bad values of tags it then goes without (an
    // orientation of 9, say) as errors; the page opened all the same.
    reading.error.clear();

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    requirePictureSize(PictureFormat::Tiff, path, width, height);
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);

    // libtiff 4.5 refuses an uncompressed tile unless its buffer for the
    // file's bytes is exactly one tile, while the buffer it makes itself is
    // rounded up to whole KiB (unless the file is mapped, which ours is not).
    // A buffer of our own has the exact size.
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &compression);
    if (TIFFIsTiled(tiff.get()) && compression == COMPRESSION_NONE) {
        const tmsize_t tileSize = TIFFTileSize(tiff.get());
        if (tileSize <= 0 || static_cast<std::uint64_t>(tileSize) > maxSingleAllocation)
            fail("the picture's tiles are too large");
        tileData.resize(static_cast<std::size_t>(tileSize));
        if (!TIFFReadBufferSetup(tiff.get(), tileData.data(), static_cast<tmsize_t>(tileData.size())))
            fail("the picture's tiles cannot be read");
    }

    RgbaImage image;
    char message[1024] = "";
    if (!image.begin(tiff.get(), message) || !reading.error.empty())
        fail(message[0] ? message : "the picture's layout cannot be read");
    // Asking for the order the rows are stored in keeps libtiff from
    // flipping anything (it would only flip, never turn); OrientingSink
    // applies the whole orientation instead.
    image->req_orientation = orientation;
    const bool straightAlpha = comesWithStraightAlpha(image);

    // Bands are whole strips or whole rows of tiles, so no strip or tile is
    // decoded twice.
    std::uint32_t unit = 0;
    if (TIFFIsTiled(tiff.get()))
        TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<std::uint32_t>(unit, 1, height);
    const std::size_t rowBytes = std::size_t {width} * 4;
    const std::uint32_t units = std::clamp<std::uint32_t>(
        static_cast<std::uint32_t>(bandBytes / (rowBytes * unit)), 1, (height + unit - 1) / unit);
    const std::uint32_t bandRows = std::min(unit * units, height);

    // libtiff fills every pixel of the band: no need to clear it first,
    // which for a picture stored as one strip would be a pass over it all.
    const auto raster = std::make_unique_for_overwrite<std::uint32_t[]>(std::size_t {width} * bandRows);
    const std::uint32_t outRows = std::min(bandRows, rowsHandedOver);
    std::vector<std::uint8_t> rgb(std::size_t {width} * 3 * outRows);
    std::vector<const std::uint8_t*> rows(outRows);
    for (std::uint32_t i = 0; i < outRows; ++i)
        rows[i] = rgb.data() + std::size_t {width} * 3 * i;
    std::vector<std::uint8_t> rgba(straightAlpha ? rowBytes : 0);

    OrientingSink oriented(sink, orientation);
    oriented.start(static_cast<int>(width), static_cast<int>(height));
    reading.readingPixels = true;
    for (std::uint32_t y = 0; y < height; y += bandRows) {
        const std::uint32_t n = std::min(bandRows, height - y);
        image->row_offset = static_cast<int>(y);
        if (!TIFFRGBAImageGet(image.operator->(), raster.get(), width, n) || !reading.error.empty())
            fail("the picture's data cannot be read");
        for (std::uint32_t done = 0; done < n;) {
            const std::uint32_t count = std::min(outRows, n - done);
            for (std::uint32_t r = 0; r < count; ++r) {
                const std::uint32_t* in = raster.get() + std::size_t {width} * (done + r);
                std::uint8_t* out = rgb.data() + std::size_t {width} * 3 * r;
                if (straightAlpha) {
                    unpackRgba(in, rgba.data(), width);
                    composeOverBlack(rgba.data(), out, static_cast<int>(width));
                } else {
                    unpackRgb(in, out, width);
                }
            }
            oriented.putRows(rows.data(), static_cast<int>(count));
            done += count;
        }
    }
    oriented.finish();
}

} // namespace plimbury
