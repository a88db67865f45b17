#pragma once
// One JPEG file decoded through the libjpeg API, pulled a few rows at a time.
// Every failure is thrown as plimbury::Error with the user's text: "Cannot
// open file ..." or "JPEG error #<libjpeg message code>" (warnings included).
// Rows come in stored order, 3 bytes per pixel in the chosen channel order,
// whatever the file's colour space (grey, YCbCr, RGB, CMYK, YCCK).

#include <cstdint>
#include <memory>
#include <string>

namespace plimbury {

enum class PixelOrder { Rgb, Bgr };

class JpegReader {
public:
    // Opens the file and reads its header. With readOrientation the EXIF
    // orientation is read too; otherwise orientation() is 1.
    JpegReader(const std::string& path, PixelOrder order, bool readOrientation);
    ~JpegReader();
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    int orientation() const;

    // Chooses the smallest DCT scale (1/8 .. 8/8) whose output is at least
    // minWidth x minHeight in stored axes; full size when nothing smaller does.
    // A bound of 0 or less does not constrain. Only before start().
    void scaleToCover(int minWidth, int minHeight);

    // Size of the decoded picture in stored axes, at the chosen scale.
    int width() const;
    int height() const;

    // Throws the JPEG error of a too large image when the decoded picture
    // would have more than maxPixels pixels.
    void requireAtMost(std::uint64_t maxPixels) const;

    void start();
    // Decodes up to `count` rows into rows[0..]; returns how many, fewer only
    // at the end of the picture.
    int readRows(std::uint8_t* const* rows, int count);
    // Reads to the end of the file, so damage after the last row is found too.
    void finish();

private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace plimbury
