#pragma once
// An INI (profile) file, parsed once per command or tick: the project files
// and the file store are made of these.
//
// Reads and writes address one key: a missing file, section or key reads as "";
// names match without regard to ASCII case; values are read whole (no length
// limit) and bytes pass through unchanged. A header's name runs to the last "]"
// of its line ("[a]b]" is section "a]b"). The lines before the first header are
// the section with the empty name; a "[]" header ends the section above it and
// starts a later copy of the empty-named one, which (like any later copy of a
// section) is never read or written. A write replaces the value in place
// (keeping the file's spelling of the names), adds a new key after the last
// line of its section, and a new section at the end of the file; nothing is
// ever removed, and lines no write addresses stay byte for byte.
//
// Writes collect in memory and reach the disk together at flush(), as one
// atomic replacement of the file.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plimbury {

// The blanks the format ignores around names and values: space, tab, vertical
// tab, form feed, the line ends, and ^Z (an old end-of-file mark that editors
// left behind).
constexpr bool isProfileBlank(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == '\x1A';
}

class ProfileFile {
public:
    // Reads and parses `path` (a missing file is an empty one). A file that
    // cannot be read at all (a folder, no permission) reads as empty too, but
    // flush() then refuses to replace it.
    explicit ProfileFile(std::string path);

    const std::string& path() const { return m_path; }

    std::string read(std::string_view section, std::string_view key) const;

    // Leading blanks of the names and the value are dropped. Writing the value
    // a key already holds changes nothing. Throws Error("Unable to write to
    // <path>") when the text cannot be stored as one entry (a line break in
    // the value; "=", a line break or a leading "[" in the key; a leading UTF-8
    // byte-order mark in a key of the empty-named section; a line break in the
    // section name); nothing is then changed. A new key of the empty-named
    // section goes after the lines before the first header, or at the start
    // of the file.
    void write(std::string_view section, std::string_view key, std::string_view value);

    // A section exists when its header is in the file, keys or not. The
    // empty-named section has no header of its own: false for "".
    bool hasSection(std::string_view section) const;

    // Adds an empty section at the end of the file unless it exists (nothing
    // for the empty name, which needs no header). Throws Error for a name
    // write() would refuse.
    void addSection(std::string_view section);

    // Writes the changes, if any, to disk atomically. Throws
    // Error("Unable to write to <path>") when the system refuses; the changes
    // are then kept, so a later flush() may try again.
    void flush();

    bool dirty() const { return m_dirty; }

private:
    struct NoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    template <class T>
    using NameMap = std::unordered_map<std::string, T, NoCaseHash, NoCaseEqual>;

    struct Line {
        std::string text;      // without its line end
        std::string_view end;  // "\r\n", "\n", "\r", or "" for a last line without one
    };
    // The lines of one section. New keys go to the end of `body`, so adding
    // many keys to a section in the middle of the file costs no shifting; the
    // file is assembled at flush().
    struct Section {
        Line header;                 // empty for the lines before the first header
        std::vector<Line> body;      // up to the last line that is not blank
        std::vector<Line> tail;      // the blank lines that follow
        NameMap<std::size_t> keys;   // first entry of each name -> index in body
    };

    void parse(std::string_view text);
    Section& sectionForWrite(std::string_view section, bool& created);
    static void tidyHeader(Line& header);
    void refuse() const;

    std::string m_path;
    bool m_dirty = false;
    bool m_unreadable = false;           // never replace what could not be read
    std::string m_bom;                   // kept in front of the first line
    std::string_view m_newline = "\r\n"; // the file's own line end, for new lines
    std::vector<Section> m_sections;     // [0]: the lines before the first header
    NameMap<std::size_t> m_index;        // first section of each name; "" -> 0
};

} // namespace plimbury
