#include "EditorTestSupport.h"

#include "widgets/Dialogs.h"
#include "support/JpegEncode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

namespace plimbury::test {

void writeJpeg(const std::string& path, int width, int height, QColor colour, int quality)
{
    Picture picture {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // A little texture, so the entropy decoder has real work to do.
            const int wobble = ((x * 7 + y * 13) % 5) - 2;
            std::uint8_t* pixel = &picture.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
            pixel[0] = static_cast<std::uint8_t>(std::clamp(colour.red() + wobble, 0, 255));
            pixel[1] = static_cast<std::uint8_t>(std::clamp(colour.green() + wobble, 0, 255));
            pixel[2] = static_cast<std::uint8_t>(std::clamp(colour.blue() + wobble, 0, 255));
        }
    }
    JpegOptions options;
    options.quality = quality;
    writeJpegFile(path, picture, options);
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

void recordReportedErrors()
{
    dialogs::setRecordOnly(true);
}

std::vector<std::string> takeReportedErrors()
{
    std::vector<std::string> texts;
    for (const dialogs::Shown& shown : dialogs::takeShown())
        texts.push_back(shown.isError ? shown.text : "(message) " + shown.text);
    return texts;
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace plimbury::test
