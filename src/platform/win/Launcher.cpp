#include "platform/Launcher.h"

#include "platform/win/CommandLine.h"

#include <windows.h>

namespace plimbury {

bool startDetached(const std::string& program, const std::vector<std::string>& args)
{
    if (program.empty())
        return false;
    // CreateProcess may write into the command line it is given.
    std::string line = win::commandLine(program, args);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    // A path is run as named (whatever its extension, as for a ".scr"); a
    // bare name is looked up the way CreateProcess looks up the first word
    // of a command line.
    const bool isPath = program.find_first_of("\\/:") != std::string::npos;
    if (!CreateProcessA(isPath ? program.c_str() : nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace plimbury
