#include "desktop/posix/SessionBus.h"

#include "platform/Error.h"

namespace plimbury::desktop {

namespace {

std::string takeMessage(GError* error)
{
    if (!error)
        return "unknown reason";
    // "GDBus.Error:org.freedesktop.DBus.Error.ServiceUnknown: The name ..." is
    // more than anyone wants to read.
    g_dbus_error_strip_remote_error(error);
    std::string message = error->message ? error->message : "unknown reason";
    g_error_free(error);
    return message;
}

} // namespace

SessionBus::SessionBus(std::string who)
    : m_who(std::move(who))
{
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!address)
        throw Error(m_who + " cannot be reached: " + takeMessage(error));
    m_connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
    if (!m_connection)
        throw Error(m_who + " cannot be reached: " + takeMessage(error));
    g_dbus_connection_set_exit_on_close(m_connection, FALSE);
}

SessionBus::~SessionBus()
{
    g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
    g_object_unref(m_connection);
}

GVariant* SessionBus::call(const char* service, const char* path, const char* interface, const char* method,
                           GVariant* arguments, const GVariantType* replyType, int timeoutMs)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(m_connection, service, path, interface, method, arguments,
                                                  replyType, G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &error);
    if (reply)
        return reply;
    // A name nobody owns is a desktop that is not running, not a refusal.
    const bool refused = error && g_dbus_error_is_remote_error(error) &&
                         !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) &&
                         !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) &&
                         !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_EXEC_FAILED) &&
                         !g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_FAILED);
    throw Error(m_who + (refused ? " refused the change: " : " did not answer: ") + takeMessage(error));
}

} // namespace plimbury::desktop
