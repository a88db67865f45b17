#include "imaging/BmpWriter.h"

#include "platform/AtomicFile.h"
#include "platform/Error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <stdexcept>

namespace plimbury {

namespace {

void putU16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::uint8_t* p, std::uint32_t v)
{
    putU16(p, v & 0xFFFF);
    putU16(p + 2, v >> 16);
}

constexpr std::uint64_t kHeadersSize = 54;   // BITMAPFILEHEADER + BITMAPINFOHEADER

// The palette: a cube of 6 reds x 7 greens x 6 blues (the eye tells greens
// apart best), index (r * 7 + g) * 6 + b.
constexpr int kLevels[3] = {6, 7, 6};
constexpr int kPaletteSize = kLevels[0] * kLevels[1] * kLevels[2];

constexpr int levelValue(int level, int levels)
{
    return (level * 255 + (levels - 1) / 2) / (levels - 1);
}

std::vector<std::uint8_t> headers(const BmpLayout& layout)
{
    std::vector<std::uint8_t> h(static_cast<std::size_t>(layout.pixelOffset), 0);
    h[0] = 'B';
    h[1] = 'M';
    putU32(&h[2], static_cast<std::uint32_t>(layout.fileSize));
    putU32(&h[10], static_cast<std::uint32_t>(layout.pixelOffset));
    putU32(&h[14], 40);                                       // BITMAPINFOHEADER
    putU32(&h[18], static_cast<std::uint32_t>(layout.width));
    putU32(&h[22], static_cast<std::uint32_t>(layout.height)); // positive: bottom-up
    putU16(&h[26], 1);                                        // planes
    putU16(&h[28], static_cast<std::uint32_t>(layout.bitsPerPixel));
    putU32(&h[30], 0);                                        // BI_RGB
    putU32(&h[34], static_cast<std::uint32_t>(layout.fileSize - layout.pixelOffset));
    putU32(&h[46], static_cast<std::uint32_t>(layout.paletteSize)); // colours used
    // Resolution and important colours stay 0: unspecified, all.
    if (layout.paletteSize) {
        std::uint8_t* entry = &h[kHeadersSize];
        for (int r = 0; r < kLevels[0]; ++r)
            for (int g = 0; g < kLevels[1]; ++g)
                for (int b = 0; b < kLevels[2]; ++b, entry += 4) {
                    entry[0] = static_cast<std::uint8_t>(levelValue(b, kLevels[2]));
                    entry[1] = static_cast<std::uint8_t>(levelValue(g, kLevels[1]));
                    entry[2] = static_cast<std::uint8_t>(levelValue(r, kLevels[0]));
                }
    }
    return h;
}

// For each channel and wanted value: its part of the palette index (the
// nearest level, weighted by the channel's place) and what that level misses.
struct CubeStep {
    std::uint8_t part;
    std::int8_t error;
};
using CubeTable = std::array<std::array<CubeStep, 256>, 3>;

constexpr CubeTable makeCubeTable()
{
    CubeTable table {};
    const int weights[3] = {kLevels[1] * kLevels[2], kLevels[2], 1};
    for (int c = 0; c < 3; ++c) {
        const int levels = kLevels[c];
        for (int v = 0; v < 256; ++v) {
            const int level = (v * (levels - 1) + 127) / 255;
            table[static_cast<std::size_t>(c)][static_cast<std::size_t>(v)] =
                CubeStep {static_cast<std::uint8_t>(level * weights[c]), static_cast<std::int8_t>(v - levelValue(level, levels))};
        }
    }
    return table;
}

constexpr CubeTable kCube = makeCubeTable();

} // namespace

BmpLayout BmpLayout::of(int width, int height, BmpColours colours)
{
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("BmpLayout: empty picture");
    BmpLayout l;
    l.width = width;
    l.height = height;
    const bool palette = colours == BmpColours::Palette;
    l.bitsPerPixel = palette ? 8 : 24;
    l.paletteSize = palette ? kPaletteSize : 0;
    l.pixelOffset = kHeadersSize + 4 * static_cast<std::uint64_t>(l.paletteSize);
    l.rowStride = (static_cast<std::uint64_t>(width) * (palette ? 1 : 3) + 3) & ~std::uint64_t {3};
    l.fileSize = l.pixelOffset + l.rowStride * static_cast<std::uint64_t>(height);
    if (l.fileSize > std::numeric_limits<std::uint32_t>::max())
        throw Error("The picture (" + std::to_string(width) + " x " + std::to_string(height)
                    + ") is too large for a bitmap file");
    return l;
}

