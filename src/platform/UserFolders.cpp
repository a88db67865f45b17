#include "platform/UserFolders.h"

#include "platform/System.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace plimbury {

std::string userHomeFolder()
{
    if (std::string home = environmentValue("HOME"); !home.empty())
        return home;
#ifndef _WIN32
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
#endif
    return {};
}

namespace {

std::string baseFolder(const char* variable, const char* underHome)
{
    // Relative values are invalid in the XDG layout and would make the
    // result depend on the working folder.
    if (std::string value = environmentValue(variable); !value.empty() && value[0] == '/')
        return value;
    return userHomeFolder() + underHome;
}

} // namespace

std::string userConfigFolder() { return baseFolder("XDG_CONFIG_HOME", "/.config"); }
std::string userDataFolder() { return baseFolder("XDG_DATA_HOME", "/.local/share"); }
std::string userCacheFolder() { return baseFolder("XDG_CACHE_HOME", "/.cache"); }

} // namespace plimbury
