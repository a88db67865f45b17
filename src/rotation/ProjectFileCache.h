#pragma once
// The running project file, parsed once and kept while the file on disk stays
// the same: at rest the two channels look at it every second, and a project of
// thousands of entries is not worth parsing again to learn that nothing is due.
//
// "The same" means the same path, size, modification time (nanoseconds), file
// number and device: a replacement by another program, an editor's save or
// our own atomic write all change at least one of them. Our own writes drop
// the parse anyway (forget()), so the next tick reads what reached the disk.

#include "platform/ProfileFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace plimbury {

class ProjectFileCache {
public:
    // The parsed file at `path`, parsed again only when the file changed (or
    // another path is asked for). The reference stays valid until the next
    // open() or forget().
    ProfileFile& open(const std::string& path);

    // Drops the parse; the next open() reads the file again.
    void forget();

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
    std::string m_path;
    Identity m_identity;
    std::optional<ProfileFile> m_file;
    std::uint64_t m_parses = 0;
};

} // namespace plimbury
