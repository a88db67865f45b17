#pragma once
// A short-lived connection to the session bus, for one wallpaper change.
// A connection of its own rather than GIO's shared one: GIO keeps the shared
// one for the life of the process, from the address found at its first use.

#include <gio/gio.h>

#include <string>

namespace plimbury::desktop {

class SessionBus {
public:
    // `who` names the far end in error texts ("The XFCE settings service").
    // Throws Error("<who> cannot be reached: <reason>").
    explicit SessionBus(std::string who);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Calls a method; `arguments` (floating or null) is consumed. Returns the
    // reply, owned by the caller, of type `replyType` (null: any). Throws
    // Error("<who> refused the change: <reason>") for an error reply and
    // Error("<who> did not answer: <reason>") otherwise.
    GVariant* call(const char* service, const char* path, const char* interface, const char* method,
                   GVariant* arguments, const GVariantType* replyType, int timeoutMs = 10000);

private:
    std::string m_who;
    GDBusConnection* m_connection = nullptr;
};

} // namespace plimbury::desktop
