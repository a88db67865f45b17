#include "imaging/Decoders.h"

#include "imaging/Decoding.h"
#include "imaging/InputFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace plimbury {

namespace {

// Rows handed to the sink at a time.
constexpr int bandHeight = 16;

// giflib reads through this callback rather than a file descriptor of its
// own, so the file is opened once, by name, the way every decoder opens it
// (UTF-8 names on Windows included).
int readFromFile(GifFileType* gif, GifByteType* buffer, int size)
{
    return static_cast<int>(std::fread(buffer, 1, static_cast<std::size_t>(size), static_cast<std::FILE*>(gif->UserData)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void fail(const std::string& path, int code)
{
    const char* text = GifErrorString(code);
    throwDecodeError(PictureFormat::Gif, path, text ? text : "unknown error " + std::to_string(code));
}

// The GIF rows of an interlaced frame, in the order they are stored: every
// eighth row from 0, every eighth from 4, every fourth from 2, every second
// from 1.
std::vector<int> interlacedOrder(int height)
{
    constexpr int starts[] = {0, 4, 2, 1};
    constexpr int steps[] = {8, 8, 4, 2};
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(height));
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = starts[pass]; y < height; y += steps[pass])
            order.push_back(y);
    }
    return order;
}

// Places the first frame on the logical screen and hands the screen's rows
// to the sink. Outside the frame, and where it is transparent, the screen is
// black.
class FramePainter {
public:
    FramePainter(GifFileType* gif, const std::string& path, int transparentIndex, RowSink& sink)
        : m_gif(gif), m_path(path), m_sink(sink), m_screenWidth(gif->SWidth), m_screenHeight(gif->SHeight)
    {
        const GifImageDesc& frame = gif->Image;
        const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
        if (!map)
            fail(path, D_GIF_ERR_NO_COLOR_MAP);
        // Indices beyond the map's colours come out black, as transparency does.
        m_palette.fill({0, 0, 0});
        const int colours = std::min(map->ColorCount, 256);
        for (int i = 0; i < colours; ++i) {
            const GifColorType& c = map->Colors[i];
            m_palette[static_cast<std::size_t>(i)] = {c.Red, c.Green, c.Blue};
        }
        if (transparentIndex >= 0 && transparentIndex < 256)
            m_palette[static_cast<std::size_t>(transparentIndex)] = {0, 0, 0};

        // The part of the frame that lies on the screen.
        m_frameWidth = std::max(frame.Width, 0);
        m_frameHeight = std::max(frame.Height, 0);
        m_firstColumn = std::min(frame.Left, m_screenWidth);
        m_columns = std::clamp(m_screenWidth - frame.Left, 0, m_frameWidth);
        m_firstRow = std::min(frame.Top, m_screenHeight);
        m_rows = std::clamp(m_screenHeight - frame.Top, 0, m_frameHeight);

        const std::size_t stride = static_cast<std::size_t>(m_screenWidth) * 3;
        m_band.assign(stride * bandHeight, 0);
        for (int i = 0; i < bandHeight; ++i)
            m_bandRows[static_cast<std::size_t>(i)] = m_band.data() + stride * static_cast<std::size_t>(i);
        m_line.resize(static_cast<std::size_t>(m_frameWidth));
    }

    void paint()
    {
        m_sink.start(m_screenWidth, m_screenHeight);
        if (m_frameWidth == 0 || m_frameHeight == 0) {
            // Nothing to decode: the screen stays black.
            putBlackRows(m_screenHeight);
        } else if (m_gif->Image.Interlace) {
            paintInterlaced();
        } else {
            paintSequential();
        }
        m_sink.finish();
    }

private:
    void readLine()
    {
        if (DGifGetLine(m_gif, m_line.data(), m_frameWidth) == GIF_ERROR)
            fail(m_path, m_gif->Error);
    }

    // Screen row pixels from the frame's indices, over the frame's columns.
    void colourRow(const GifPixelType* indices, std::uint8_t* row) const
    {
        std::uint8_t* out = row + static_cast<std::size_t>(m_firstColumn) * 3;
        for (int x = 0; x < m_columns; ++x, out += 3) {
            const auto& rgb = m_palette[indices[x]];
            out[0] = rgb[0];
            out[1] = rgb[1];
            out[2] = rgb[2];
        }
    }

