#include "platform/AtomicFile.h"

#include "platform/win/WinError.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

// The class keeps a C runtime descriptor (its member is an int); the Win32
// handle behind it is taken with _get_osfhandle for every operation.

namespace plimbury {

namespace {

[[noreturn]] void fail(int errnoValue)
{
    throw FileError{errnoValue};
}

[[noreturn]] void failWithLastError()
{
    fail(win::errnoFromWin32(GetLastError()));
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t nameStart(const std::string& path)
{
    std::size_t i = path.size();
    while (i > 0 && !isSeparator(path[i - 1]) && path[i - 1] != ':')
        --i;
    return i;
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A symbolic link is replaced by the file it names, not by a copy in its place.
std::string followLinks(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    // A link to a file that does not exist (yet) is replaced itself.
    if (file == INVALID_HANDLE_VALUE)
        return path;
    std::string final(MAX_PATH, '\0');
    DWORD n = GetFinalPathNameByHandleA(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = GetFinalPathNameByHandleA(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(file);
    if (n == 0 || n >= final.size())
        return path;
    final.resize(n);
    // "\\?\C:\x" and "\\?\UNC\server\share\x" as the A functions take them.
    if (final.rfind("\\\\?\\UNC\\", 0) == 0)
        return "\\\\" + final.substr(8);
    if (final.rfind("\\\\?\\", 0) == 0)
        return final.substr(4);
    return final;
}

int createTemp(const std::string& target, std::string& tempPath)
{
    std::random_device seed;
    std::mt19937_64 rng(seed() ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32));
    const std::size_t start = nameStart(target);
    const std::string stem = target.substr(0, start) + "." + target.substr(start) + ".tmp-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(rng()));
        tempPath = stem + suffix;
        const HANDLE file = CreateFileA(tempPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            tempPath.clear();
            fail(win::errnoFromWin32(error));
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(file);
            DeleteFileA(tempPath.c_str());
            tempPath.clear();
            fail(EMFILE);
        }
        return fd;
    }
    tempPath.clear();
    fail(EEXIST);
}

} // namespace

std::optional<std::string> readWholeFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        fail(win::errnoFromWin32(error));
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        fail(EISDIR);
    // Others may go on reading, writing or replacing the file meanwhile, as
    // they could on a POSIX system.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        fail(win::errnoFromWin32(error));
    }
    std::string content;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
        content.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            const DWORD error = GetLastError();
            CloseHandle(file);
            fail(win::errnoFromWin32(error));
        }
        if (n == 0)
            break;
        content.append(buffer, n);
    }
    CloseHandle(file);
    return content;
}

AtomicFile::AtomicFile(const std::string& path)
    : m_target(followLinks(path))
{
    const DWORD attributes = GetFileAttributesA(m_target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            fail(EISDIR);
        // MoveFileEx would refuse a read-only target only at commit(), after
        // all the writing.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            fail(EACCES);
    }
    removeStaleTemporariesOnce(m_target);
    m_fd = createTemp(m_target, m_temp);
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0)
        _close(m_fd);
    if (!m_committed && !m_temp.empty())
        DeleteFileA(m_temp.c_str());
}

void AtomicFile::writeAt(std::uint64_t offset, const void* data, std::size_t size)
{
    if (m_fd < 0)
        fail(EBADF);
    const HANDLE file = handleOf(m_fd);
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        // WriteFile counts in a DWORD: large writes go in pieces.
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, &at))
            failWithLastError();
        if (written == 0)
            fail(EIO);
        bytes += written;
        size -= written;
        offset += written;
    }
}

void AtomicFile::startWriteback(std::uint64_t, std::uint64_t) noexcept
{
    // Windows writes back lazily on its own; FlushFileBuffers at commit does the rest.
}

void AtomicFile::reserve(std::uint64_t size)
{
    if (m_fd < 0)
        fail(EBADF);
    if (size > static_cast<std::uint64_t>(INT64_MAX))
        fail(EFBIG);
    const HANDLE file = handleOf(m_fd);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        failWithLastError();
}

void AtomicFile::commit()
{
    if (m_fd < 0)
        fail(EBADF);
    if (!FlushFileBuffers(handleOf(m_fd)))
        failWithLastError();
    const int fd = m_fd;
    m_fd = -1;
    if (_close(fd) != 0)
        fail(EIO);
    // Hidden, system and archive marks of the old file stay with the new one.
    const DWORD old = GetFileAttributesA(m_target.c_str());
    if (old != INVALID_FILE_ATTRIBUTES) {
        const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        SetFileAttributesA(m_temp.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    // While any program has the target open (a virus scanner, an indexer,
    // an editor reading it), whatever its sharing, the name cannot be
    // replaced: such holds are usually brief, so try for about a second. A
    // read-only target was refused at the start, so a denial here is a hold.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(m_temp.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = GetLastError();
        const bool held =
            error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (!held || attempt >= 20)
            fail(win::errnoFromWin32(error));
        Sleep(50);
    }
    m_committed = true;
}

} // namespace plimbury
