#include "app/DesktopNotice.h"

#ifdef PLIMBURY_HAVE_DBUS
#include "app/Skin.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAppId = QStringLiteral("org.plimbury.Plimbury");   // the desktop entry and the themed icon
constexpr int kShownMs = 10000;
// A service that has not answered by then is treated as absent.
constexpr int kAnswerMs = 2000;

QDBusConnection busNamed(const QString& name)
{
    return name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(name);
}

// The icon as pixels too (image-data, "(iiibiiay)"): the themed name only
// resolves once the program is installed.
QDBusArgument iconPixels()
{
    const QImage image = skin::applicationIcon().pixmap(48).toImage().convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument pixels;
    pixels.beginStructure();
    pixels << image.width() << image.height() << static_cast<int>(image.bytesPerLine()) << true << 8 << 4
           << QByteArray(reinterpret_cast<const char*>(image.constBits()), static_cast<qsizetype>(image.sizeInBytes()));
    pixels.endStructure();
    return pixels;
}

} // namespace

DesktopNotice::DesktopNotice(const QString& busName, QObject* parent)
    : QObject(parent)
    , m_busName(busName)
{
}

DesktopNotice::~DesktopNotice() = default;

void DesktopNotice::show(const QString& summary, const QString& body)
{
    QDBusConnection bus = busNamed(m_busName);
    if (!bus.isConnected())
        return;
    if (!m_listening) {
        // QtDBus connects bus signals by slot signature only. Any sender: the
        // service's unique name may change when it restarts.
        m_listening = bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(actionInvoked(uint, QString)))
                      && bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                                     SLOT(notificationClosed(uint, uint)));
    }

    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), kAppId},
        {QStringLiteral("image-data"), QVariant::fromValue(iconPixels())},
    };
    notify << QStringLiteral("Plimbury") << m_id << kAppId << summary << body
           << QStringList{QStringLiteral("default"), QStringLiteral("Show"), QStringLiteral("show"), QStringLiteral("Show")}
           << hints << kShownMs;
    const quint64 call = ++m_sent;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify, kAnswerMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, call](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError())
            return;   // unseen, or gone by now: either way nothing the user needs to hear about
        if (call == m_sent)
            m_id = reply.value();
        else
            closeOnScreen(reply.value());   // withdrawn or replaced while the answer was on its way
    });
}

void DesktopNotice::withdraw()
{
    ++m_sent;
    closeOnScreen(m_id);
    m_id = 0;
}

void DesktopNotice::closeOnScreen(uint id)
{
    if (id == 0)
        return;
    QDBusMessage close = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    close << id;
    busNamed(m_busName).send(close);
}

void DesktopNotice::actionInvoked(uint id, const QString& actionKey)
{
    if (id == 0 || id != m_id)
        return;
    if (actionKey == QLatin1String("default") || actionKey == QLatin1String("show"))
        emit showRequested();
}

void DesktopNotice::notificationClosed(uint id, uint /*reason*/)
{
    if (id != 0 && id == m_id)
        m_id = 0;
}

#else

// Windows always has its notification area, so the window never hides
// without the icon.
DesktopNotice::DesktopNotice(const QString& busName, QObject* parent) : QObject(parent), m_busName(busName) {}
DesktopNotice::~DesktopNotice() = default;
void DesktopNotice::show(const QString&, const QString&) {}
void DesktopNotice::withdraw() {}
void DesktopNotice::actionInvoked(uint, const QString&) {}
void DesktopNotice::notificationClosed(uint, uint) {}
void DesktopNotice::closeOnScreen(uint) {}

#endif
