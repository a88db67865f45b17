#include "PreviewLoader.h"

#include "imaging/Picture.h"

#include <exception>
#include <new>
#include <utility>

PreviewLoader::PreviewLoader(QSize size, Loaded loaded, Failed failed, QObject* parent)
    : QObject(parent)
    , m_size(size)
    , m_loaded(std::move(loaded))
    , m_failed(std::move(failed))
{
    // One decoder thread: holding an arrow key must not queue up decodes that
    // all compete for the cores only to be thrown away.
    m_pool.setMaxThreadCount(1);
}

PreviewLoader::~PreviewLoader()
{
    // The task posts its result to this object: it must be done before we go.
    m_pool.waitForDone();
}

QImage PreviewLoader::decode(const std::string& path, QSize size)
{
    const plimbury::Picture picture = plimbury::loadPicture(path, size.width(), size.height());
    if (picture.width <= 0 || picture.height <= 0)
        return {};
    const QImage wrapped(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                         QImage::Format_RGB888);
    // Stretched, not fitted: the preview fills its whole frame. A picture
    // arrives already shrunk to less than twice the frame (by libjpeg, or
    // averaged by powers of two while decoding), where picking pixels looks as
    // good as averaging them at a fraction of the cost; only a large bitmap is
    // averaged down. scaled() copies out of `picture`.
    const bool shrinksMuch = picture.width >= 2 * size.width() || picture.height >= 2 * size.height();
    return wrapped.scaled(size, Qt::IgnoreAspectRatio,
                          shrinksMuch ? Qt::SmoothTransformation : Qt::FastTransformation);
}

void PreviewLoader::request(const std::string& path, qreal devicePixelRatio)
{
    ++m_generation;
    m_newest = path;
    m_newestRatio = devicePixelRatio;
    m_waiting = true;
    if (!m_running)
        startNewest();
}

void PreviewLoader::startNewest()
{
    m_running = true;
    m_waiting = false;
    const std::uint64_t generation = m_generation;
    std::string path = m_newest;
    const qreal ratio = m_newestRatio;
    const QSize size = (QSizeF(m_size) * ratio).toSize();
    m_pool.start([this, generation, path = std::move(path), size, ratio] {
        Result result;
        try {
            result.picture = decode(path, size);
            result.picture.setDevicePixelRatio(ratio);
        } catch (const std::bad_alloc&) {
            result.failed = true;
            result.error = "Out of memory";
        } catch (const std::exception& e) {
            result.failed = true;
            result.error = e.what();
        }
        QMetaObject::invokeMethod(
            this, [this, generation, path, result = std::move(result)] { finished(generation, path, result); },
            Qt::QueuedConnection);
    });
}

void PreviewLoader::finished(std::uint64_t generation, const std::string& path, const Result& result)
{
    m_running = false;
    const bool newest = generation == m_generation;
    if (m_waiting)
        startNewest();
    if (!newest)
        return;
    // The callbacks may run a nested event loop (a message box); the loader is
    // already consistent for requests arriving meanwhile.
    if (result.failed)
        m_failed(path, result.error);
    else
        m_loaded(path, result.picture);
}
