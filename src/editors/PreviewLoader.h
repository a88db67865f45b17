#pragma once
// Loads preview pictures off the window's thread. Only the newest request
// counts: one decode runs at a time, a request made meanwhile waits for it,
// and a result that is no longer the newest request's is dropped. Results
// arrive on the thread that owns the loader, through the two callbacks.

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <string>

class PreviewLoader : public QObject {
    Q_OBJECT
public:
    using Loaded = std::function<void(const std::string& path, const QImage& picture)>;
    using Failed = std::function<void(const std::string& path, const std::string& text)>;

    // size: the preview area in window pixels; every picture is stretched to it.
    PreviewLoader(QSize size, Loaded loaded, Failed failed, QObject* parent = nullptr);
    // Waits for the decode in flight, whose result is then dropped.
    ~PreviewLoader() override;

    // The picture comes decoded at the area's size in device pixels of a
    // screen of `devicePixelRatio`, and carries that ratio, so that it shows
    // sharp there.
    void request(const std::string& path, qreal devicePixelRatio);

    // True while a decode runs or a request waits.
    bool busy() const { return m_running || m_waiting; }

    // The work of one request: the picture decoded (JPEG at the smallest DCT
    // scale still covering `size`) and stretched to `size`. Throws
    // plimbury::Error with the user's text.
    static QImage decode(const std::string& path, QSize size);

private:
    struct Result {
        QImage picture;
        std::string error;
        bool failed = false;
    };
    void startNewest();
    void finished(std::uint64_t generation, const std::string& path, const Result& result);

    QSize m_size;
    Loaded m_loaded;
    Failed m_failed;
    QThreadPool m_pool;
    std::uint64_t m_generation = 0;   // of the newest request
    std::string m_newest;
    qreal m_newestRatio = 1;
    bool m_waiting = false;           // m_newest not started yet
    bool m_running = false;
};
