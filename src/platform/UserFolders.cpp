#include "platform/UserFolders.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace plimbury {

namespace {

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
#ifndef _WIN32
    // Services and some session managers start programs without HOME.
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
#endif
    return {};
}

std::string baseFolder(const char* variable, const char* underHome)
{
    // Relative values are invalid in the XDG layout and would make the
    // result depend on the working folder.
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    return homeFolder() + underHome;
}

} // namespace

std::string userConfigFolder() { return baseFolder("XDG_CONFIG_HOME", "/.config"); }
std::string userDataFolder() { return baseFolder("XDG_DATA_HOME", "/.local/share"); }
std::string userCacheFolder() { return baseFolder("XDG_CACHE_HOME", "/.cache"); }

} // namespace plimbury
