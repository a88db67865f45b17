#include "desktop/XResources.h"

#include <utility>

namespace plimbury::xresources {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::vector<Resource> resourcesOf(const std::string& text)
{
    std::vector<Resource> resources;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Resource resource;
        resource.begin = pos;
        std::string logical;
        for (;;) {
            const std::size_t newline = text.find('\n', pos);
            const std::size_t lineEnd = newline == std::string::npos ? text.size() : newline;
            std::string_view line(text.data() + pos, lineEnd - pos);
            pos = newline == std::string::npos ? text.size() : newline + 1;
            std::size_t backslashes = 0;
            while (backslashes < line.size() && line[line.size() - 1 - backslashes] == '\\')
                ++backslashes;
            if (backslashes % 2 == 1 && pos < text.size()) {
                logical.append(line.substr(0, line.size() - 1));
                continue;
            }
            logical.append(line);
            break;
        }
        resource.end = pos;
        const std::string_view content = trimmed(logical);
        const std::size_t colon = content.find(':');
        if (content.empty() || content.front() == '#' || content.front() == '!' || colon == std::string_view::npos)
            continue;
        std::string_view name = trimmed(content.substr(0, colon));
        for (const std::string_view prefix : {"XScreenSaver.", "XScreenSaver*", "*"})
            if (name.substr(0, prefix.size()) == prefix) {
                name.remove_prefix(prefix.size());
                break;
            }
        resource.name = name;
        resource.value = content.substr(colon + 1);
        resources.push_back(std::move(resource));
    }
    return resources;
}

std::vector<Program> programsOf(std::string_view value)
{
    std::vector<Program> programs;
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find("\\n", start);
        if (end == std::string_view::npos)
            end = value.size();
        std::string_view item = trimmed(value.substr(start, end - start));
        start = end + 2;
        if (item.empty())
            continue;
        Program program;
        if (item.front() == '-') {
            program.enabled = false;
            item = trimmed(item.substr(1));
        }
        std::size_t word = 0;
        while (word < item.size() && item[word] != ':' && item[word] != '"' && !isBlank(item[word]))
            ++word;
        if (word < item.size() && item[word] == ':')
            item = trimmed(item.substr(word + 1));
        if (!item.empty() && item.front() == '"') {
            const std::size_t close = item.find('"', 1);
            item = close == std::string_view::npos ? std::string_view() : trimmed(item.substr(close + 1));
        }
        std::size_t commandEnd = 0;
        while (commandEnd < item.size() && !isBlank(item[commandEnd]))
            ++commandEnd;
        std::string_view command = item.substr(0, commandEnd);
        if (const std::size_t slash = command.rfind('/'); slash != std::string_view::npos)
            command.remove_prefix(slash + 1);
        program.name = command;
        programs.push_back(std::move(program));
    }
    return programs;
}

void setResource(std::string& text, const std::string& name, const std::string& value)
{
    const std::string line = name + ":\t\t" + value + "\n";
    for (const Resource& resource : resourcesOf(text))
        if (resource.name == name) {
            text.replace(resource.begin, resource.end - resource.begin, line);
            return;
        }
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += line;
}

} // namespace plimbury::xresources
