#pragma once
// Every file the program owns is replaced atomically: a temporary file in the
// same folder is written, flushed and renamed over the target, so a crash or a
// kill at any moment leaves either the old or the new file, never a mix.
// A target that is a symbolic link is written through to the file it names;
// the target's permission bits are kept.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plimbury {

// Failure of a file operation: errnoValue is the system's error number.
struct FileError {
    int errnoValue = 0;
};

// Reads a whole file. nullopt when it does not exist; throws FileError on
// other failures (a folder, no permission).
std::optional<std::string> readWholeFile(const std::string& path);

// Replaces `path` with `content`. Throws FileError; the old file is then untouched.
void writeFileAtomically(const std::string& path, std::string_view content);

// A writer killed between creating its temporary file and renaming it leaves
// the temporary behind (".<name>.tmp-<16 hex digits>" beside the target).
// The first AtomicFile of a target in a process removes those not written for
// staleAfter, before it creates its own: a live writer touches its file far
// more often, and a full disk is freed before the new file needs the room.
inline constexpr std::chrono::seconds staleAfter {600};
void removeStaleTemporariesOnce(const std::string& target);

// A file written piece by piece (in any order) that replaces `path` only at commit().
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);   // throws FileError
    ~AtomicFile();                                   // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void writeAt(std::uint64_t offset, const void* data, std::size_t size); // throws FileError
    void reserve(std::uint64_t size);                                        // sets the file size; throws FileError
    // Starts writing [offset, offset + size) to disk now, without waiting, so
    // that commit()'s flush finds little left to do. Only a hint: never fails.
    void startWriteback(std::uint64_t offset, std::uint64_t size) noexcept;
    void commit();                                                           // flush + rename; throws FileError

private:
    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    bool m_committed = false;
};

} // namespace plimbury
