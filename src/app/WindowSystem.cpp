#include "app/WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(PLIMBURY_HAVE_XCB) && QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace windowsystem {

#if defined(PLIMBURY_HAVE_XCB) && QT_CONFIG(xcb)
namespace {
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}
} // namespace

void keepOffTaskbar(QWidget* window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t values[2] = {internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                  internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || values[0] == XCB_ATOM_NONE || values[1] == XCB_ATOM_NONE)
        return;
    // Qt merges its own states into this property when it maps the window.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), state,
                        XCB_ATOM_ATOM, 32, 2, values);
    xcb_flush(connection);
}
#else
void keepOffTaskbar(QWidget*) {}
#endif

} // namespace windowsystem
