#pragma once
// Keeps the wallpaper whole when monitors come and go, where this program
// paints it itself (see desktop/MonitorWatch.h): once the monitors have
// settled after a change, the recorded wallpaper is shown again over them.
// Elsewhere it does nothing.

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

class QSocketNotifier;
class QWidget;

namespace plimbury {
class MonitorWatch;
class Wallpaper;
}

class MonitorFollower final : public QObject {
    Q_OBJECT
public:
    // `wallpaper` must outlive this object; a failed redraw is reported over
    // `reportParent` with the standard error report, once per text.
    MonitorFollower(plimbury::Wallpaper& wallpaper, QWidget* reportParent);
    ~MonitorFollower() override;

    // A change comes as a burst of notifications; the redraw waits this long
    // after the last one.
    static constexpr int kSettleMs = 400;

private:
    void readWatch();
    void redraw();

    plimbury::Wallpaper& m_wallpaper;
    QWidget* m_reportParent;
    std::unique_ptr<plimbury::MonitorWatch> m_watch;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_settle;
    std::string m_lastReport;
    bool m_reporting = false;
};