    std::uint8_t* bandRow(int i)
    {
        return m_band.data() + static_cast<std::size_t>(m_screenWidth) * 3 * static_cast<std::size_t>(i);
    }

    // The band's rows keep black outside the frame's columns: only those
    // columns are ever painted, so a black row needs them cleared.
    void clearFrameColumns(std::uint8_t* row) const
    {
        std::fill_n(row + static_cast<std::size_t>(m_firstColumn) * 3, static_cast<std::size_t>(m_columns) * 3, 0);
    }

    void putBlackRows(int count)
    {
        for (int i = 0; i < std::min(count, bandHeight); ++i)
            clearFrameColumns(bandRow(i));
        for (int done = 0; done < count;) {
            const int n = std::min(bandHeight, count - done);
            m_sink.putRows(m_bandRows.data(), n);
            done += n;
        }
    }

    // Row by row as stored: memory is a band of screen rows and one line.
    void paintSequential()
    {
        putBlackRows(m_firstRow);
        for (int y = 0; y < m_rows;) {
            const int n = std::min(bandHeight, m_rows - y);
            for (int i = 0; i < n; ++i) {
                readLine();
                colourRow(m_line.data(), bandRow(i));
            }
            m_sink.putRows(m_bandRows.data(), n);
            y += n;
        }
        // Rows below the screen are decoded all the same, so damage there
        // fails the file as it would anywhere else.
        for (int y = m_rows; y < m_frameHeight; ++y)
            readLine();
        putBlackRows(m_screenHeight - m_firstRow - m_rows);
    }

    // The rows come in four passes: the frame's indices on the screen are
    // held until the last pass.
    void paintInterlaced()
    {
        const std::size_t columns = static_cast<std::size_t>(m_columns);
        std::vector<GifPixelType> held(columns * static_cast<std::size_t>(m_rows));
        for (const int y : interlacedOrder(m_frameHeight)) {
            readLine();
            if (y < m_rows)
                std::copy_n(m_line.data(), columns, held.data() + columns * static_cast<std::size_t>(y));
        }
        putBlackRows(m_firstRow);
        for (int y = 0; y < m_rows;) {
            const int n = std::min(bandHeight, m_rows - y);
            for (int i = 0; i < n; ++i)
                colourRow(held.data() + columns * static_cast<std::size_t>(y + i), bandRow(i));
            m_sink.putRows(m_bandRows.data(), n);
            y += n;
        }
        putBlackRows(m_screenHeight - m_firstRow - m_rows);
    }

    GifFileType* m_gif;
    const std::string& m_path;
    RowSink& m_sink;
    int m_screenWidth;
    int m_screenHeight;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    int m_firstColumn = 0;
    int m_columns = 0;
    int m_firstRow = 0;
    int m_rows = 0;
    std::array<std::array<std::uint8_t, 3>, 256> m_palette {};
    std::vector<std::uint8_t> m_band;
    std::array<const std::uint8_t*, bandHeight> m_bandRows {};
    std::vector<GifPixelType> m_line;
};

} // namespace

void decodeGifFile(const std::string& path, RowSink& sink)
{
    InputFile file = openInputFile(path);
    int error = D_GIF_SUCCEEDED;
    GifHandle gif(DGifOpen(file.get(), readFromFile, &error));
    if (!gif)
        fail(path, error);
    requirePictureSize(PictureFormat::Gif, path, static_cast<std::uint64_t>(std::max(gif->SWidth, 0)),
                       static_cast<std::uint64_t>(std::max(gif->SHeight, 0)));

    // Records up to the first frame: of the extensions only the Graphic
    // Control Extension matters, for its transparent colour; the last one
    // before the frame is the frame's. Nothing after the frame is read.
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            fail(path, gif->Error);
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
                fail(path, gif->Error);
            FramePainter(gif.get(), path, transparentIndex, sink).paint();
            return;
        }
        if (record == TERMINATE_RECORD_TYPE)
            fail(path, D_GIF_ERR_NO_IMAG_DSCR);
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                fail(path, gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block) {
                GraphicsControlBlock control {};
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    transparentIndex = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    fail(path, gif->Error);
            }
        }
    }
}

} // namespace plimbury
