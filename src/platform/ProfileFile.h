#pragma once
// An INI (profile) file, parsed once per command or tick: the project files
// and the file store are made of these.
//
// Reads and writes address one key: a missing file, section or key reads as "";
// names match without regard to ASCII case; values are read whole (no length
// limit) and bytes pass through unchanged. A write replaces the value in place
// (keeping the file's spelling of the names), adds a new key after the last
// line of its section, and a new section at the end of the file; nothing is
// ever removed, and lines no write addresses stay byte for byte.
//
// Writes collect in memory and reach the disk together at flush(), as one
// atomic replacement of the file.

#include <string>
#include <string_view>
#include <vector>

namespace plimbury {

class ProfileFile {
public:
    // Reads and parses `path` (a missing file is an empty one). A file that
    // cannot be read at all reads as empty too.
    explicit ProfileFile(std::string path);

    const std::string& path() const { return m_path; }

    std::string read(std::string_view section, std::string_view key) const;

    // Throws Error when the text cannot be stored as one entry (a line break
    // in the value; "=", a line break or a leading "[" in the key; "]" or a
    // line break in the section name); the file is then unchanged.
    void write(std::string_view section, std::string_view key, std::string_view value);

    // Writes the changes, if any, to disk atomically. Throws
    // Error("Unable to write to <path>") when the system refuses.
    void flush();

    bool dirty() const { return m_dirty; }

private:
    std::string m_path;
    bool m_dirty = false;
    // (parsed representation: the implementation's choice)
};

} // namespace plimbury
