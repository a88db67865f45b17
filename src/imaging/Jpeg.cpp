#include "imaging/Jpeg.h"

#include "imaging/BmpWriter.h"
#include "imaging/JpegReader.h"
#include "imaging/Orientation.h"
#include "imaging/Picture.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace plimbury {

namespace {

// Rows handed over at a time where the caller's memory is not the limit.
constexpr int bandHeight = 16;
// Stored rows turned at a time: each oriented row then receives whole cache
// lines, which makes turning several times faster than with short bands.
constexpr int transposeBand = 64;

// A picture held in memory is refused beyond this (768 MiB of pixels), so a
// damaged or hostile header cannot make us fill gigabytes before its data
// runs out.
constexpr std::uint64_t maxPixelsInMemory = std::uint64_t {1} << 28;

void readExactly(JpegReader& reader, std::uint8_t* const* rows, int count)
{
    if (reader.readRows(rows, count) != count)
        throw std::logic_error("JpegReader: fewer rows than the picture has");
}

struct ScratchRows {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t*> rows;

    ScratchRows(int width, int count)
        : bytes(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(count))
    {
        for (int i = 0; i < count; ++i)
            rows.push_back(bytes.data() + static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(i));
    }
};

void chooseScale(JpegReader& reader, const DecodeOptions& options, int orientation)
{
    if (swapsAxes(orientation))
        reader.scaleToCover(options.minHeight, options.minWidth);
    else
        reader.scaleToCover(options.minWidth, options.minHeight);
}

// Decodes the rest of an opened, scaled file into memory, oriented.
Picture decodeOriented(JpegReader& reader, int orientation)
{
    reader.requireAtMost(maxPixelsInMemory);
    reader.start();
    const int w = reader.width();
    const int h = reader.height();
    Picture picture;
    picture.width = swapsAxes(orientation) ? h : w;
    picture.height = swapsAxes(orientation) ? w : h;
    picture.rgb.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    const std::size_t stride = static_cast<std::size_t>(picture.width) * 3;
    std::uint8_t* const base = picture.rgb.data();

    if (!swapsAxes(orientation)) {
        std::vector<std::uint8_t*> rows(bandHeight);
        // Flips only: every stored row is decoded straight into its final place.
        for (int y = 0; y < h; y += bandHeight) {
            const int n = std::min(bandHeight, h - y);
            for (int i = 0; i < n; ++i) {
                const int target = reversesRowOrder(orientation) ? h - 1 - (y + i) : y + i;
                rows[static_cast<std::size_t>(i)] = base + stride * static_cast<std::size_t>(target);
            }
            readExactly(reader, rows.data(), n);
            if (mirrorsRows(orientation)) {
                for (int i = 0; i < n; ++i)
                    reversePixels(rows[static_cast<std::size_t>(i)], w);
            }
        }
    } else {
        ScratchRows band(w, transposeBand);
        for (int y = 0; y < h; y += transposeBand) {
            const int n = std::min(transposeBand, h - y);
            readExactly(reader, band.rows.data(), n);
            placeTransposed(orientation, band.rows.data(), n, y, w, h, base, static_cast<std::ptrdiff_t>(stride), 0);
        }
    }
    reader.finish();
    return picture;
}

// Orientations 1..4: whole-width bands, each written at its place in the
// file, bottom row first as the file stores it.
void convertFlipped(JpegReader& reader, BmpWriter& writer, int orientation)
{
    const int w = reader.width();
    const int h = reader.height();
    const std::size_t stride = writer.layout().rowStride;
    const int band = writer.bandRows();
    std::vector<std::uint8_t*> rows(static_cast<std::size_t>(band));
    for (int y = 0; y < h; y += band) {
        const int n = std::min(band, h - y);
        std::uint8_t* buffer = writer.acquireBuffer();
        // Stored row y + i lands on file row y + i when the picture is turned
        // upside down (3, 4), else on file row h - 1 - (y + i).
        const bool upsideDown = reversesRowOrder(orientation);
        for (int i = 0; i < n; ++i)
            rows[static_cast<std::size_t>(i)] = buffer + stride * static_cast<std::size_t>(upsideDown ? i : n - 1 - i);
        readExactly(reader, rows.data(), n);
        if (mirrorsRows(orientation)) {
            for (int i = 0; i < n; ++i)
                reversePixels(rows[static_cast<std::size_t>(i)], w);
        }
        BmpWriter::Placement p;
        p.fileOffset = writer.layout().pixelOffset + stride * static_cast<std::uint64_t>(upsideDown ? y : h - y - n);
        p.pieceSize = stride * static_cast<std::size_t>(n);
        writer.submit(buffer, p);
    }
}

// Orientations 5..8: a band of stored rows is a strip of whole-height
// columns of the picture; the strip is written as one short run per file row.
void convertTransposed(JpegReader& reader, BmpWriter& writer, int orientation)
{
    const int w = reader.width();
    const int h = reader.height();
    const BmpLayout& layout = writer.layout();      // layout.height == w
    const int stripColumns = static_cast<int>(
        std::clamp<std::size_t>(writer.bufferSize() / (static_cast<std::size_t>(w) * 3), 1, static_cast<std::size_t>(h)));
    ScratchRows band(w, transposeBand);
    for (int y = 0; y < h; y += stripColumns) {
        const int columns = std::min(stripColumns, h - y);
        const std::size_t stripStride = static_cast<std::size_t>(columns) * 3;
        const int firstColumn = firstOrientedColumn(orientation, y, columns, h);
        std::uint8_t* strip = writer.acquireBuffer();
        // Strip row r is file row r, which holds the picture's row w - 1 - r.
        std::uint8_t* topRow = strip + stripStride * static_cast<std::size_t>(w - 1);
        for (int sub = 0; sub < columns; sub += transposeBand) {
            const int n = std::min(transposeBand, columns - sub);
            readExactly(reader, band.rows.data(), n);
            placeTransposed(orientation, band.rows.data(), n, y + sub, w, h, topRow,
                            -static_cast<std::ptrdiff_t>(stripStride), firstColumn);
        }
        BmpWriter::Placement p;
        p.fileOffset = layout.pixelOffset + 3 * static_cast<std::uint64_t>(firstColumn);
        p.pieceSize = stripStride;
        p.pieces = w;
        p.bufferStride = stripStride;
        p.fileStride = layout.rowStride;
        writer.submit(strip, p);
    }
}

} // namespace

