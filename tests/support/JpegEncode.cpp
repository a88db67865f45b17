#include "support/JpegEncode.h"

#include "imaging/BmpWriter.h"

#include "imaging/Jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <jpeglib.h>

namespace plimbury::test {

namespace {

struct Compressor {
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr err {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    Compressor()
    {
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
    }
    ~Compressor()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    std::string write(const std::uint8_t* samples, std::size_t rowBytes)
    {
        while (cinfo.next_scanline < cinfo.image_height) {
            auto* row = const_cast<JSAMPROW>(samples + rowBytes * cinfo.next_scanline);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        return std::string(reinterpret_cast<const char*>(buffer), size);
    }
};

void put16(std::string& s, unsigned v, bool be)
{
    const char a = static_cast<char>(v & 0xFF), b = static_cast<char>(v >> 8);
    s += be ? b : a;
    s += be ? a : b;
}

void put32(std::string& s, unsigned v, bool be)
{
    put16(s, be ? v >> 16 : v & 0xFFFF, be);
    put16(s, be ? v & 0xFFFF : v >> 16, be);
}

} // namespace

std::string encodeJpeg(const Picture& picture, const JpegOptions& options)
{
    Compressor c;
    c.cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    c.cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    c.cinfo.input_components = 3;
    c.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    if (options.grayscale)
        jpeg_set_colorspace(&c.cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&c.cinfo, options.quality, TRUE);
    c.cinfo.comp_info[0].h_samp_factor = options.grayscale ? 1 : options.lumaH;
    c.cinfo.comp_info[0].v_samp_factor = options.grayscale ? 1 : options.lumaV;
    if (options.progressive)
        jpeg_simple_progression(&c.cinfo);
    jpeg_start_compress(&c.cinfo, TRUE);
    if (options.orientation) {
        const std::string exif = exifPayload(options.orientation, options.bigEndianExif);
        jpeg_write_marker(&c.cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                          static_cast<unsigned>(exif.size()));
    }
    return c.write(picture.rgb.data(), static_cast<std::size_t>(picture.width) * 3);
}

void writeJpegFile(const std::string& path, const Picture& picture, const JpegOptions& options)
{
    const std::string bytes = encodeJpeg(picture, options);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void writeGreyBitmap(const std::string& path)
{
    const std::string jpeg = path + ".source.jpg";
    writeJpegFile(jpeg, Picture{4, 2, std::vector<std::uint8_t>(4 * 2 * 3, 128)});
    convertJpegToBmp(jpeg, path);
    std::filesystem::remove(jpeg);
}

void writeSolidBitmap(const std::string& path, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    BmpWriter writer(path);
    writer.start(4, 4);
    const std::uint8_t row[12] = {red, green, blue, red, green, blue, red, green, blue, red, green, blue};
    for (int y = 0; y < 4; ++y) {
        const std::uint8_t* rows[1] = {row};
        writer.putRows(rows, 1);
    }
    writer.finish();
}

std::string encodeCmykJpeg(const std::vector<std::uint8_t>& cmyk, int width, int height, bool ycck, bool adobeMarker)
{
    Compressor c;
    c.cinfo.image_width = static_cast<JDIMENSION>(width);
    c.cinfo.image_height = static_cast<JDIMENSION>(height);
    c.cinfo.input_components = 4;
    c.cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_colorspace(&c.cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    c.cinfo.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_start_compress(&c.cinfo, TRUE);
    return c.write(cmyk.data(), static_cast<std::size_t>(width) * 4);
}

std::string exifPayload(int orientation, bool bigEndian)
{
    std::string s("Exif\0\0", 6);
    s += bigEndian ? "MM" : "II";
    put16(s, 42, bigEndian);
    put32(s, 8, bigEndian);          // IFD0 right after the TIFF header
    put16(s, 2, bigEndian);          // entries: another tag first, then the orientation
    put16(s, 0x010F, bigEndian);     // Make, ASCII, 4 bytes inline
    put16(s, 2, bigEndian);
    put32(s, 4, bigEndian);
    s += std::string("cam\0", 4);
    put16(s, 0x0112, bigEndian);
    put16(s, 3, bigEndian);
    put32(s, 1, bigEndian);
    put16(s, static_cast<unsigned>(orientation), bigEndian);
    put16(s, 0, bigEndian);
    put32(s, 0, bigEndian);          // no next IFD
    return s;
}

} // namespace plimbury::test
