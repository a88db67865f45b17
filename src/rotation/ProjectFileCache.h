#pragma once
// The schedule keys of the running project file, kept while the file on disk
// stays the same: at rest the two channels look at the file every second, and
// a project of thousands of entries is not worth parsing again (nor keeping
// parsed in memory) to learn that nothing is due. Only the values of the keys
// the ticks read are kept; the whole file is parsed when a key is not known
// yet or when a tick writes.
//
// "The same" means the same path, size, modification time (nanoseconds), file
// number and device: a replacement by another program, an editor's save or
// our own atomic write all change at least one of them. Our own writes drop
// the kept values anyway, so the next tick reads what reached the disk.

#include "platform/ProfileFile.h"
#include "project/ProjectFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace plimbury {

class ProjectFileCache;

// Section "counttime" of the project file during one tick. Reads come from the
// kept values while they are valid; the first read of an unknown key or the
// first write parses the file (once per tick). Lives for one tick.
class ScheduleAccess {
public:
    std::string read(const std::string& key);
    // Throws Error like ProfileFile::write.
    void write(const std::string& key, const std::string& value);
    // Writes the changes, if any, to disk atomically. Throws
    // Error("Unable to write to <path>") when the system refuses.
    void flush();

private:
    friend class ProjectFileCache;
    ScheduleAccess(ProjectFileCache& cache, std::string path)
        : m_cache(cache)
        , m_path(std::move(path))
    {
    }
    ProfileFile& file();

    ProjectFileCache& m_cache;
    std::string m_path;
    std::optional<ProfileFile> m_file;
    bool m_written = false;
};

class ProjectFileCache {
public:
    // `keptKeys`: the keys of section "counttime" to take from every parse,
    // so that a tick reading any of them needs no parse of its own; other
    // keys are kept once read.
    explicit ProjectFileCache(std::vector<std::string> keptKeys = {})
        : m_keptKeys(std::move(keptKeys))
    {
    }

    // One tick's access to the file at `path`. The values kept for another
    // path, or for the file before it changed, are dropped here.
    ScheduleAccess open(const std::string& path);

    // How many times a file was parsed (for tests and benchmarks).
    std::uint64_t parseCount() const { return m_parses; }

    struct Identity {
        bool exists = false;
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::uint64_t fileNumber = 0;
        std::uint64_t device = 0;
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    static Identity identify(const std::string& path);

private:
    friend class ScheduleAccess;
    void forget();

    std::vector<std::string> m_keptKeys;
    std::string m_path;
    Identity m_identity;
    bool m_valid = false;
    std::unordered_map<std::string, std::string> m_values;
    std::uint64_t m_parses = 0;
};

} // namespace plimbury
