// "Save  and  Run" where no notification area shows the tray icon: a desktop
// notification says where the window went. The notification service is a fake
// on a private bus that starts no services, so that no real daemon answers.

#include "AppHarness.h"

#include "app/DesktopNotice.h"
#include "app/TmyImage.h"
#include "widgets/Dialogs.h"
#include "widgets/SortedListBox.h"
#include "support/Controls.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

namespace plimbury::test {
namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kClient = QStringLiteral("notice-test-client");
const QString kServer = QStringLiteral("notice-test-server");

// Records each Notify (its arguments) and answers with ids 41, 42, ...
struct FakeNotifications final : QDBusVirtualObject {
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("Notify"))
            return false;
        notifies.push_back(message.arguments());
        if (answers)
            connection.send(message.createReply(QVariant::fromValue(40u + static_cast<uint>(notifies.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    std::vector<QVariantList> notifies;
    bool answers = true;
};

bool waitUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class Notice : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(m_dir.file("bus.conf"))
            << "<busconfig><type>session</type><listen>unix:tmpdir=" << m_dir.path().string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
        m_daemon.start("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + qpath(m_dir.file("bus.conf"))});
        if (!m_daemon.waitForReadyRead(5000))
            GTEST_SKIP() << "dbus-daemon did not start (package dbus)";
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        ASSERT_TRUE(QDBusConnection::connectToBus(address, kClient).isConnected());
        ASSERT_TRUE(QDBusConnection::connectToBus(address, kServer).registerVirtualObject(kPath, &m_service));
        m_app.services.notificationBus = kClient;
        m_app.services.trayAvailable = [this] { return m_trayShown; };
        m_app.start();
        control<QTimer>(*m_app.form, "Timer6")->stop();
        control<QTimer>(*m_app.form, "Timer7")->stop();
    }
    void TearDown() override
    {
        m_app.form.reset();
        QDBusConnection::disconnectFromBus(kClient);
        QDBusConnection::disconnectFromBus(kServer);
        m_daemon.terminate();
        m_daemon.waitForFinished();
        dialogs::takeShown();
    }

    void offerTheService() { ASSERT_TRUE(QDBusConnection(kServer).registerService(kInterface)); }

    // One picture every 5 minutes and no screen saver every hour, saved and
    // run from the shown window.
    void saveAndRun()
    {
        m_app.showWindow();
        control<SortedListBox>(*m_app.form, "FileListBox1")->setLines({"/pics/hills.bmp"});
        control<QRadioButton>(*m_app.form, "RadioButton1")->setChecked(true);
        control<QLineEdit>(*m_app.form, "Edit1")->setText("5");
        control<QRadioButton>(*m_app.form, "RadioButton5")->setChecked(true);
        control<QLineEdit>(*m_app.form, "Edit5")->setText("1");
        dialogs::setNextFileName(qpath(m_app.dir.file("show.lmv")));
        control<TmyImage>(*m_app.form, "myImage_donet")->OnClick();
    }
    // The id the service gave the `count`th notice.
    uint awaitNotify(std::size_t count)
    {
        EXPECT_TRUE(waitUntil([&] { return m_service.notifies.size() >= count; }));
        return 40u + static_cast<uint>(count);
    }
    void emitSignal(const char* name, const QVariantList& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QLatin1String(name));
        signal.setArguments(arguments);
        QDBusConnection(kServer).send(signal);
    }

    TempDir m_dir;
    QProcess m_daemon;
    FakeNotifications m_service;
    AppHarness m_app;
    bool m_trayShown = false;
};

TEST_F(Notice, SaveAndRunWithoutATrayTellsWhereTheWindowWentAndShowBringsItBack)
{
    offerTheService();
    saveAndRun();
    EXPECT_TRUE(m_app.form->isHidden());
    const uint id = awaitNotify(1);
    ASSERT_EQ(m_service.notifies.size(), 1u);
    const QVariantList expected{"Plimbury", 0u, "org.plimbury.Plimbury", "plimbury 2.1",
                                "The wallpaper and the screen saver change on schedule in the background. "
                                "Start Plimbury again to bring the window back.",
                                QStringList{"default", "Show", "show", "Show"}};
    EXPECT_EQ(m_service.notifies[0].mid(0, 6), expected);
    EXPECT_EQ(m_service.notifies[0].value(7).toInt(), 10000);

    // Another program's notice, an action not offered and our notice once
    // closed are ignored. Each case ends with a click that shows the window,
    // after which every signal before it has been handled.
    QSignalSpy shown(control<DesktopNotice>(*m_app.form), &DesktopNotice::showRequested);
    emitSignal("ActionInvoked", {id + 1, "show"});
    emitSignal("ActionInvoked", {id, "snooze"});
    emitSignal("ActionInvoked", {id, "default"});
    EXPECT_TRUE(waitUntil([&] { return m_app.form->isVisible(); }));
    saveAndRun();
    emitSignal("NotificationClosed", {awaitNotify(2), 1u});
    emitSignal("ActionInvoked", {awaitNotify(2), "show"});
    saveAndRun();
    emitSignal("ActionInvoked", {awaitNotify(3), "show"});
    EXPECT_EQ(m_service.notifies[2].value(1).toUInt(), 0u);   // replaces nothing: the closed one is forgotten
    EXPECT_TRUE(waitUntil([&] { return m_app.form->isVisible(); }));
    EXPECT_EQ(shown.count(), 2);
    EXPECT_TRUE(dialogs::takeShown().empty());
}

TEST_F(Notice, NothingIsSentWithATrayOrAtTheLogOnStart)
{
    offerTheService();
    m_trayShown = true;
    saveAndRun();
    m_trayShown = false;
    m_app.showWindow();
    m_app.form->Timer3Timer();
    EXPECT_TRUE(m_app.form->isHidden());
    // The service answers this call only after those the window sent before it.
    const QDBusPendingCall ping = QDBusConnection(kClient).asyncCall(
        QDBusMessage::createMethodCall(kInterface, kPath, kInterface, QStringLiteral("GetServerInformation")));
    EXPECT_TRUE(waitUntil([&] { return ping.isFinished(); }));
    EXPECT_TRUE(m_service.notifies.empty());
}

// Nothing waits for the notice and nothing about it reaches the user.
TEST_F(Notice, WithoutAnAnsweringServiceTheWindowStillHidesAtOnce)
{
    const struct { const char* what; QString bus; bool serviceThere; int settleMs; } rows[] = {
        {"no service on the bus", kClient, false, 300},
        {"no bus at all", QStringLiteral("never-opened"), false, 100},
        {"a service that never answers", kClient, true, 2500},   // past the 2 s the notice waits
    };
    m_service.answers = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        m_app.form.reset();
        m_app.services.notificationBus = row.bus;
        m_app.start();
        if (row.serviceThere)
            offerTheService();
        saveAndRun();
        EXPECT_TRUE(m_app.form->isHidden());   // before any event is handled
        QTest::qWait(row.settleMs);
        EXPECT_TRUE(dialogs::takeShown().empty());
    }
}

} // namespace
} // namespace plimbury::test