Picture decodeJpegPicture(const std::string& path, const DecodeOptions& options)
{
    JpegReader reader(path, PixelOrder::Rgb, options.applyExifOrientation);
    const int orientation = reader.orientation();
    chooseScale(reader, options, orientation);
    return decodeOriented(reader, orientation);
}

void decodeJpegFile(const std::string& path, RowSink& sink, const DecodeOptions& options)
{
    JpegReader reader(path, PixelOrder::Rgb, options.applyExifOrientation);
    const int orientation = reader.orientation();
    chooseScale(reader, options, orientation);

    if (orientation >= 3) {
        // The sink takes rows top to bottom only: the picture is turned in memory.
        const Picture picture = decodeOriented(reader, orientation);
        sink.start(picture.width, picture.height);
        const std::size_t stride = static_cast<std::size_t>(picture.width) * 3;
        std::vector<const std::uint8_t*> rows(bandHeight);
        for (int y = 0; y < picture.height; y += bandHeight) {
            const int n = std::min(bandHeight, picture.height - y);
            for (int i = 0; i < n; ++i)
                rows[static_cast<std::size_t>(i)] = picture.rgb.data() + stride * static_cast<std::size_t>(y + i);
            sink.putRows(rows.data(), n);
        }
        sink.finish();
        return;
    }

    reader.start();
    const int w = reader.width();
    const int h = reader.height();
    ScratchRows band(w, bandHeight);
    sink.start(w, h);
    for (int y = 0; y < h; y += bandHeight) {
        const int n = std::min(bandHeight, h - y);
        readExactly(reader, band.rows.data(), n);
        if (mirrorsRows(orientation)) {
            for (int i = 0; i < n; ++i)
                reversePixels(band.rows[static_cast<std::size_t>(i)], w);
        }
        sink.putRows(band.rows.data(), n);
    }
    // Damage after the last row fails here, before the sink completes.
    reader.finish();
    sink.finish();
}

void convertJpegToBmp(const std::string& jpegPath, const std::string& bmpPath, BmpColours colours)
{
    if (colours == BmpColours::Palette) {
        // The colour reduction runs on rows in order, top to bottom.
        BmpWriter writer(bmpPath, colours);
        decodeJpegFile(jpegPath, writer);
        return;
    }
    JpegReader reader(jpegPath, PixelOrder::Bgr, true);
    const int orientation = reader.orientation();
    const int w = reader.width();
    const int h = reader.height();
    BmpWriter writer(bmpPath);
    if (swapsAxes(orientation)) {
        // A strip of whole-height columns: wider buffers keep its runs long.
        writer.setBuffers(6u << 20, 2);
        writer.start(h, w);
    } else {
        writer.start(w, h);
    }
    reader.start();
    if (swapsAxes(orientation))
        convertTransposed(reader, writer, orientation);
    else
        convertFlipped(reader, writer, orientation);
    // Damage after the last row fails here, before the old bitmap is replaced.
    reader.finish();
    writer.finish();
}

} // namespace plimbury
