#include "imaging/InputFile.h"

#include "platform/Error.h"
#include "platform/FilePath.h"

#include <cerrno>
#include <filesystem>

namespace plimbury {

InputFile openInputFile(const std::string& path)
{
    InputFile file(std::fopen(path.c_str(), "rb"));
    int error = file ? 0 : errno;
    std::error_code ec;
    if (!error && std::filesystem::is_directory(fsPath(path), ec))
        error = EISDIR;
    if (error)
        throw Error("Cannot open file \"" + path + "\". " + systemErrorText(error));
    // libjpeg reads 4 KiB at a time; a larger buffer saves system calls.
    std::setvbuf(file.get(), nullptr, _IOFBF, 64 * 1024);
    return file;
}

int seekInput(std::FILE* file, std::int64_t offset, int whence)
{
#ifdef _WIN32
    return _fseeki64(file, offset, whence);
#else
    return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

std::int64_t tellInput(std::FILE* file)
{
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

} // namespace plimbury
