#include "imaging/JpegReader.h"

#include "imaging/Decoding.h"
#include "imaging/InputFile.h"
#include "imaging/Orientation.h"
#include "platform/Error.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace plimbury {

namespace {

// libjpeg reports errors by calling error_exit, which must not return. It
// jumps back to the setjmp of one of the guarded* functions below; those own
// no C++ objects, so the jump skips no destructor. The C++ exception is thrown
// only after they have returned.
struct ErrorManager {
    jpeg_error_mgr pub;   // first, as libjpeg sees only this part
    std::jmp_buf jump;
    int code = 0;
};

ErrorManager& errorManager(j_common_ptr cinfo)
{
    return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

std::jmp_buf& jumpOf(j_decompress_ptr cinfo)
{
    return errorManager(reinterpret_cast<j_common_ptr>(cinfo)).jump;
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    ErrorManager& err = errorManager(cinfo);
    err.code = cinfo->err->msg_code;
    std::longjmp(err.jump, 1);
}

// A warning means damaged data (a truncated file decodes to grey otherwise),
// so it ends the decode like an error; trace messages are ignored.
void emitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        errorExit(cinfo);
}

void outputMessage(j_common_ptr) {}

bool guardedCreate(j_decompress_ptr cinfo)
{
    if (setjmp(jumpOf(cinfo)))
        return false;
    jpeg_create_decompress(cinfo);
    return true;
}

// libjpeg's own stdio source refills 4 KiB at a time, and its Huffman decoder
// takes a slower path near the end of every buffer (about 15% slower
// previews); this one reads in larger pieces. Like libjpeg's, it turns the
// end of the file into a warning and a made-up end marker.
constexpr std::size_t sourceBufferSize = 128 * 1024;

struct FileSource {
    jpeg_source_mgr pub;   // first, as libjpeg sees only this part
    std::FILE* file = nullptr;
    JOCTET* buffer = nullptr;
    bool atStart = true;
};

FileSource& sourceOf(j_decompress_ptr cinfo)
{
    return *reinterpret_cast<FileSource*>(cinfo->src);
}

void initSource(j_decompress_ptr cinfo)
{
    sourceOf(cinfo).atStart = true;
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    FileSource& src = sourceOf(cinfo);
    std::size_t n = std::fread(src.buffer, 1, sourceBufferSize, src.file);
    if (n == 0) {
        if (src.atStart) {
            cinfo->err->msg_code = JERR_INPUT_EMPTY;
            cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
        }
        cinfo->err->msg_code = JWRN_JPEG_EOF;
        cinfo->err->emit_message(reinterpret_cast<j_common_ptr>(cinfo), -1);
        src.buffer[0] = 0xFF;
        src.buffer[1] = JPEG_EOI;
        n = 2;
    }
    src.pub.next_input_byte = src.buffer;
    src.pub.bytes_in_buffer = n;
    src.atStart = false;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& src = *cinfo->src;
    auto remaining = static_cast<std::size_t>(count);
    while (remaining > src.bytes_in_buffer) {
        remaining -= src.bytes_in_buffer;
        fillInputBuffer(cinfo);
    }
    src.next_input_byte += remaining;
    src.bytes_in_buffer -= remaining;
}

void termSource(j_decompress_ptr) {}

bool guardedReadHeader(j_decompress_ptr cinfo, FileSource* source, bool saveApp1)
{
    if (setjmp(jumpOf(cinfo)))
        return false;
    source->pub.init_source = initSource;
    source->pub.fill_input_buffer = fillInputBuffer;
    source->pub.skip_input_data = skipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = termSource;
    cinfo->src = &source->pub;
    if (saveApp1)
        jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);
    return true;
}

bool guardedCalcOutputDimensions(j_decompress_ptr cinfo)
{
    if (setjmp(jumpOf(cinfo)))
        return false;
    jpeg_calc_output_dimensions(cinfo);
    return true;
}

bool guardedStart(j_decompress_ptr cinfo)
{
    if (setjmp(jumpOf(cinfo)))
        return false;
    jpeg_start_decompress(cinfo);
    return true;
}

