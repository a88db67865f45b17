#pragma once
// Shared by the fuzz drivers: a scratch folder per process, and a failure that
// libFuzzer records as a crash with the reason on stderr. Built into the unit
// tests to replay the corpora (PLIMBURY_FUZZ_REPLAY), a failure throws instead.
// Also the checks every picture format's driver makes of the wallpaper
// conversion (checkPictureConversion).

#include "imaging/Decoders.h"
#include "imaging/Picture.h"
#include "imaging/PictureFormat.h"
#include "platform/Error.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace plimbury::fuzz {

// A fresh folder for this process, on a memory file system when there is one:
// every flush syncs, and a disk would make each run hundreds of times slower.
// $PLIMBURY_FUZZ_DIR chooses another parent.
inline const std::filesystem::path& scratchRoot()
{
    // Never destroyed: the exit handler that removes the folder runs after
    // the destructors of function statics made before it was registered.
    static const std::filesystem::path& dir = *[] {
        std::filesystem::path parent;
        if (const char* chosen = std::getenv("PLIMBURY_FUZZ_DIR"); chosen && *chosen)
            parent = chosen;
        else if (std::filesystem::is_directory("/dev/shm"))
            parent = "/dev/shm";
        else
            parent = std::filesystem::temp_directory_path();
        auto* d = new std::filesystem::path(parent / ("plimbury-fuzz-" + std::to_string(getpid())));
        std::filesystem::create_directories(*d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchRoot(), ec);
        });
        return d;
    }();
    return dir;
}

// The driver's own folder in it, emptied.
inline std::filesystem::path freshScratch(const char* driver)
{
    const std::filesystem::path dir = scratchRoot() / driver;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

[[noreturn]] inline void failure(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "FAILURE: %s", what);
    if (!detail.empty()) {
        std::fprintf(stderr, " [");
        for (unsigned char c : detail) {
            if (c >= 0x20 && c < 0x7F && c != '\\')
                std::fputc(c, stderr);
            else
                std::fprintf(stderr, "\\x%02X", c);
        }
        std::fprintf(stderr, "]");
    }
    std::fprintf(stderr, "\n");
#ifdef PLIMBURY_FUZZ_REPLAY
    throw std::runtime_error(what);
#else
    std::abort();
#endif
}

inline std::string readAll(const std::filesystem::path& path)
{
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            out.append(buffer, n);
        std::fclose(f);
    }
    return out;
}

