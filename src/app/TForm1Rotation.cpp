// The two rotation timers. Each handler gathers its channel from the widgets
// and asks the runner for the turn; the rules live in src/rotation. The
// runner's reports are shown here, one box per channel at a time, while the
// timers go on firing under the box.
#include "app/TForm1.h"

#include "app/TrayIcon.h"
#include "widgets/SortedListBox.h"
#include "rotation/RotationRunner.h"

#include <QPointer>

#include <optional>
#include <string>

namespace {

class WindowTimers final : public plimbury::TurnTimers {
public:
    WindowTimers(QTimer& wallpaper, QTimer& screensaver) : m_timers{&wallpaper, &screensaver} {}
    void start(plimbury::Channel channel) override { timer(channel).start(); }
    void stop(plimbury::Channel channel) override { timer(channel).stop(); }
    bool isActive(plimbury::Channel channel) const override { return timer(channel).isActive(); }

private:
    QTimer& timer(plimbury::Channel channel) const { return *m_timers[static_cast<std::size_t>(channel)]; }
    std::array<QTimer*, 2> m_timers;
};

} // namespace

void TForm1::createRunner()
{
    m_turnTimers = std::make_unique<WindowTimers>(Timer1, Timer2);
    plimbury::RotationServices services;
    services.store = m_services.store;
    services.clock = m_services.clock;
    services.wallpaper = m_services.wallpaper;
    services.screenSaver = m_services.screenSaver;
    services.dataFolder = m_services.dataFolder;
    m_runner = std::make_unique<plimbury::RotationRunner>(services, *m_turnTimers);
}

plimbury::ChannelSettings TForm1::channelSettings(plimbury::Channel channel) const
{
    if (channel == plimbury::Channel::Wallpaper)
        return {FileListBox1->lines(), wallpaperInterval()};
    return {FileListBox2->lines(), screensaverInterval()};
}

void TForm1::rotationTick(plimbury::Channel channel)
{
    std::optional<std::string> text = m_runner->turn(channel, currentProjectFile(), channelSettings(channel));
    const QPointer<TForm1> alive(this); // the window may close meanwhile
    while (text) {
        dialogs::showError(this, *text);
        if (!alive)
            return;
        text = m_runner->reportClosed(channel);
    }
}

void TForm1::Timer1Timer()
{
    rotationTick(plimbury::Channel::Wallpaper);
}

void TForm1::Timer2Timer()
{
    rotationTick(plimbury::Channel::Screensaver);
}

plimbury::ControlReply TForm1::controlCommand(plimbury::ControlCommand command)
{
    const plimbury::ControlReply reply =
        m_runner->command(command, currentProjectFile(),
                          {channelSettings(plimbury::Channel::Wallpaper), channelSettings(plimbury::Channel::Screensaver)});
    if (m_tray->isPresent())
        m_tray->add(trayTip());
    return reply;
}

bool TForm1::paused() const
{
    return m_runner->paused();
}

bool TForm1::wallpaperFirstTick() const
{
    return m_runner->firstTick(plimbury::Channel::Wallpaper);
}

bool TForm1::screensaverFirstTick() const
{
    return m_runner->firstTick(plimbury::Channel::Screensaver);
}
