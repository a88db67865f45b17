#include "app/TmyImage.h"

#include "app/Skin.h"

#include <QCursor>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPixmap>

TmyImage::TmyImage(QWidget* parent)
    : QLabel(parent)
{
    // Mouse-move handlers must run while no button is held, as the pointer glides over.
    setMouseTracking(true);
    setScaledContents(false);
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
}

void TmyImage::setPictureFile(const QString& resourcePath)
{
    m_pictureFile = resourcePath;
    showPicture();
}

void TmyImage::showPicture()
{
    // Before the window exists this is the ratio of the screen it will open on.
    const QPixmap picture = skin::pictureFor(m_pictureFile, devicePixelRatioF());
    m_pictureRatio = picture.devicePixelRatio();
    setPixmap(picture);
    if (!picture.isNull())
        resize(picture.deviceIndependentSize().toSize());
}

void TmyImage::setHandCursor(bool on)
{
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void TmyImage::setHintText(const QString& text)
{
    m_hint = text;
    setToolTip(m_showHint ? m_hint : QString());
}

void TmyImage::setShowHint(bool on)
{
    m_showHint = on;
    setToolTip(m_showHint ? m_hint : QString());
}

void TmyImage::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(event->button());
    event->accept();
}

void TmyImage::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a left press and release on the control, as the button would have it.
    const bool inside = rect().contains(event->position().toPoint());
    event->accept();
    if (event->button() == Qt::LeftButton && inside && OnClick)
        OnClick();
}

void TmyImage::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (OnMouseMove)
        OnMouseMove();
}

void TmyImage::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    m_pointerOver = true;
    // Arriving over the control is a move over it: a pointer warped onto a
    // button, or a button shown under a resting pointer, lights it as well.
    if (OnMouseMove)
        OnMouseMove();
}

void TmyImage::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    pointerLeft();
}

// A lit picture is shown from inside the mouse handling of the idle picture
// below it; Qt then still counts the idle one as the control under the
// pointer and would tell only that one when the pointer moves away. So while
// a control with a leave handler is visible it follows the pointer over its
// whole window itself.
void TmyImage::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    if (!OnMouseLeave)
        return;
    watchWindow(true);
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        m_pointerOver = true;
}

void TmyImage::hideEvent(QHideEvent* event)
{
    QLabel::hideEvent(event);
    watchWindow(false);
}

void TmyImage::watchWindow(bool on)
{
    QWindow* window = on ? this->window()->windowHandle() : nullptr;
    if (m_watched == window)
        return;
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = window;
    if (m_watched)
        m_watched->installEventFilter(this);
}

bool TmyImage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watched) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint at = mapFrom(window(), static_cast<QMouseEvent*>(event)->position().toPoint());
            if (rect().contains(at))
                m_pointerOver = true;
            else
                pointerLeft();
        } else if (event->type() == QEvent::Leave) {
            pointerLeft();
        }
    }
    return QLabel::eventFilter(watched, event);
}

void TmyImage::pointerLeft()
{
    if (!m_pointerOver)
        return;
    m_pointerOver = false;
    if (OnMouseLeave)
        OnMouseLeave();
}

bool TmyImage::event(QEvent* event)
{
    bool ratioMayChange = event->type() == QEvent::ScreenChangeInternal;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    ratioMayChange = ratioMayChange || event->type() == QEvent::DevicePixelRatioChange;
#endif
    if (ratioMayChange && !m_pictureFile.isEmpty()) {
        const bool dense = devicePixelRatioF() > 1.0;
        if (dense != (m_pictureRatio > 1.0))
            showPicture();
    }
    if (event->type() == QEvent::ToolTip) {
        // A lit picture shown under a resting pointer is not yet known to Qt
        // as the control under it; its hint is the one the user is after.
        const auto* help = static_cast<QHelpEvent*>(event);
        const QPoint inWindow = mapTo(window(), help->pos());
        QWidget* top = window()->childAt(inWindow);
        if (top && top != this && qobject_cast<TmyImage*>(top)) {
            QHelpEvent forwarded(QEvent::ToolTip, top->mapFrom(window(), inWindow), help->globalPos());
            QCoreApplication::sendEvent(top, &forwarded);
            return true;
        }
        // The hint text stays with the control while hints are off; only the switch decides.
        if (!m_showHint) {
            event->ignore();
            return true;
        }
    }
    return QLabel::event(event);
}
