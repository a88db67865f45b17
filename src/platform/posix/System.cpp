#include "platform/System.h"

#include "platform/Launcher.h"
#include "platform/UserFolders.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace plimbury {

std::string executablePath()
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        // readlink does not say whether it cut the name short: only a result
        // shorter than the buffer is known to be whole.
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string executableFolder()
{
    const std::string path = executablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

const char* pathSeparator() { return "/"; }

std::string programDataFolder()
{
    const std::string beside = executableFolder();
    if (!beside.empty() && access(beside.c_str(), W_OK) == 0)
        return beside;
    const std::string own = userDataFolder() + "/plimbury";
    std::error_code ec;
    std::filesystem::create_directories(own, ec);
    return own;
}

void openDocument(const std::string& path)
{
    startDetached("xdg-open", {path});
}

std::string systemScreenSaverFolder()
{
    for (const char* folder : {"/usr/libexec/xscreensaver", "/usr/lib/xscreensaver"}) {
        std::error_code ec;
        if (std::filesystem::is_directory(folder, ec))
            return folder;
    }
    return "/usr/bin";
}

} // namespace plimbury