std::uint64_t BmpLayout::offsetOfRow(int row) const
{
    return pixelOffset + static_cast<std::uint64_t>(height - 1 - row) * rowStride;
}

BmpWriter::BmpWriter(std::string path, BmpColours colours)
    : m_path(std::move(path))
    , m_colours(colours)
{
}

BmpWriter::~BmpWriter()
{
    stopWriter();
}

void BmpWriter::setBuffers(std::size_t bytes, int count)
{
    if (m_file)
        throw std::logic_error("BmpWriter::setBuffers after start");
    m_bufferSize = bytes;
    m_bufferCount = std::max(count, 1);
}

void BmpWriter::failCreate(int errnoValue) const
{
    throw Error("Cannot create file \"" + m_path + "\". " + systemErrorText(errnoValue));
}

void BmpWriter::start(int width, int height)
{
    if (m_file)
        throw std::logic_error("BmpWriter::start twice");
    m_layout = BmpLayout::of(width, height, m_colours);
    try {
        m_file = std::make_unique<AtomicFile>(m_path);
        // The whole size first: bands arrive bottom of the file last, and
        // padding bytes no band writes read as zero.
        m_file->reserve(m_layout.fileSize);
        const auto header = headers(m_layout);
        m_file->writeAt(0, header.data(), header.size());
    } catch (const FileError& e) {
        m_file.reset();
        failCreate(e.errnoValue);
    }
    // At least a row; no more than the picture: a small picture takes one
    // buffer of its own size, not several of a wallpaper's.
    const std::uint64_t pixelBytes = m_layout.fileSize - m_layout.pixelOffset;
    m_bufferSize = static_cast<std::size_t>(
        std::max<std::uint64_t>(m_layout.rowStride, std::min<std::uint64_t>(m_bufferSize, pixelBytes)));
    if (m_bufferSize >= pixelBytes)
        m_bufferCount = 1;
    m_buffers.resize(static_cast<std::size_t>(m_bufferCount));
    for (auto& buffer : m_buffers) {
        buffer.assign(m_bufferSize, 0);
        m_free.push_back(buffer.data());
    }
    if (m_colours == BmpColours::Palette) {
        m_errorsHere.assign((static_cast<std::size_t>(width) + 2) * 3, 0);
        m_errorsBelow.assign(m_errorsHere.size(), 0);
    }
    m_writer = std::thread(&BmpWriter::writerLoop, this);
}

int BmpWriter::bandRows() const
{
    const auto rows = m_bufferSize / m_layout.rowStride;
    return static_cast<int>(std::min<std::uint64_t>(rows, static_cast<std::uint64_t>(m_layout.height)));
}

void BmpWriter::throwIfWriteFailed()
{
    int error = 0;
    {
        std::lock_guard lock(m_mutex);
        error = m_writeError;
    }
    if (error)
        failCreate(error);
}

std::uint8_t* BmpWriter::acquireBuffer()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_free.empty() || m_writeError; });
    if (m_writeError) {
        const int error = m_writeError;
        lock.unlock();
        failCreate(error);
    }
    std::uint8_t* buffer = m_free.back();
    m_free.pop_back();
    return buffer;
}

void BmpWriter::submit(std::uint8_t* buffer, const Placement& placement)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job {buffer, placement});
    }
    m_changed.notify_all();
    throwIfWriteFailed();
}

