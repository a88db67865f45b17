// The wallpaper conversion with any file named .jpg: convertJpegToBmp either
// fails with the user's text, leaving the previous bitmap byte for byte and no
// temporary file behind, or writes a valid 24-bit bitmap (and as valid an
// 8-bit one when asked for a palette) whose size is exactly
// what the picture's dimensions make, those dimensions being the ones libjpeg
// itself reads from the file (turned a quarter for the EXIF orientations that
// swap the axes).

#include "FuzzSupport.h"

#include "imaging/Decoding.h"
#include "imaging/Jpeg.h"
#include "platform/Error.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace {

using plimbury::fuzz::checkBitmap;
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // libjpeg decodes whatever size a header claims, filling what the data
    // lacks: a few bytes can make a picture of up to 2^28 pixels that takes
    // minutes to write, which finds nothing a smaller one would not. Larger
    // claims stay in: they are refused before decoding.
    if (unsigned width = 0, height = 0; headerSize(data, size, width, height)) {
        const std::uint64_t pixels = std::uint64_t {width} * height;
        if (pixels > (plimbury::fuzz::kComparedPixels << 2) && pixels <= plimbury::kMaxPicturePixels)
            return 0;
    }
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
    if (checkBitmap(plimbury::fuzz::readAll(bmp), 8) != plimbury::fuzz::PictureSize {w, h})
        failure("the 8-bit bitmap's dimensions differ from the 24-bit one's");
    return 0;
}
