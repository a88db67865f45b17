#include "app/TmyImage.h"

#include <QEnterEvent>
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
    const QPixmap picture(resourcePath);
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
    // Arriving over the control is a move over it: a pointer warped onto a
    // button, or a button shown under a resting pointer, lights it as well.
    if (OnMouseMove)
        OnMouseMove();
}

void TmyImage::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (OnMouseLeave)
        OnMouseLeave();
}

bool TmyImage::event(QEvent* event)
{
    // The hint text stays with the control while hints are off; only the switch decides.
    if (event->type() == QEvent::ToolTip && !m_showHint) {
        event->ignore();
        return true;
    }
    return QLabel::event(event);
}
