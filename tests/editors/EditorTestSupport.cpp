#include "EditorTestSupport.h"

#include "editors/EditorErrors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace plimbury::test {

void writeJpeg(const std::string& path, int width, int height, QColor colour, int quality)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        throw std::runtime_error("cannot create " + path);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            // A little texture, so the entropy decoder has real work to do.
            const int wobble = ((x * 7 + y * 13) % 5) - 2;
            JSAMPLE* pixel = &row[static_cast<std::size_t>(x) * 3];
            pixel[0] = static_cast<JSAMPLE>(std::clamp(colour.red() + wobble, 0, 255));
            pixel[1] = static_cast<JSAMPLE>(std::clamp(colour.green() + wobble, 0, 255));
            pixel[2] = static_cast<JSAMPLE>(std::clamp(colour.blue() + wobble, 0, 255));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
}

void writeBmp(const std::string& path, int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    if (!image.save(QString::fromStdString(path), "BMP"))
        throw std::runtime_error("cannot write " + path);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

namespace {
std::vector<std::string>& reported()
{
    static std::vector<std::string> texts;
    return texts;
}
} // namespace

void recordReportedErrors()
{
    editors::setErrorReporter([](QWidget*, const std::string& text) { reported().push_back(text); });
}

std::vector<std::string> takeReportedErrors()
{
    return std::exchange(reported(), {});
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace plimbury::test
