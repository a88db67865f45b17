// The profile file (project files and the file store are made of it): any file
// on disk, then any sequence of writes, reads and flushes.
//   - never a crash, and a write is refused exactly when its text cannot be
//     one entry (the contract's list), changing nothing then;
//   - a key reads what was last written to it, as the reader shows values
//     (outer blanks dropped, one pair of enclosing quotes removed);
//   - after the last flush the file parses again to the same answers for
//     every name that was written or asked for;
//   - writing the same values again settles: a second round changes no byte.

#include "FuzzSupport.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"

#include "FuzzInput.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using plimbury::ProfileFile;
using plimbury::fuzz::failure;
using plimbury::fuzz::fold;
using plimbury::fuzz::trim;
using plimbury::fuzz::trimLeft;

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// What a read returns for a value written as `value`.
std::string readBack(std::string_view value)
{
    std::string_view v = trim(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool refusedEntry(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view written = trimLeft(key);
    return hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)
        || written.find('=') != std::string_view::npos || written.starts_with('[')
        || (trim(section).empty() && written.starts_with("\xEF\xBB\xBF"));
}

bool refusedSection(std::string_view section)
{
    return hasLineBreak(section);
}

// The empty-named section (the lines before the first header) has no header,
// so hasSection() never reports it.
bool hasHeader(std::string_view section)
{
    return !trim(section).empty();
}

// Names worth colliding with: the project file's own, spelled several ways,
// and the awkward ones.
std::string pickName(plimbury::fuzz::FuzzInput& in)
{
    static const char* const names[] = {
        "counttime", "CountTime", " counttime ", "switem", "sw0", "SW0", "sw_no", "swcount",
        "a", "A", "", " ", "\x1A", ";c", "[x", "x]", "a=b", "k ", "\"q\"",
    };
    if (in.flag())
        return names[in.inRange(0, static_cast<int>(std::size(names)) - 1)];
    return in.text(24);
}

struct Model {
    // (section, key) folded -> what a read must return.
    std::map<std::pair<std::string, std::string>, std::string> values;
    // The same names -> the text last written.
    std::map<std::pair<std::string, std::string>, std::string> raw;
    std::set<std::string> sections;   // folded names added or written to
};

void checkWritten(const ProfileFile& file, const Model& model, const char* when)
{
    for (const auto& [name, expected] : model.values) {
        if (file.read(name.first, name.second) != expected)
            failure(when, name.first + "/" + name.second + " expected " + expected);
        if (hasHeader(name.first) && !file.hasSection(name.first))
            failure("written section missing", name.first);
    }
    for (const std::string& section : model.sections) {
        if (hasHeader(section) && !file.hasSection(section))
            failure("added section missing", section);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::FuzzInput in(data, size);
    const std::filesystem::path path = plimbury::fuzz::freshScratch("profile") / "project.lmv";
    plimbury::fuzz::writeAll(path, in.text(4096));

    Model model;
    std::vector<std::pair<std::string, std::string>> probes;
    {
        ProfileFile file(path.string());
        while (in.remaining() > 0) {
            const int op = in.inRange(0, 9);
            const std::string section = pickName(in);
            const std::string key = op == 8 ? std::string() : pickName(in);
            if (op <= 4) {
                const std::string value = in.flag() ? pickName(in) : in.text(64);
                const bool dirtyBefore = file.dirty();
                const std::string before = file.read(section, key);
                try {
                    file.write(section, key, value);
                    if (refusedEntry(section, key, value))
                        failure("write accepted a text that cannot be one entry", section + "/" + key + "=" + value);
                    model.values[{fold(section), fold(key)}] = readBack(value);
                    model.raw[{fold(section), fold(key)}] = value;
                    model.sections.insert(fold(section));
                } catch (const plimbury::Error& e) {
                    if (!refusedEntry(section, key, value))
                        failure("write refused a storable entry", section + "/" + key + "=" + value);
                    if (e.what() != "Unable to write to " + path.string())
                        failure("wrong refusal text", e.what());
                    if (file.dirty() != dirtyBefore || file.read(section, key) != before)
                        failure("a refused write changed the file", section + "/" + key);
                }
            } else if (op <= 6) {
                const std::string got = file.read(section, key);
                const auto known = model.values.find({fold(section), fold(key)});
                if (known != model.values.end() && got != known->second)
                    failure("read differs from the last write", section + "/" + key);
                probes.emplace_back(section, key);
            } else if (op == 7) {
                file.flush();
                if (file.dirty())
                    failure("dirty after flush");
            } else if (op == 8) {
                try {
                    file.addSection(section);
                    if (refusedSection(section))
                        failure("addSection accepted a name that cannot be a header", section);
                    model.sections.insert(fold(section));
                } catch (const plimbury::Error&) {
                    if (!refusedSection(section))
                        failure("addSection refused a storable name", section);
                }
            } else {
                probes.emplace_back(section, key);
            }
        }
        checkWritten(file, model, "written value lost before flush");

        std::vector<std::string> answers;
        for (const auto& [section, key] : probes)
            answers.push_back(file.read(section, key) + (file.hasSection(section) ? "|s" : "|-"));
        file.flush();

        const ProfileFile again(path.string());
        checkWritten(again, model, "written value lost after flush and parse");
        for (std::size_t i = 0; i < probes.size(); ++i) {
            const auto& [section, key] = probes[i];
            if (again.read(section, key) + (again.hasSection(section) ? "|s" : "|-") != answers[i])
                failure("a name reads differently after flush and parse", section + "/" + key);
        }
    }

    // The same writes against the written file. A value stored with trailing
    // blanks is written out again (the reader shows it without them, so it
    // differs from the text written), tidying its line as any write does;
    // after that one round nothing may change any more.
    auto rewrite = [&] {
        ProfileFile file(path.string());
        for (const auto& [name, value] : model.raw)
            file.write(name.first, name.second, value);
        file.flush();
        checkWritten(file, model, "written value lost by writing it again");
        return plimbury::fuzz::readAll(path);
    };
    const std::string settled = rewrite();
    if (const std::string now = rewrite(); now != settled)
        failure("writing the values the file holds keeps changing it", settled + " >>> " + now);
    return 0;
}
