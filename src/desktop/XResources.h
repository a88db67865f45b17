#pragma once
// The text of an X resource file as xscreensaver reads and writes it
// (~/.xscreensaver, its installed app-defaults): lines of "name: value",
// a line ending in an odd number of backslashes going on in the next, "!"
// and "#" starting comments. Pure text, no files.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plimbury::xresources {

// One resource line of the text, its continuation lines joined; `begin` and
// `end` span it in the text, its line end included.
struct Resource {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string name;    // without a leading "*" or "XScreenSaver." / "XScreenSaver*"
    std::string value;   // continuations joined, "\n" escapes still as written
};

// Every resource of `text` in order; comments, blank lines and lines
// without a colon are passed over.
std::vector<Resource> resourcesOf(const std::string& text);

// An item of xscreensaver's `programs` value.
struct Program {
    std::string name;   // the command's first word, without its folder
    bool enabled = true;
};

// The items of a programs value, in xscreensaver's order: one per line (the
// "\n" escapes), each "[-] [visual:] ["pretty name"] command ...".
std::vector<Program> programsOf(std::string_view value);

// Sets the resource `name` to `value` in `text`: its line replaced where it
// is (the first of that name), else a line added at the end.
void setResource(std::string& text, const std::string& name, const std::string& value);

} // namespace plimbury::xresources
