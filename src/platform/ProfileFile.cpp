#include "platform/ProfileFile.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"

#include <algorithm>
#include <optional>

namespace plimbury {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isProfileBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trim(std::string_view s)
{
    s = trimLeft(s);
    while (!s.empty() && isProfileBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isBlankLine(std::string_view s)
{
    return trimLeft(s).empty();
}

char foldCase(char c)
{
    return asciiLower(c);
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// The line end that starts at text[at]: CR LF, LF, or an old Mac's CR alone.
std::string_view lineEndAt(std::string_view text, std::size_t at)
{
    if (text.substr(at).starts_with("\r\n"))
        return "\r\n";
    return text[at] == '\n' ? "\n" : "\r";
}

// [name] with anything before "[" blank; the name runs to the last "]".
struct Header {
    std::size_t open = 0;
    std::size_t close = 0;

    std::string_view inner(std::string_view line) const { return line.substr(open + 1, close - open - 1); }
};

std::optional<Header> findHeader(std::string_view line)
{
    const std::size_t open = line.find_first_not_of(" \t\v\f\r\n\x1A");
    if (open == std::string_view::npos || line[open] != '[')
        return std::nullopt;
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos || close < open)
        return std::nullopt;
    return Header{open, close};
}

std::string_view entryName(std::string_view line)
{
    return trim(line.substr(0, line.find('=')));
}

// The raw value: what follows the first "=", without the blanks around it.
// nullopt for a line that has no "=" at all.
std::optional<std::string_view> entryValue(std::string_view line)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(eq + 1));
}

} // namespace

std::size_t ProfileFile::NoCaseHash::operator()(std::string_view s) const noexcept
{
    std::size_t h = 14695981039346656037ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(foldCase(c));
        h *= 1099511628211ull;
    }
    return h;
}

bool ProfileFile::NoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldCase(x) == foldCase(y); });
}

ProfileFile::ProfileFile(std::string path)
    : m_path(std::move(path))
{
    std::optional<std::string> content;
    try {
        content = readWholeFile(m_path);
    } catch (const FileError&) {
        m_unreadable = true;
    }
    parse(content ? std::string_view(*content) : std::string_view());
}

void ProfileFile::parse(std::string_view text)
{
    if (text.starts_with(kBom)) {
        m_bom = kBom;
        text.remove_prefix(kBom.size());
    }
    const std::size_t firstEnd = text.find_first_of("\r\n");
    if (firstEnd != std::string_view::npos)
        m_newline = lineEndAt(text, firstEnd);

    auto closeSection = [](Section& s) {
        auto lastUsed = std::find_if(s.body.rbegin(), s.body.rend(), [](const Line& l) { return !isBlankLine(l.text); });
        const auto used = static_cast<std::size_t>(s.body.rend() - lastUsed);
        s.tail.assign(std::make_move_iterator(s.body.begin() + static_cast<std::ptrdiff_t>(used)),
                      std::make_move_iterator(s.body.end()));
        s.body.resize(used);
    };

    // The lines before the first header, if any, are the section with the
    // empty name; a "[]" further down is a later copy of it, never reached.
    m_sections.emplace_back();
    m_index.emplace(std::string(), 0);
    while (!text.empty()) {
        const std::size_t stop = text.find_first_of("\r\n");
        Line line;
        if (stop == std::string_view::npos) {
            line.text = text;
            text = {};
        } else {
            line.text = text.substr(0, stop);
            line.end = lineEndAt(text, stop);
            text.remove_prefix(stop + line.end.size());
        }

        if (const auto header = findHeader(line.text)) {
            closeSection(m_sections.back());
            // Only the first section of a name is ever reached; later copies stay as they are.
            m_index.emplace(std::string(trim(header->inner(line.text))), m_sections.size());
            m_sections.emplace_back().header = std::move(line);
            continue;
        }
        Section& section = m_sections.back();
        if (!isBlankLine(line.text))
            section.keys.emplace(std::string(entryName(line.text)), section.body.size());
        section.body.push_back(std::move(line));
    }
    closeSection(m_sections.back());
}

