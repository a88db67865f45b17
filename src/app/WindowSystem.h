#pragma once
// What the window system needs told beyond Qt's window flags.

class QWidget;

namespace windowsystem {

// Asks panels and pagers not to list `window` (_NET_WM_STATE_SKIP_TASKBAR and
// _NET_WM_STATE_SKIP_PAGER on X11). Call it while the window is unmapped, just
// before it is shown: window managers drop the state when a window is hidden.
// Does nothing on other window systems.
void keepOffTaskbar(QWidget* window);

} // namespace windowsystem