// -1 on error.
long guardedReadScanlines(j_decompress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count)
{
    if (setjmp(jumpOf(cinfo)))
        return -1;
    return static_cast<long>(jpeg_read_scanlines(cinfo, rows, count));
}

bool guardedFinish(j_decompress_ptr cinfo)
{
    if (setjmp(jumpOf(cinfo)))
        return false;
    jpeg_finish_decompress(cinfo);
    return true;
}

// round(a * b / 255) for a, b in 0..255, exactly.
inline std::uint8_t scale255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

bool isExif(const jpeg_saved_marker_ptr marker)
{
    return marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6
        && std::memcmp(marker->data, "Exif\0\0", 6) == 0;
}

constexpr int cmykScratchRows = 8;

// A progressive or multi-scan file is decoded from a copy of all its
// coefficients, 2 bytes per sample: a 30000 x 30000 picture would take 5 GB,
// and a few bytes of header can claim that. Beyond this libjpeg fails (it has
// no backing store) instead of taking the machine's memory; pictures of
// 170 megapixels and more are still decoded.
constexpr long maxDecoderMemory = 1L << 30;

} // namespace

struct JpegReader::State {
    std::string path;
    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    bool created = false;
    InputFile file;
    std::vector<JOCTET> sourceBuffer;
    FileSource source {};
    PixelOrder order = PixelOrder::Rgb;
    int orientation = 1;
    bool cmyk = false;
    bool invertedCmyk = false;
    bool swapRedBlue = false;   // for a libjpeg without BGR output
    std::vector<std::uint8_t> scratch;
    std::vector<JSAMPROW> scratchRows;

    ~State()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }

    [[noreturn]] void fail() const
    {
        throw Error("JPEG error #" + std::to_string(err.code));
    }

    void convertCmyk(int count, std::uint8_t* const* rows) const;
};

JpegReader::JpegReader(const std::string& path, PixelOrder order, bool readOrientation)
    : m(std::make_unique<State>())
{
    m->order = order;
    m->path = path;
    m->file = openInputFile(path);

    jpeg_decompress_struct* cinfo = &m->cinfo;
    cinfo->err = jpeg_std_error(&m->err.pub);
    m->err.pub.error_exit = errorExit;
    m->err.pub.emit_message = emitMessage;
    m->err.pub.output_message = outputMessage;
    if (!guardedCreate(cinfo))
        m->fail();
    m->created = true;
    cinfo->mem->max_memory_to_use = maxDecoderMemory;
    m->sourceBuffer.resize(sourceBufferSize);
    m->source.file = m->file.get();
    m->source.buffer = m->sourceBuffer.data();
    if (!guardedReadHeader(cinfo, &m->source, readOrientation))
        m->fail();

    if (readOrientation) {
        for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker; marker = marker->next) {
            if (isExif(marker)) {
                m->orientation = exifOrientation(marker->data, marker->data_length);
                break;
            }
        }
    }

    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
        // libjpeg turns YCCK into CMYK but no further; the rest is ours.
        cinfo->out_color_space = JCS_CMYK;
        m->cmyk = true;
        // Adobe's programs write CMYK inverted and mark the file with their
        // APP14 marker; files without it hold plain CMYK.
        m->invertedCmyk = cinfo->saw_Adobe_marker;
    } else {
#ifdef JCS_EXTENSIONS
        cinfo->out_color_space = order == PixelOrder::Bgr ? JCS_EXT_BGR : JCS_RGB;
#else
        cinfo->out_color_space = JCS_RGB;
        m->swapRedBlue = order == PixelOrder::Bgr;
#endif
    }
    if (!guardedCalcOutputDimensions(cinfo))
        m->fail();
}

JpegReader::~JpegReader() = default;

int JpegReader::orientation() const
{
    return m->orientation;
}

