#pragma once
// A picture control with a mouse-leave event: the building block of the skin.
// Shows a picture at its own size; click, mouse-move and mouse-down events
// for the window's handlers; OnMouseLeave fires once the pointer has left it.

#include <QLabel>

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
    bool event(QEvent* event) override;

private:
    QString m_hint;
    bool m_showHint = false;
};