void BmpWriter::writerLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = m_jobs.front();
            m_jobs.pop_front();
        }
        int error = 0;
        {
            std::lock_guard lock(m_mutex);
            error = m_writeError;
        }
        // After a failure the remaining jobs only give their buffers back, so
        // the producer never waits for a buffer that cannot come.
        if (!error) {
            try {
                const Placement& p = job.placement;
                for (int k = 0; k < p.pieces; ++k) {
                    m_file->writeAt(p.fileOffset + static_cast<std::uint64_t>(k) * p.fileStride,
                                    job.buffer + static_cast<std::size_t>(k) * p.bufferStride, p.pieceSize);
                }
                // A whole band lies in one stretch of the file: let the disk
                // start on it while the next band decodes, instead of flushing
                // the whole picture at the end.
                if (p.pieces == 1 || p.fileStride == p.pieceSize)
                    m_file->startWriteback(p.fileOffset, static_cast<std::uint64_t>(p.pieces) * p.pieceSize);
            } catch (const FileError& e) {
                error = e.errnoValue ? e.errnoValue : EIO;
            }
        }
        {
            std::lock_guard lock(m_mutex);
            if (error && !m_writeError)
                m_writeError = error;
            m_free.push_back(job.buffer);
        }
        m_changed.notify_all();
    }
}

void BmpWriter::stopWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_writer.joinable())
        m_writer.join();
}

void BmpWriter::putRows(const std::uint8_t* const* rows, int count)
{
    if (!m_file || count < 0 || count > m_layout.height - m_nextRow)
        throw std::logic_error("BmpWriter::putRows: rows outside the picture");
    const std::size_t width = static_cast<std::size_t>(m_layout.width);
    for (int i = 0; i < count; ++i) {
        if (!m_band) {
            m_band = acquireBuffer();
            m_bandFirstRow = m_nextRow;
            m_bandRowCount = std::min(bandRows(), m_layout.height - m_nextRow);
        }
        // The file holds the band bottom row first.
        const int k = m_bandFirstRow + m_bandRowCount - 1 - m_nextRow;
        std::uint8_t* out = m_band + static_cast<std::size_t>(k) * m_layout.rowStride;
        const std::uint8_t* in = rows[i];
        if (m_colours == BmpColours::Palette) {
            quantizeRow(in, out);
        } else {
            for (std::size_t x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
        ++m_nextRow;
        if (m_nextRow == m_bandFirstRow + m_bandRowCount)
            submitBand();
    }
}

// Floyd-Steinberg error diffusion onto the colour cube: what a pixel misses
// of its colour goes 7/16 to the pixel on its right, 3/16, 5/16 and 1/16 to
// the three below it, so areas keep their colour on average.
void BmpWriter::quantizeRow(const std::uint8_t* rgb, std::uint8_t* out)
{
    std::swap(m_errorsHere, m_errorsBelow);
    std::fill(m_errorsBelow.begin(), m_errorsBelow.end(), 0);
    // Errors are kept in sixteenths; index 3 is the first pixel's.
    const int* here = m_errorsHere.data() + 3;
    int* below = m_errorsBelow.data() + 3;
    int carried[3] = {0, 0, 0};   // from the pixel on the left
    for (int x = 0; x < m_layout.width; ++x, rgb += 3, here += 3, below += 3) {
        unsigned index = 0;
        for (int c = 0; c < 3; ++c) {
            const int wanted = std::clamp(rgb[c] + ((here[c] + carried[c] + 8) >> 4), 0, 255);
            const CubeStep step = kCube[static_cast<std::size_t>(c)][static_cast<std::size_t>(wanted)];
            index += step.part;
            carried[c] = 7 * step.error;
            below[c - 3] += 3 * step.error;
            below[c] += 5 * step.error;
            below[c + 3] += step.error;
        }
        out[x] = static_cast<std::uint8_t>(index);
    }
}

void BmpWriter::submitBand()
{
    std::uint8_t* band = m_band;
    m_band = nullptr;
    Placement p;
    p.fileOffset = m_layout.offsetOfRow(m_bandFirstRow + m_bandRowCount - 1);
    p.pieceSize = static_cast<std::size_t>(m_bandRowCount) * m_layout.rowStride;
    submit(band, p);
}

void BmpWriter::finish()
{
    if (!m_file || m_band || (m_nextRow != 0 && m_nextRow != m_layout.height))
        throw std::logic_error("BmpWriter::finish: picture incomplete");
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_jobs.empty() && m_free.size() == m_buffers.size(); });
    }
    stopWriter();
    throwIfWriteFailed();
    try {
        m_file->commit();
    } catch (const FileError& e) {
        failCreate(e.errnoValue);
    }
}

} // namespace plimbury
