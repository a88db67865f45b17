#include "rotation/ProjectFileCache.h"

#include "platform/FilePath.h"

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
    const auto size = std::filesystem::file_size(fsPath(path), ec);
    if (ec)
        return id;
    const auto modified = std::filesystem::last_write_time(fsPath(path), ec);
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

ScheduleAccess ProjectFileCache::open(const std::string& path)
{
    // Looked at before any parse: a change between the two makes the next
    // tick parse again instead of keeping stale values.
    const Identity now = identify(path);
    if (!m_valid || path != m_path || !(now == m_identity)) {
        m_values.clear();
        m_path = path;
        m_identity = now;
        m_valid = true;
    }
    return ScheduleAccess(*this, path);
}

void ProjectFileCache::forget()
{
    m_valid = false;
    m_values.clear();
}

ProfileFile& ScheduleAccess::file()
{
    if (!m_file) {
        m_file.emplace(m_path);
        ++m_cache.m_parses;
        if (!m_written && m_cache.m_valid) {
            for (const std::string& key : m_cache.m_keptKeys)
                m_cache.m_values.try_emplace(key, m_file->read(kScheduleSection, key));
        }
    }
    return *m_file;
}

std::string ScheduleAccess::read(const std::string& key)
{
    if (!m_written && m_cache.m_valid) {
        if (const auto kept = m_cache.m_values.find(key); kept != m_cache.m_values.end())
            return kept->second;
    }
    std::string value = file().read(kScheduleSection, key);
    if (!m_written && m_cache.m_valid)
        m_cache.m_values.emplace(key, value);
    return value;
}

void ScheduleAccess::write(const std::string& key, const std::string& value)
{
    file().write(kScheduleSection, key, value);
    m_written = true;
    m_cache.forget();
}

void ScheduleAccess::flush()
{
    if (m_file && m_file->dirty())
        m_file->flush();
}

} // namespace plimbury
