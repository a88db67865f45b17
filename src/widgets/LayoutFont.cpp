#include "widgets/LayoutFont.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPointer>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QWindow>

namespace widgets {

namespace {

const QString kFamily = QStringLiteral("MS Sans Serif");

bool layoutFaceAvailable()
{
    static const bool available = [] {
        if (QFontDatabase::families().contains(kFamily, Qt::CaseInsensitive))
            return true;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kLayoutFontFile));
        return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(kFamily, Qt::CaseInsensitive);
    }();
    return available;
}

// Lives as a child of its window. The native window, whose screen is the one
// to follow, exists only from the first show on, and is made anew when the
// window's flags change: it is looked up again at every show.
class RatioFollower final : public QObject {
public:
    explicit RatioFollower(QWidget* window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && m_window->windowHandle() != m_handle) {
            if (m_handle)
                disconnect(m_handle, nullptr, this, nullptr);
            m_handle = m_window->windowHandle();
            connect(m_handle, &QWindow::screenChanged, this, [this] { apply(); });
            apply();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void apply()
    {
        const QFont font = layoutFont(m_window->devicePixelRatio());
        if (font != m_window->font())
            m_window->setFont(font);
    }

    QWidget* m_window;
    QPointer<QWindow> m_handle;
};

} // namespace

QFont layoutFont(qreal devicePixelRatio)
{
    if (qFuzzyCompare(devicePixelRatio, 1.0) && layoutFaceAvailable()) {
        QFont font(kFamily);
        font.setPixelSize(11);
        if (QFontInfo(font).family().compare(kFamily, Qt::CaseInsensitive) == 0)
            return font;
    }
    // The widest caption of the layout, and its width in the layout font.
    const QString widest = QStringLiteral("hour    (1--24)");
    constexpr int layoutWidth = 63;
    // Tahoma is the layout font's own successor on Windows (and Wine has
    // it); elsewhere the desktop's sans-serif face.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    int pixels = 11;
    font.setPixelSize(pixels);
    while (pixels > 7 && QFontMetrics(font).horizontalAdvance(widest) > layoutWidth)
        font.setPixelSize(--pixels);
    return font;
}

void useLayoutFont(QWidget* window)
{
    new RatioFollower(window);
}

} // namespace widgets
