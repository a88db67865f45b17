#include "platform/System.h"

#include "platform/FilePath.h"

#include <filesystem>
#include <system_error>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace plimbury {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Write permission on a folder is a matter of its access list (and of UAC's
// virtualisation of program folders), which no attribute tells: creating a
// file there is the one reliable test.
bool folderWritable(const std::string& folder)
{
    const std::string probe = folder + "\\.plimbury-write-test-" + std::to_string(GetCurrentProcessId());
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::string localAppDataFolder()
{
    if (std::string folder = environmentValue("LOCALAPPDATA"); !folder.empty())
        return folder;
    char buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK)
        return buffer;
    return {};
}

} // namespace

std::string executablePath()
{
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        // A full buffer means the name was cut short.
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string executableFolder()
{
    const std::string path = executablePath();
    std::size_t end = path.size();
    while (end > 0 && !isSeparator(path[end - 1]))
        --end;
    if (end == 0)
        return {};
    // A program in the root folder: "C:\" keeps its separator, "C:" alone
    // would mean the current folder of drive C.
    if (end == 3 && path[1] == ':')
        return path.substr(0, 3);
    return path.substr(0, end - 1);
}

const char* pathSeparator() { return "\\"; }

std::string programDataFolder()
{
    const std::string beside = executableFolder();
    if (!beside.empty() && folderWritable(beside))
        return beside;
    const std::string own = localAppDataFolder() + "\\plimbury";
    std::error_code ec;
    std::filesystem::create_directories(fsPath(own), ec);
    return own;
}

void openDocument(const std::string& path)
{
    ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string systemScreenSaverFolder()
{
    const UINT size = GetSystemDirectoryA(nullptr, 0);
    if (size == 0)
        return {};
    std::string folder(size, '\0');
    const UINT n = GetSystemDirectoryA(folder.data(), size);
    folder.resize(n < size ? n : 0);
    return folder;
}

} // namespace plimbury
