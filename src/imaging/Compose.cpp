#include "imaging/Compose.h"

#include "imaging/BmpWriter.h"
#include "imaging/Decoders.h"
#include "imaging/Picture.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <numeric>
#include <system_error>
#include <thread>

namespace plimbury {

namespace {

// Keeps of a decoded picture only the window that monitors of up to
// `maxWidth` x `maxHeight` show of it at its own size: the top left corner
// for Tile (a tile wider than the monitor never repeats on it), the middle
// for Center. The middle window is as much wider than the largest monitor as
// keeps the crop even on both sides, so that placePicture() centres a smaller
// monitor on the same pixels of the window as on the whole picture.
class WindowSink final : public RowSink {
public:
    WindowSink(int maxWidth, int maxHeight, bool centred)
        : m_maxWidth(maxWidth)
        , m_maxHeight(maxHeight)
        , m_centred(centred)
    {
    }

    void start(int width, int height) override
    {
        axis(width, m_maxWidth, m_left, m_picture.width);
        axis(height, m_maxHeight, m_top, m_picture.height);
        m_picture.rgb.assign(static_cast<std::size_t>(m_picture.width) * static_cast<std::size_t>(m_picture.height) * 3, 0);
        m_row = 0;
    }

    void putRows(const std::uint8_t* const* rows, int count) override
    {
        const std::size_t stride = static_cast<std::size_t>(m_picture.width) * 3;
        for (int i = 0; i < count; ++i, ++m_row) {
            const int y = m_row - m_top;
            if (y >= 0 && y < m_picture.height)
                std::memcpy(m_picture.rgb.data() + stride * static_cast<std::size_t>(y),
                            rows[i] + static_cast<std::size_t>(m_left) * 3, stride);
        }
    }

    void finish() override {}

    Picture take() { return std::move(m_picture); }

private:
    void axis(int picture, int monitor, int& start, int& length) const
    {
        if (picture <= monitor) {
            start = 0;
            length = picture;
        } else if (m_centred) {
            length = monitor + (picture - monitor) % 2;
            start = (picture - length) / 2;
        } else {
            start = 0;
            length = monitor;
        }
    }

    int m_maxWidth;
    int m_maxHeight;
    bool m_centred;
    int m_left = 0;
    int m_top = 0;
    int m_row = 0;
    Picture m_picture;
};

Picture readForMonitors(const std::string& path, FitMode fit, int maxWidth, int maxHeight)
{
    if (fit != FitMode::Center && fit != FitMode::Tile)
        return loadPicture(path, maxWidth, maxHeight);
    WindowSink sink(maxWidth, maxHeight, fit == FitMode::Center);
    decodePicture(path, sink);
    return sink.take();
}

} // namespace

void composePictures(int width, int height, const std::vector<PixelRect>& monitors,
                     const std::vector<std::string>& paths, const PictureLayout& layout, const std::string& bmpPath)
{
    if (width < 1 || height < 1)
        throw Error("The screen has no pixels");
    if (paths.empty())
        throw Error("No picture for the monitors");
    const auto pathOf = [&](std::size_t monitor) -> const std::string& { return paths[monitor % paths.size()]; };

    // The hint for each file: the largest monitor that shows it, side by side.
    std::map<std::string, std::pair<int, int>> largest;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        auto& [w, h] = largest[pathOf(i)];
        w = std::max(w, monitors[i].width);
        h = std::max(h, monitors[i].height);
    }
    std::map<std::string, Picture> pictures;
    for (const auto& [path, size] : largest)
        pictures.emplace(path, readForMonitors(path, layout.fit, size.first, size.second));

    // Painted largest first, so that where monitors overlap the smaller shows.
    std::vector<std::size_t> order(monitors.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return static_cast<std::int64_t>(monitors[a].width) * monitors[a].height >
               static_cast<std::int64_t>(monitors[b].width) * monitors[b].height;
    });
    std::vector<PlacedPicture> placed;
    std::vector<PixelRect> areas;
    for (const std::size_t i : order) {
        const PixelRect& m = monitors[i];
        if (m.width < 1 || m.height < 1)
            continue;
        placed.emplace_back(pictures.at(pathOf(i)), layout.fit, layout.background, m.width, m.height);
        areas.push_back(m);
    }

    BmpWriter writer(bmpPath);
    writer.start(width, height);
    const BmpLayout& file = writer.layout();
    const std::size_t stride = file.rowStride;
    const std::uint8_t background[3] = {layout.background.blue, layout.background.green, layout.background.red};
    const int band = writer.bandRows();
    // Scaling is the cost (the file is written by the writer's own thread):
    // the rows of a band are shared between this thread and one more.
    const bool twoThreads = std::thread::hardware_concurrency() > 1;
    for (int top = 0; top < height; top += band) {
        const int rows = std::min(band, height - top);
        std::uint8_t* buffer = writer.acquireBuffer();
        const auto fill = [&, top, rows, buffer](int first, int last) {
            for (int r = first; r < last; ++r) {
                const int y = top + r;
                // The file holds the band bottom row first.
                std::uint8_t* out = buffer + stride * static_cast<std::size_t>(rows - 1 - r);
                for (int x = 0; x < width; ++x)
                    std::memcpy(out + 3 * static_cast<std::size_t>(x), background, 3);
                std::memset(out + 3 * static_cast<std::size_t>(width), 0, stride - 3 * static_cast<std::size_t>(width));
                for (std::size_t k = 0; k < areas.size(); ++k) {
                    const PixelRect& m = areas[k];
                    if (y < m.y || y >= m.y + m.height)
                        continue;
                    const int left = std::max(m.x, 0);
                    const int right = std::min(m.x + m.width, width);
                    for (int x = left; x < right; ++x) {
                        std::uint8_t rgb[3];
                        placed[k].pixel(x - m.x, y - m.y, rgb);
                        std::uint8_t* px = out + 3 * static_cast<std::size_t>(x);
                        px[0] = rgb[2];
                        px[1] = rgb[1];
                        px[2] = rgb[0];
                    }
                }
            }
        };
        std::thread helper;
        if (twoThreads && rows >= 16) {
            try {
                helper = std::thread(fill, rows / 2, rows);
            } catch (const std::system_error&) {
                // No thread to be had: this one does it all.
            }
        }
        fill(0, helper.joinable() ? rows / 2 : rows);
        if (helper.joinable())
            helper.join();
        BmpWriter::Placement p;
        p.fileOffset = file.offsetOfRow(top + rows - 1);
        p.pieceSize = stride * static_cast<std::size_t>(rows);
        writer.submit(buffer, p);
    }
    writer.finish();
}

} // namespace plimbury
