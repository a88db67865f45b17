#pragma once
// A picture control with a mouse-leave event: the building block of the skin.
// Shows a picture at its own size, from its 2x variant on a denser screen
// (the control keeps the 1x size in window coordinates, and takes the
// picture anew when the window moves to a screen of another ratio); click, mouse-move and mouse-down events
// for the window's handlers; OnMouseLeave fires once the pointer has left it,
// also when the control appeared under a resting pointer and never saw it
// enter (Qt's own leave notice goes to the control it last saw entered).

#include <QLabel>
#include <QPointer>
#include <QWindow>

#include <functional>

class TmyImage : public QLabel {
    Q_OBJECT
public:
    explicit TmyImage(QWidget* parent = nullptr);

    void setPictureFile(const QString& resourcePath);   // sizes the control to the picture
    void setHandCursor(bool on);
    void setHintText(const QString& text);   // the hint shown once hints are switched on
    void setShowHint(bool on);

    std::function<void()> OnClick;
    std::function<void()> OnMouseMove;
    std::function<void(Qt::MouseButton)> OnMouseDown;
    std::function<void()> OnMouseLeave;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPicture();
    void watchWindow(bool on);
    void pointerLeft();

    QString m_pictureFile;
    qreal m_pictureRatio = 1.0;
    QString m_hint;
    bool m_showHint = false;
    // Whether the pointer is over the control, as far as OnMouseLeave goes.
    bool m_pointerOver = false;
    QPointer<QWindow> m_watched;
};
