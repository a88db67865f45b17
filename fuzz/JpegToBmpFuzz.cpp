// The wallpaper conversion with any file named .jpg: convertJpegToBmp either
// fails with the user's text, leaving the previous bitmap byte for byte and no
// temporary file behind, or writes a valid 24-bit bitmap (and as valid an
// 8-bit one when asked for a palette) whose size is exactly
// what the picture's dimensions make, those dimensions being the ones libjpeg
// itself reads from the file (turned a quarter for the EXIF orientations that
// swap the axes).

#include "FuzzSupport.h"

#include "imaging/Jpeg.h"
#include "platform/Error.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include <jpeglib.h>
#include <jerror.h>

namespace {

using plimbury::fuzz::failure;

struct JumpingErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JumpingErrors*>(cinfo->err)->jump, 1);
}

void quiet(j_common_ptr) {}

// The stored dimensions as libjpeg reads them from the header; nullopt when
// it cannot. Owns no C++ objects, so the jump skips no destructor.
bool headerSize(const std::uint8_t* data, std::size_t size, unsigned& width, unsigned& height)
{
    jpeg_decompress_struct cinfo;
    JumpingErrors err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jumpOut;
    err.pub.output_message = quiet;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    width = cinfo.image_width;
    height = cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return true;
}

std::uint32_t u32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]))
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t u16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

// Width and height of a bitmap as the converter must write it (24 bits, or 8
// with the 252 colours of its palette); fails the run otherwise.
std::pair<std::uint32_t, std::uint32_t> checkBitmap(const std::string& bmp, int bits)
{
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        failure("not a bitmap");
    const std::uint32_t w = u32(bmp, 18);
    const std::uint32_t h = u32(bmp, 22);
    const std::uint32_t colours = bits == 8 ? 252 : 0;
    const std::uint64_t pixels = 54 + 4 * colours;
    const std::uint64_t stride = (std::uint64_t{w} * static_cast<unsigned>(bits / 8) + 3) & ~std::uint64_t{3};
    const std::uint64_t expected = pixels + stride * h;
    if (w == 0 || h == 0 || h > 0x7FFFFFFF)
        failure("bitmap dimensions out of range");
    if (bmp.size() != expected || u32(bmp, 2) != expected)
        failure("bitmap size does not match its dimensions");
    if (u32(bmp, 10) != pixels || u32(bmp, 14) != 40 || u16(bmp, 26) != 1 || u16(bmp, 28) != bits
        || u32(bmp, 30) != 0 || u32(bmp, 34) != expected - pixels || u32(bmp, 46) != colours)
        failure("bitmap header fields");
    return {w, h};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path dir = plimbury::fuzz::freshScratch("jpeg");
    const std::filesystem::path jpeg = dir / "picture.jpg";
    const std::filesystem::path bmp = dir / "lumavue.bmp";
    const std::string previous = "the previous wallpaper";
    plimbury::fuzz::writeAll(jpeg, std::string_view(reinterpret_cast<const char*>(data), size));
    plimbury::fuzz::writeAll(bmp, previous);

    bool converted = false;
    try {
        plimbury::convertJpegToBmp(jpeg.string(), bmp.string());
        converted = true;
    } catch (const plimbury::Error& e) {
        if (std::strlen(e.what()) == 0)
            failure("an error without text");
    }

    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++files;
    if (files != 2)
        failure("a temporary file was left behind");

    const std::string written = plimbury::fuzz::readAll(bmp);
    if (!converted) {
        if (written != previous)
            failure("a failed conversion touched the previous bitmap");
        return 0;
    }
    const auto [w, h] = checkBitmap(written, 24);
    unsigned width = 0;
    unsigned height = 0;
    if (!headerSize(data, size, width, height))
        failure("converted a file whose header libjpeg cannot read");
    if (!((w == width && h == height) || (w == height && h == width)))
        failure("bitmap dimensions differ from the picture's");

    // The same picture for a display of 256 colours: the same decode, so it
    // converts too, to the same dimensions; only a picture turned by its EXIF
    // orientation may be too large to be held whole for it.
    try {
        plimbury::convertJpegToBmp(jpeg.string(), bmp.string(), plimbury::BmpColours::Palette);
    } catch (const plimbury::Error& e) {
        if (e.what() == "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG))
            return 0;
        failure("converted with 24 bits but not with a palette", e.what());
    }
    if (checkBitmap(plimbury::fuzz::readAll(bmp), 8) != std::pair {w, h})
        failure("the 8-bit bitmap's dimensions differ from the 24-bit one's");
    return 0;
}
