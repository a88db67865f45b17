#include "platform/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <limits>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plimbury {

namespace {

[[noreturn]] void fail(int errnoValue)
{
    throw FileError{errnoValue};
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at, which need not exist yet: a link
// to a file that was deleted is written through, as the link's owner meant.
// realpath() cannot do this, as it fails on a dangling link.
std::string followLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(current.c_str(), link.data(), link.size());
        if (n < 0)
            fail(errno);
        link.resize(static_cast<std::size_t>(n));
        current = (!link.empty() && link.front() == '/') ? link : folderOf(current) + "/" + link;
    }
    fail(ELOOP);
}

// Like mkstemp(), but created with the mode a new file would get (0666 less
// the umask), which mkstemp's fixed 0600 would otherwise hide from a new target.
int createTemp(const std::string& target, std::string& tempPath)
{
    std::random_device seed;
    std::mt19937_64 rng(seed() ^ (static_cast<std::uint64_t>(getpid()) << 32));
    const std::string stem = folderOf(target) + "/." + nameOf(target) + ".tmp-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(rng()));
        tempPath = stem + suffix;
        const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Some file systems cannot sync a folder (EINVAL); the rename itself stands.
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::optional<std::string> readWholeFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        fail(errno);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        fail(e);
    }
    std::string content;
    if (st.st_size > 0)
        content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            fail(e);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

AtomicFile::AtomicFile(const std::string& path)
    : m_target(followLinks(path))
{
    struct stat st {};
    const bool exists = ::stat(m_target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode))
            fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        // Renaming over a read-only file would succeed; the user's protection
        // of the file must still hold.
        if (::access(m_target.c_str(), W_OK) != 0)
            fail(errno);
    }
    removeStaleTemporariesOnce(m_target);
    m_fd = createTemp(m_target, m_temp);
    if (exists) {
        if (::fchmod(m_fd, st.st_mode & 07777) != 0) {
            const int e = errno;
            ::close(m_fd);
            ::unlink(m_temp.c_str());
            fail(e);
        }
        // Only root may give a file away; for anyone else the owner is already right.
        [[maybe_unused]] const int ignored = ::fchown(m_fd, st.st_uid, st.st_gid);
    }
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temp.empty())
        ::unlink(m_temp.c_str());
}

void AtomicFile::writeAt(std::uint64_t offset, const void* data, std::size_t size)
{
    if (m_fd < 0)
        fail(EBADF);
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
            fail(EFBIG);
        const ssize_t n = ::pwrite(m_fd, bytes, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}

void AtomicFile::reserve(std::uint64_t size)
{
    if (m_fd < 0)
        fail(EBADF);
    if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
        fail(EFBIG);
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        fail(errno);
}

void AtomicFile::startWriteback([[maybe_unused]] std::uint64_t offset, [[maybe_unused]] std::uint64_t size) noexcept
{
#ifdef __linux__
    if (m_fd >= 0)
        ::sync_file_range(m_fd, static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#endif
}

void AtomicFile::commit()
{
    if (m_fd < 0)
        fail(EBADF);
    if (::fsync(m_fd) != 0)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    // close() may report a delayed write error (NFS); the data is then not safe.
    if (::close(fd) != 0)
        fail(errno);
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        fail(errno);
    m_committed = true;
    syncFolder(folderOf(m_target));
}

} // namespace plimbury