std::string ProfileFile::read(std::string_view section, std::string_view key) const
{
    const auto s = m_index.find(trim(section));
    if (s == m_index.end())
        return {};
    const Section& found = m_sections[s->second];
    const auto k = found.keys.find(trim(key));
    if (k == found.keys.end())
        return {};
    std::string_view value = entryValue(found.body[k->second].text).value_or(std::string_view());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

void ProfileFile::refuse() const
{
    throw Error("Unable to write to " + m_path);
}

bool ProfileFile::hasSection(std::string_view section) const
{
    section = trim(section);
    return !section.empty() && m_index.contains(section);
}

// A header written with blanks inside its brackets is tidied once a write
// addresses its section; the name it stands for does not change.
void ProfileFile::tidyHeader(Line& header)
{
    const auto found = findHeader(header.text);
    if (!found)
        return;
    const std::string_view inner = found->inner(header.text);
    const std::string_view name = trim(inner);
    if (name.size() == inner.size())
        return;
    header.text = header.text.substr(0, found->open + 1) + std::string(name) + header.text.substr(found->close);
}

ProfileFile::Section& ProfileFile::sectionForWrite(std::string_view section, bool& created)
{
    created = false;
    // A line break would end the header early. A "]" is harmless: the name
    // runs to the last one on the line.
    if (hasLineBreak(section))
        refuse();
    if (const auto s = m_index.find(trim(section)); s != m_index.end())
        return m_sections[s->second];
    Section added;
    // The written spelling stays, less its leading blanks; trailing ones are
    // kept as the platform's own writer keeps them.
    added.header = Line{"[" + std::string(trimLeft(section)) + "]", m_newline};
    m_index.emplace(std::string(trim(section)), m_sections.size());
    m_sections.push_back(std::move(added));
    m_dirty = true;
    created = true;
    return m_sections.back();
}

void ProfileFile::addSection(std::string_view section)
{
    bool created = false;
    sectionForWrite(section, created);
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view writtenKey = trimLeft(key);
    // Each of these would split the entry or hide it under another name, and
    // the platform's writer would store it anyway and corrupt the file. A key
    // of the empty-named section may open the file, and a byte-order mark
    // there is taken for the file's own.
    if (hasLineBreak(key) || hasLineBreak(value) || writtenKey.find('=') != std::string_view::npos
        || writtenKey.starts_with('[') || (trim(section).empty() && writtenKey.starts_with(kBom)))
        refuse();
    const std::string_view writtenValue = trimLeft(value);

    bool created = false;
    Section& target = sectionForWrite(section, created);
    if (const auto k = target.keys.find(trim(key)); k != target.keys.end()) {
        Line& line = target.body[k->second];
        const auto old = entryValue(line.text);
        if (old && *old == writtenValue)
            return;
        line.text = std::string(entryName(line.text)) + "=" + std::string(writtenValue);
        // A rewritten last line gets its line end, as an appended one would.
        if (line.end.empty())
            line.end = m_newline;
    } else {
        target.keys.emplace(std::string(trim(key)), target.body.size());
        target.body.push_back(Line{std::string(writtenKey) + "=" + std::string(writtenValue), m_newline});
    }
    if (!created)
        tidyHeader(target.header);
    m_dirty = true;
}

void ProfileFile::flush()
{
    if (!m_dirty)
        return;
    if (m_unreadable)
        refuse();

    std::size_t size = m_bom.size();
    for (const Section& s : m_sections) {
        size += s.header.text.size() + 2;
        for (const Line& l : s.body)
            size += l.text.size() + 2;
        for (const Line& l : s.tail)
            size += l.text.size() + 2;
    }
    std::string out;
    out.reserve(size);
    out += m_bom;
    bool open = false;   // the last line written has no line end yet
    auto put = [&](const Line& line) {
        if (open)
            out += m_newline;
        out += line.text;
        out += line.end;
        open = line.end.empty();
    };
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        const Section& s = m_sections[i];
        if (i > 0)
            put(s.header);
        for (const Line& l : s.body)
            put(l);
        for (const Line& l : s.tail)
            put(l);
    }

    try {
        writeFileAtomically(m_path, out);
    } catch (const FileError&) {
        refuse();
    }
    m_dirty = false;
}

} // namespace plimbury
