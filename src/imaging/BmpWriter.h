#pragma once
// A streamed writer of uncompressed Windows bitmaps (BITMAPFILEHEADER,
// BITMAPINFOHEADER, bottom-up rows padded to 4 bytes): 24-bit BGR, or 8-bit
// with a palette for displays of 256 colours or fewer. Rows go to a
// temporary file beside the target, each band at its place in the file, by a
// second thread while the caller produces the next band, so memory stays a
// few bands whatever the picture's size. The target is replaced only by
// finish(); on any failure, or when the writer is destroyed unfinished, the
// old file is left as it was.
//
// Errors: Error("Cannot create file \"<path>\". <system text>") for any
// failure to create, write or replace the file, and
// Error("The picture (<w> x <h>) is too large for a bitmap file") from start()
// when the file's sizes would not fit the format's 32 bits; nothing is
// created then.

#include "imaging/Jpeg.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plimbury {

class AtomicFile;

struct BmpLayout {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    int paletteSize = 0;             // entries of 4 bytes between the headers and the pixels
    std::uint64_t rowStride = 0;     // bytes per row in the file, padding included
    std::uint64_t fileSize = 0;
    std::uint64_t pixelOffset = 54;

    // Throws the "too large" Error when the file would not fit 32-bit sizes.
    static BmpLayout of(int width, int height, BmpColours colours = BmpColours::TrueColour);
    // File offset of the row that is `row` rows from the top of the picture.
    std::uint64_t offsetOfRow(int row) const;
};

class BmpWriter : public RowSink {
public:
    explicit BmpWriter(std::string path, BmpColours colours = BmpColours::TrueColour);
    ~BmpWriter() override;
    BmpWriter(const BmpWriter&) = delete;
    BmpWriter& operator=(const BmpWriter&) = delete;

    // RowSink: RGB rows top to bottom.
    void start(int width, int height) override;
    void putRows(const std::uint8_t* const* rows, int count) override;
    void finish() override;

    // Direct use, for producers that can decode straight into the file's
    // layout (24 bits only: BGR, padding left zero): after start(), take a buffer of
    // bufferSize() bytes, fill it, and hand it back with where its bytes go.
    // `pieces` runs of `pieceSize` bytes, the k-th at buffer + k * bufferStride,
    // are written at fileOffset + k * fileStride.
    struct Placement {
        std::uint64_t fileOffset = 0;
        std::size_t pieceSize = 0;
        int pieces = 1;
        std::size_t bufferStride = 0;
        std::uint64_t fileStride = 0;
    };
    const BmpLayout& layout() const { return m_layout; }
    std::size_t bufferSize() const { return m_bufferSize; }
    // Rows of a whole-width band that fit one buffer.
    int bandRows() const;
    // Waits for a free buffer; throws when an earlier write failed. Every
    // buffer taken must be submitted before finish().
    std::uint8_t* acquireBuffer();
    void submit(std::uint8_t* buffer, const Placement& placement);

    // Before start(): the size of the buffers and how many there are.
    // Defaults suit full-size wallpapers; start() makes them at least a row,
    // and one buffer of the picture's size when that is smaller.
    void setBuffers(std::size_t bytes, int count);

private:
    struct Job {
        std::uint8_t* buffer = nullptr;
        Placement placement;
    };
    void writerLoop();
    void stopWriter();
    [[noreturn]] void failCreate(int errnoValue) const;
    void throwIfWriteFailed();
    void submitBand();
    void quantizeRow(const std::uint8_t* rgb, std::uint8_t* out);

    std::string m_path;
    BmpColours m_colours;
    BmpLayout m_layout;
    std::size_t m_bufferSize = 2u << 20;
    int m_bufferCount = 3;
    std::unique_ptr<AtomicFile> m_file;
    std::vector<std::vector<std::uint8_t>> m_buffers;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uint8_t*> m_free;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    int m_writeError = 0;
    std::thread m_writer;

    // putRows state: the band being filled.
    std::uint8_t* m_band = nullptr;
    int m_bandFirstRow = 0;
    int m_bandRowCount = 0;
    int m_nextRow = 0;
    // Palette: the error each pixel of the next row has coming, per channel.
    std::vector<int> m_errorsBelow;
    std::vector<int> m_errorsHere;
};

} // namespace plimbury
