#pragma once
// A desktop notification through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus), for when the window
// hides and no notification area shows the tray icon. Nothing here waits:
// without a bus, without a notification service or with one that never
// answers, the notice is simply not seen and nothing is reported.

#include <QObject>
#include <QString>

class DesktopNotice final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotice)
public:
    // `busName` names a QDBusConnection already opened (connectToBus); empty
    // means the session bus. A name that was never opened is a bus that is
    // not there.
    explicit DesktopNotice(const QString& busName = {}, QObject* parent = nullptr);
    ~DesktopNotice() override;

    // Shows `summary` and `body` as "Plimbury", with the program's icon, for a
    // few seconds, with a "Show" button; replaces the notice still shown.
    void show(const QString& summary, const QString& body);
    // Takes the notice off the screen; nothing happens when none is shown.
    void withdraw();

signals:
    // The notice itself or its "Show" button was clicked.
    void showRequested();

private Q_SLOTS:
    // The service's signals, for every program's notices.
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    void closeOnScreen(uint id);

    QString m_busName;
    bool m_listening = false;
    uint m_id = 0;          // the notice on screen, 0 for none
    quint64 m_sent = 0;     // counts show() and withdraw(), so that a late answer to an older call is dropped
};