void JpegReader::scaleToCover(int minWidth, int minHeight)
{
    if (minWidth <= 0 && minHeight <= 0)
        return;
    jpeg_decompress_struct* cinfo = &m->cinfo;
    for (unsigned eighths = 1; eighths <= 8; ++eighths) {
        cinfo->scale_num = eighths;
        cinfo->scale_denom = 8;
        if (!guardedCalcOutputDimensions(cinfo))
            m->fail();
        const bool wideEnough = minWidth <= 0 || cinfo->output_width >= static_cast<JDIMENSION>(minWidth);
        const bool highEnough = minHeight <= 0 || cinfo->output_height >= static_cast<JDIMENSION>(minHeight);
        if (wideEnough && highEnough)
            return;
    }
}

int JpegReader::width() const
{
    return static_cast<int>(m->cinfo.output_width);
}

int JpegReader::height() const
{
    return static_cast<int>(m->cinfo.output_height);
}

void JpegReader::requireAtMost(std::uint64_t maxPixels) const
{
    if (std::uint64_t {m->cinfo.output_width} * m->cinfo.output_height > maxPixels) {
        m->err.code = JERR_IMAGE_TOO_BIG;
        m->fail();
    }
}

void JpegReader::start()
{
    // The bound of every other format: libjpeg decodes whatever a header
    // claims, and fills what the data lacks, so a file of a few hundred
    // bytes would otherwise keep the program busy for minutes.
    requirePictureSize(PictureFormat::Jpeg, m->path, m->cinfo.output_width, m->cinfo.output_height);
    if (!guardedStart(&m->cinfo))
        m->fail();
    if (m->cmyk) {
        const std::size_t rowBytes = 4 * static_cast<std::size_t>(m->cinfo.output_width);
        m->scratch.assign(rowBytes * cmykScratchRows, 0);
        for (int i = 0; i < cmykScratchRows; ++i)
            m->scratchRows.push_back(m->scratch.data() + rowBytes * static_cast<std::size_t>(i));
    }
}

int JpegReader::readRows(std::uint8_t* const* rows, int count)
{
    jpeg_decompress_struct* cinfo = &m->cinfo;
    int done = 0;
    while (done < count && cinfo->output_scanline < cinfo->output_height) {
        long n = 0;
        if (m->cmyk) {
            const int chunk = std::min(count - done, cmykScratchRows);
            n = guardedReadScanlines(cinfo, m->scratchRows.data(), static_cast<JDIMENSION>(chunk));
            if (n > 0)
                m->convertCmyk(static_cast<int>(n), rows + done);
        } else {
            n = guardedReadScanlines(cinfo, const_cast<JSAMPARRAY>(rows + done), static_cast<JDIMENSION>(count - done));
            if (n > 0 && m->swapRedBlue) {
                for (long r = 0; r < n; ++r) {
                    std::uint8_t* p = rows[done + r];
                    for (JDIMENSION x = 0; x < cinfo->output_width; ++x, p += 3)
                        std::swap(p[0], p[2]);
                }
            }
        }
        if (n < 0)
            m->fail();
        done += static_cast<int>(n);
    }
    return done;
}

void JpegReader::State::convertCmyk(int count, std::uint8_t* const* rows) const
{
    const unsigned flip = invertedCmyk ? 0 : 255;
    const bool bgr = order == PixelOrder::Bgr;
    for (int r = 0; r < count; ++r) {
        const std::uint8_t* in = scratchRows[static_cast<std::size_t>(r)];
        std::uint8_t* out = rows[r];
        for (JDIMENSION x = 0; x < cinfo.output_width; ++x, in += 4, out += 3) {
            // Amounts of ink become amounts of light: 255 - ink, darkened by black.
            const unsigned k = in[3] ^ flip;
            const std::uint8_t red = scale255(in[0] ^ flip, k);
            const std::uint8_t green = scale255(in[1] ^ flip, k);
            const std::uint8_t blue = scale255(in[2] ^ flip, k);
            out[0] = bgr ? blue : red;
            out[1] = green;
            out[2] = bgr ? red : blue;
        }
    }
}

void JpegReader::finish()
{
    if (!guardedFinish(&m->cinfo))
        m->fail();
}

} // namespace plimbury
