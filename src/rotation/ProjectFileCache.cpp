#include "rotation/ProjectFileCache.h"

#ifdef _WIN32
#include <chrono>
#include <filesystem>
#else
#include <sys/stat.h>
#endif

namespace plimbury {

ProjectFileCache::Identity ProjectFileCache::identify(const std::string& path)
{
    Identity id;
#ifdef _WIN32
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return id;
    const auto modified = std::filesystem::last_write_time(path, ec);
    if (ec)
        return id;
    id.exists = true;
    id.size = size;
    id.modifiedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return id;
    id.exists = true;
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.modifiedNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    id.fileNumber = static_cast<std::uint64_t>(st.st_ino);
    id.device = static_cast<std::uint64_t>(st.st_dev);
#endif
    return id;
}

ProfileFile& ProjectFileCache::open(const std::string& path)
{
    // Looked at before parsing: a change between the two makes the next
    // open() parse again instead of keeping a stale parse.
    const Identity now = identify(path);
    if (!m_file || path != m_path || !(now == m_identity)) {
        m_file.reset();
        m_file.emplace(path);
        m_path = path;
        m_identity = now;
        ++m_parses;
    }
    return *m_file;
}

void ProjectFileCache::forget()
{
    m_file.reset();
}

} // namespace plimbury
