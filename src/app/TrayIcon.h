#pragma once
// The notification-area icon. It only reports what the user did on it; the
// main window decides what that means. Where the desktop has no notification
// area the icon is simply never seen, and add() says so.

#include <QIcon>
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;

class TrayIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)
public:
    // `menu` opens on a right click; `setup` and `exit` are two of its actions.
    // The menu and the actions stay owned by the caller.
    TrayIcon(const QIcon& icon, QMenu* menu, QAction* setup, QAction* exit, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Adds the icon with `tip`. Returns false when no notification area is
    // running (the icon is then kept ready and appears if one starts later).
    bool add(const QString& tip);
    // Removes the icon; nothing happens when it is not present.
    void remove();

    bool isPresent() const;
    QString tip() const;

signals:
    void leftClicked();
    void setupRequested();
    void exitRequested();

private:
    QSystemTrayIcon* m_icon;
};