inline void writeAll(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        failure("cannot write a scratch file", path.string());
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The model's reading of names in profile files, written apart from the code
// under test: blanks (these bytes) around a name do not count, and letters
// compare without regard to ASCII case.
inline constexpr std::string_view kBlanks = " \t\v\f\r\n\x1A";

inline std::string_view trimLeft(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

inline std::string_view trim(std::string_view s)
{
    s = trimLeft(s);
    const auto last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

inline std::string fold(std::string_view s)
{
    std::string out(trim(s));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// ---------------------------------------------------------------------------
// The wallpaper conversion of a picture file, checked from the outside.

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

inline std::uint32_t byteAt(std::string_view b, std::size_t at)
{
    return static_cast<unsigned char>(b[at]);
}

inline std::uint32_t littleEndian16(std::string_view b, std::size_t at)
{
    return byteAt(b, at) | byteAt(b, at + 1) << 8;
}

inline std::uint32_t littleEndian32(std::string_view b, std::size_t at)
{
    return littleEndian16(b, at) | littleEndian16(b, at + 2) << 16;
}

inline std::uint32_t bigEndian16(std::string_view b, std::size_t at)
{
    return byteAt(b, at) << 8 | byteAt(b, at + 1);
}

inline std::uint32_t bigEndian32(std::string_view b, std::size_t at)
{
    return bigEndian16(b, at) << 16 | bigEndian16(b, at + 2);
}

// The size of a bitmap as the converter must write it (24 bits, or 8 with
// the 252 colours of its palette); fails the run otherwise.
inline PictureSize checkBitmap(std::string_view bmp, int bits)
{
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        failure("not a bitmap");
    const std::uint32_t w = littleEndian32(bmp, 18);
    const std::uint32_t h = littleEndian32(bmp, 22);
    const std::uint32_t colours = bits == 8 ? 252 : 0;
    const std::uint64_t pixels = 54 + 4 * colours;
    const std::uint64_t stride = (std::uint64_t {w} * static_cast<unsigned>(bits / 8) + 3) & ~std::uint64_t {3};
    const std::uint64_t expected = pixels + stride * h;
    if (w == 0 || h == 0 || h > 0x7FFFFFFF)
        failure("bitmap dimensions out of range");
    if (bmp.size() != expected || littleEndian32(bmp, 2) != expected)
        failure("bitmap size does not match its dimensions");
    if (littleEndian32(bmp, 10) != pixels || littleEndian32(bmp, 14) != 40 || littleEndian16(bmp, 26) != 1 ||
        littleEndian16(bmp, 28) != static_cast<std::uint32_t>(bits) || littleEndian32(bmp, 30) != 0 ||
        littleEndian32(bmp, 34) != expected - pixels || littleEndian32(bmp, 46) != colours)
        failure("bitmap header fields");
    return {w, h};
}

// Whether a 24-bit bitmap (checked) holds exactly these pixels: BGR, the
// bottom row first, rows padded to 4 bytes.
inline bool bitmapHolds(std::string_view bmp, const Picture& picture)
{
    const std::size_t width = static_cast<std::size_t>(picture.width);
    const std::size_t stride = (width * 3 + 3) & ~std::size_t {3};
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        const std::uint8_t* in = picture.rgb.data() + width * 3 * y;
        const std::size_t row = 54 + stride * (static_cast<std::size_t>(picture.height) - 1 - y);
        for (std::size_t x = 0; x < width; ++x) {
            for (std::size_t c = 0; c < 3; ++c) {
                if (byteAt(bmp, row + 3 * x + c) != in[3 * x + 2 - c])
                    return false;
            }
        }
    }
    return true;
}

// Whether `message` is one of the texts a failed conversion of `path` gives
// (Decoders.h, Decoding.h, BmpWriter.h): a decode error of some format that
// says what went wrong, a picture too large, or a file of no format read.
inline bool isPictureError(std::string_view message, const std::string& path)
{
    const auto startsWith = [&](std::string_view prefix) { return message.substr(0, prefix.size()) == prefix; };
    const auto endsWith = [&](std::string_view suffix) {
        return message.size() >= suffix.size() && message.substr(message.size() - suffix.size()) == suffix;
    };
    if (message == notAPictureText(path))
        return true;
    if ((startsWith("The picture \"" + path + "\" (") || startsWith("The picture (")) &&
        (endsWith(") is too large") || endsWith(") is too large for a bitmap file")))
        return true;
    const std::string at = " error in \"" + path + "\": ";
    const std::size_t found = message.find(at);
    return found != std::string_view::npos && found > 0 && found + at.size() < message.size();
}

// Larger pictures are not loaded at full size a second time, nor converted
// to 8 bits: a header may make a tiny file a picture of 2^28 pixels, and one
// pass over that (the 24-bit conversion) is check enough.
inline constexpr std::uint64_t kComparedPixels = std::uint64_t {1} << 22;

// One input of a picture format's driver. The bytes are written as a file
// named `fileName` (its extension need not be what the content is) and
// converted to the wallpaper bitmap. Either the conversion fails with a text
// of isPictureError(), leaving the previous bitmap byte for byte and no
// temporary file, and the preview's load fails with the same text (both for
// content of `format`: a mutation may make it another's); or it
// writes a valid 24-bit bitmap, and then:
//  - when the content is of `format` and `stored` is given: as large as the
//    size it reads from the header, apart from the decoder (nullopt where it
//    cannot, which is a failure), or, where the format carries an
//    orientation that turns the picture (`mayTurn`), that turned a quarter;
//  - the preview's full-size load gives exactly the bitmap's pixels, so
//    both decodes of the file agree (uninitialised memory would not), unless
//    `comparePixels` is false;
//  - the 8-bit conversion gives a valid bitmap of the same size.
using StoredSize = std::optional<PictureSize> (*)(std::string_view picture);

inline void checkPictureConversion(const char* driver, const char* fileName, PictureFormat format, bool mayTurn,
                                   std::string_view bytes, StoredSize stored, bool comparePixels = true)
{
    const std::filesystem::path dir = freshScratch(driver);
    const std::string picture = (dir / fileName).string();
    const std::string bmp = (dir / "lumavue.bmp").string();
    const std::string previous = "the previous wallpaper";
    writeAll(picture, bytes);
    writeAll(bmp, previous);

    // A mutation may make the content another format's, whose texts and
    // decoder other drivers check.
    const bool ofFormat = sniffFormat(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) == format;
    std::optional<std::string> error;
    try {
        convertPictureToBmp(picture, bmp);
    } catch (const Error& e) {
        error = e.what();
        if (error->empty() || (ofFormat && !isPictureError(*error, picture)))
            failure("a failure without the user's text", *error);
    }

    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++files;
    if (files != 2)
        failure("a temporary file was left behind");

    const std::string written = readAll(bmp);
    if (error) {
        if (written != previous)
            failure("a failed conversion touched the previous bitmap");
        if (!ofFormat)
            return;
        // The preview meets the same damage. Shrunk as far as it goes, so a
        // header's large claim costs it no memory either.
        try {
            static_cast<void>(loadPicture(picture, 1, 1));
        } catch (const Error& e) {
            if (e.what() != *error)
                failure("the preview's load fails otherwise than the conversion", e.what());
            return;
        }
        failure("the preview loads what the conversion refused", *error);
    }

    const PictureSize size = checkBitmap(written, 24);
    if (ofFormat && stored) {
        const std::optional<PictureSize> header = stored(bytes);
        if (!header)
            failure("converted a file whose header gives no size");
        if (!(size == *header || (mayTurn && size == PictureSize {header->height, header->width})))
            failure("bitmap dimensions differ from the picture's");
    }
    if (std::uint64_t {size.width} * size.height > kComparedPixels)
        return;

    Picture loaded;
    try {
        loaded = loadPicture(picture);
    } catch (const Error& e) {
        failure("the preview cannot load what the conversion converted", e.what());
    }
    if (PictureSize {static_cast<std::uint32_t>(loaded.width), static_cast<std::uint32_t>(loaded.height)} != size)
        failure("the preview's size differs from the bitmap's");
    if (ofFormat && comparePixels && !bitmapHolds(written, loaded))
        failure("the preview's pixels differ from the bitmap's");

    try {
        convertPictureToBmp(picture, bmp, BmpColours::Palette);
    } catch (const Error& e) {
        failure("converted with 24 bits but not with a palette", e.what());
    }
    if (checkBitmap(readAll(bmp), 8) != size)
        failure("the 8-bit bitmap's dimensions differ from the 24-bit one's");
}

} // namespace plimbury::fuzz
