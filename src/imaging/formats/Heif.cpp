#include "imaging/Decoders.h"

#include "imaging/Decoding.h"
#include "imaging/InputFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <libheif/heif.h>

namespace plimbury {

namespace {

// The only bound on what a damaged file makes libheif allocate is a largest
// side for every picture it holds (tiles, alpha, thumbnails): a grid's size
// comes from the grid itself, unchecked against the size the file declares,
// which is the one we check. So no side goes beyond that of the largest
// square picture we read; longer panoramas are refused. (libheif refuses a
// grid whose side reaches the limit, any other picture beyond it.)
constexpr int largestSide = 1 << 14;
static_assert(std::uint64_t {largestSide} * largestSide == kMaxPicturePixels);

constexpr int bandHeight = 16;

struct ContextFreer {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleReleaser {
    void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageReleaser {
    void operator()(const heif_image* image) const { heif_image_release(image); }
};
using Context = std::unique_ptr<heif_context, ContextFreer>;
using Handle = std::unique_ptr<const heif_image_handle, HandleReleaser>;
using Image = std::unique_ptr<const heif_image, ImageReleaser>;

// libheif's built-in decoders need no set-up; those it loads as plugins (as
// later versions do) need heif_init() once. Its failure is left to show as
// the decoder libheif then lacks.
void initialiseOnce()
{
    static const heif_error initialised = heif_init(nullptr);
    static_cast<void>(initialised);
}

struct Source {
    std::FILE* file = nullptr;
    std::int64_t size = 0;
};

Source& sourceOf(void* userData)
{
    return *static_cast<Source*>(userData);
}

std::int64_t getPosition(void* userData)
{
    return tellInput(sourceOf(userData).file);
}

int readBytes(void* data, std::size_t size, void* userData)
{
    return std::fread(data, 1, size, sourceOf(userData).file) == size ? 0 : -1;
}

int seekBytes(std::int64_t position, void* userData)
{
    return seekInput(sourceOf(userData).file, position, SEEK_SET);
}

// The file does not grow while it is read: whatever lies beyond its end is
// missing for good, which libheif reports as damaged data.
heif_reader_grow_status waitForFileSize(std::int64_t targetSize, void* userData)
{
    return targetSize > sourceOf(userData).size ? heif_reader_grow_status_size_beyond_eof
                                                : heif_reader_grow_status_size_reached;
}

const heif_reader fileReader = {1, getPosition, readBytes, seekBytes, waitForFileSize};

// One plane of the decoded picture. Samples of more than 8 bits take 16.
struct Plane {
    const std::uint8_t* data = nullptr;
    std::size_t stride = 0;
    int bits = 8;

