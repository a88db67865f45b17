// The project commands of the main window: New, Open, Save, Save and Run.
// The handlers gather the window's state, call the project commands and apply
// what comes back; the connections run each of them inside the error guard.
#include "app/TForm1.h"

#include "app/DesktopNotice.h"
#include "widgets/SortedListBox.h"
#include "platform/Clock.h"
#include "project/ProjectCommands.h"
#include "rotation/RotationRunner.h"
#include "rotation/Schedule.h"

#include <QFile>

namespace {

std::string filePath(const QString& chosen)
{
    return QFile::encodeName(chosen).toStdString();
}

} // namespace

plimbury::ProjectState TForm1::projectState() const
{
    plimbury::ProjectState state;
    state.wallpapers = FileListBox1->lines();
    state.screensavers = FileListBox2->lines();
    state.wallpaper = wallpaperInterval();
    state.screensaver = screensaverInterval();
    state.display = m_runner->display();
    return state;
}

void TForm1::myImage_nClick()
{
    clearAllLists();
}

void TForm1::myImage_oClick()
{
    const auto chosen = dialogs::runOpenDialog(this, OpenDialog1);
    if (!chosen)
        return;
    // Read before anything is cleared: a file that is not a project leaves the
    // user's unsaved lists as they were.
    const plimbury::LoadedProject project = plimbury::loadProject(filePath(*chosen));
    clearAllLists();
    applyLoadedProject(project);
}

void TForm1::myImage_sClick()
{
    const plimbury::ProjectState state = projectState();
    plimbury::checkStorable(state);
    const auto chosen = dialogs::runSaveDialog(this, SaveDialog1);
    if (!chosen)
        return;
    plimbury::saveProject(filePath(*chosen), state);
}

void TForm1::myImage_donetClick()
{
    // Every due value counts from the click, however long the dialog stays open.
    const plimbury::LocalTime saved = m_services.clock->now();
    const plimbury::ProjectState state = projectState();
    if (!plimbury::intervalsFilledIn(state)) {
        dialogs::showMessage(this, plimbury::kFillInMessage);
        return;
    }
    // Before the dialog and the registry: a box that is not a number would
    // otherwise leave a selected project that the next start cannot resume.
    plimbury::checkBeforeSaveAndRun(state);

    m_runner->stopShow();
    const auto chosen = dialogs::runSaveDialog(this, SaveDialog1);
    if (!chosen)
        return;   // the rotation stays stopped
    const std::string path = filePath(*chosen);
    plimbury::recordSelectedProject(*m_services.store, path);
    plimbury::saveAndRunProject(
        path, state,
        [&saved](plimbury::Unit unit, std::int32_t count) { return plimbury::nextDue(unit, count, saved); },
        plimbury::stampNumberText(saved));
    // A new show starts running, whatever was paused before.
    m_runner->runNewShow();
    // Without a tray icon the window would just vanish; the log-on start
    // (Timer3) stays silent, as the user did not ask for anything then.
    if (!goToTray(QStringLiteral("plimbury 2.1")))
        m_notice->show(trayTip(), QStringLiteral("The wallpaper and the screen saver change on schedule in the "
                                                 "background. Start Plimbury again to bring the window back."));
}
