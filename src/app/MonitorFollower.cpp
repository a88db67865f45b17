#include "app/MonitorFollower.h"

#include "desktop/MonitorWatch.h"
#include "desktop/Wallpaper.h"
#include "widgets/Dialogs.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <exception>

MonitorFollower::MonitorFollower(plimbury::Wallpaper& wallpaper, QWidget* reportParent)
    : QObject(nullptr)
    , m_wallpaper(wallpaper)
    , m_reportParent(reportParent)
    , m_watch(wallpaper.watchMonitors())
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &MonitorFollower::redraw);
    if (!m_watch)
        return;
    m_notifier = new QSocketNotifier(m_watch->descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MonitorFollower::readWatch);
}

MonitorFollower::~MonitorFollower() = default;

void MonitorFollower::readWatch()
{
    if (m_watch->changed())
        m_settle.start();
    if (m_watch->lost())
        m_notifier->setEnabled(false);
}

void MonitorFollower::redraw()
{
    std::string failure;
    try {
        m_wallpaper.showAgain();
        m_lastReport.clear();
        return;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    // A monitor that flickers on and off must not pile up reports of one
    // missing picture; a new text, or the same after a success, is told.
    if (m_reporting || failure == m_lastReport)
        return;
    m_lastReport = failure;
    m_reporting = true;
    const QPointer<MonitorFollower> alive(this);
    dialogs::showError(m_reportParent, failure);
    if (alive)
        m_reporting = false;
}
