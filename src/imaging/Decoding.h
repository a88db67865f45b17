#pragma once
// What every picture decoder shares: the size limit, the error texts, alpha
// composition and turning a picture as its orientation says.

#include "imaging/Jpeg.h"
#include "imaging/PictureFormat.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plimbury {

// Larger pictures are refused before any pixel memory is taken (768 MiB of
// RGB at this bound), so a damaged or hostile header cannot make us allocate
// what its data will never fill.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t {1} << 28;

// Throws Error("<FORMAT> error in \"<path>\": <detail>").
[[noreturn]] void throwDecodeError(PictureFormat format, const std::string& path, std::string_view detail);

// Throws the decode error "the picture has no pixels" for a zero side, and
// Error("The picture \"<path>\" (<w> x <h>) is too large") beyond kMaxPicturePixels.
void requirePictureSize(PictureFormat format, const std::string& path, std::uint64_t width, std::uint64_t height);

// RGBA (straight alpha) to RGB as if drawn over black: c * a / 255, rounded.
void composeOverBlack(const std::uint8_t* rgba, std::uint8_t* rgb, int width);

// Passes rows on to `target` as the picture stands after an EXIF orientation
// (1..8; anything else counts as 1). Orientations 1 and 2 stream row by row;
// the others hold the whole picture (within kMaxPicturePixels) until finish().
class OrientingSink : public RowSink {
public:
    OrientingSink(RowSink& target, int orientation);

    void start(int width, int height) override;
    void putRows(const std::uint8_t* const* rows, int count) override;
    void finish() override;

private:
    RowSink& m_target;
    int m_orientation;
    int m_width = 0;
    int m_height = 0;
    int m_nextRow = 0;
    std::vector<std::uint8_t> m_held;   // stored rows, for orientations 3..8
    std::vector<std::uint8_t> m_row;    // one mirrored row, for orientation 2
};

} // namespace plimbury