    // Row y as 8-bit samples: 8-bit rows in place, deeper ones scaled into `scratch`.
    const std::uint8_t* row(int y, int width, std::uint8_t* scratch) const
    {
        const std::uint8_t* start = data + stride * static_cast<std::size_t>(y);
        if (bits <= 8)
            return start;
        const auto* wide = reinterpret_cast<const std::uint16_t*>(start);
        const unsigned top = (1u << bits) - 1;
        for (int x = 0; x < width; ++x)
            scratch[x] = static_cast<std::uint8_t>((std::min<unsigned>(wide[x], top) * 255 + top / 2) / top);
        return scratch;
    }
};

} // namespace

void decodeHeifFile(const std::string& path, RowSink& sink)
{
    InputFile file = openInputFile(path);
    initialiseOnce();
    Source source;
    source.file = file.get();
    if (seekInput(source.file, 0, SEEK_END) == 0)
        source.size = tellInput(source.file);
    if (source.size < 0 || seekInput(source.file, 0, SEEK_SET) != 0)
        throwDecodeError(PictureFormat::Heif, path, "the file cannot be read");

    const auto check = [&](const heif_error& error) {
        if (error.code == heif_error_Ok)
            return;
        // Some of libheif's texts end in a line break.
        std::string_view text = error.message ? error.message : "";
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.remove_suffix(1);
        throwDecodeError(PictureFormat::Heif, path, text.empty() ? "unknown error" : text);
    };

    Context context(heif_context_alloc());
    if (!context)
        throwDecodeError(PictureFormat::Heif, path, "out of memory");
    heif_context_set_maximum_image_size_limit(context.get(), largestSide + 1);
    // Phones store a picture as a grid of tiles; libheif decodes them on as
    // many threads as it is given.
    heif_context_set_max_decoding_threads(context.get(),
                                          static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    check(heif_context_read_from_reader(context.get(), &fileReader, &source, nullptr));

    heif_image_handle* primary = nullptr;
    check(heif_context_get_primary_image_handle(context.get(), &primary));
    Handle handle(primary);
    // The size as shown, the container's rotation applied.
    requirePictureSize(PictureFormat::Heif, path, static_cast<std::uint64_t>(heif_image_handle_get_width(primary)),
                       static_cast<std::uint64_t>(heif_image_handle_get_height(primary)));
    const bool premultiplied = heif_image_handle_is_premultiplied_alpha(primary) != 0;

    // Planar RGB, as libheif makes it from YCbCr in any case (a grid's tiles
    // are pasted straight into its planes): any other layout would be a
    // second whole copy of the picture. The planes are interleaved a band
    // at a time. The container's rotation, mirroring and crop are applied
    // by libheif; an EXIF orientation in the file only repeats them.
    heif_image* decoded = nullptr;
    check(heif_decode_image(primary, &decoded, heif_colorspace_RGB, heif_chroma_444, nullptr));
    Image image(decoded);
    // The compressed data and the file's structure are not needed any more.
    handle.reset();
    context.reset();
    file.reset();

    const int width = heif_image_get_primary_width(decoded);
    const int height = heif_image_get_primary_height(decoded);
    // What was decoded need not have the size the file declared (a grid has
    // its own, a coded picture too): it is checked again before it is read.
    requirePictureSize(PictureFormat::Heif, path, static_cast<std::uint64_t>(std::max(width, 0)),
                       static_cast<std::uint64_t>(std::max(height, 0)));
    // Whether the channel is there with samples of a layout read here, for
    // every pixel of the picture. (libheif asserts when asked about a channel it lacks.)
    const auto usable = [&](heif_channel channel) {
        if (!heif_image_has_channel(decoded, channel))
            return false;
        const int bits = heif_image_get_bits_per_pixel_range(decoded, channel);
        const int storedBits = heif_image_get_bits_per_pixel(decoded, channel);
        return bits >= 1 && bits <= 16 && storedBits == (bits <= 8 ? 8 : 16) &&
               heif_image_get_width(decoded, channel) >= width && heif_image_get_height(decoded, channel) >= height;
    };
    const auto planeOf = [&](heif_channel channel) {
        Plane plane;
        int stride = 0;
        plane.data = heif_image_get_plane_readonly(decoded, channel, &stride);
        plane.stride = static_cast<std::size_t>(stride);
        plane.bits = heif_image_get_bits_per_pixel_range(decoded, channel);
        return plane;
    };
    if (heif_image_get_colorspace(decoded) != heif_colorspace_RGB ||
        heif_image_get_chroma_format(decoded) != heif_chroma_444 || !usable(heif_channel_R) ||
        !usable(heif_channel_G) || !usable(heif_channel_B))
        throwDecodeError(PictureFormat::Heif, path, "unsupported layout of the decoded picture");
    const Plane red = planeOf(heif_channel_R);
    const Plane green = planeOf(heif_channel_G);
    const Plane blue = planeOf(heif_channel_B);
    // Premultiplied colour is the picture composed over black already.
    // libheif turns and mirrors the colour planes only: an alpha plane that
    // then no longer covers the picture is left out, the picture shown opaque.
    const bool alpha = !premultiplied && usable(heif_channel_Alpha);
    const Plane opacity = alpha ? planeOf(heif_channel_Alpha) : Plane {};

    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> band(rowBytes * bandHeight);
    std::vector<const std::uint8_t*> rows(bandHeight);
    std::vector<std::uint8_t> deep(static_cast<std::size_t>(width) * 4);   // 8-bit forms of deeper samples
    std::vector<std::uint8_t> rgba(alpha ? static_cast<std::size_t>(width) * 4 : 0);
    std::uint8_t* const scratch[] = {deep.data(), deep.data() + width, deep.data() + 2 * width,
                                     deep.data() + 3 * width};

    sink.start(width, height);
    for (int y = 0; y < height; y += bandHeight) {
        const int n = std::min(bandHeight, height - y);
        for (int i = 0; i < n; ++i) {
            std::uint8_t* out = band.data() + rowBytes * static_cast<std::size_t>(i);
            const std::uint8_t* r = red.row(y + i, width, scratch[0]);
            const std::uint8_t* g = green.row(y + i, width, scratch[1]);
            const std::uint8_t* b = blue.row(y + i, width, scratch[2]);
            if (alpha) {
                const std::uint8_t* a = opacity.row(y + i, width, scratch[3]);
                for (int x = 0; x < width; ++x) {
                    rgba[4 * static_cast<std::size_t>(x)] = r[x];
                    rgba[4 * static_cast<std::size_t>(x) + 1] = g[x];
                    rgba[4 * static_cast<std::size_t>(x) + 2] = b[x];
                    rgba[4 * static_cast<std::size_t>(x) + 3] = a[x];
                }
                composeOverBlack(rgba.data(), out, width);
            } else {
                for (int x = 0; x < width; ++x, out += 3) {
                    out[0] = r[x];
                    out[1] = g[x];
                    out[2] = b[x];
                }
            }
            rows[static_cast<std::size_t>(i)] = band.data() + rowBytes * static_cast<std::size_t>(i);
        }
        sink.putRows(rows.data(), n);
    }
    image.reset();
    sink.finish();
}

} // namespace plimbury
