// The resource text xscreensaver reads and writes: lines, continuations,
// comments, the programs list, and setting one resource in place.
#include "desktop/XResources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plimbury::xresources;

namespace {

// Each resource as "name=value".
std::vector<std::string> resourcesIn(const std::string& text)
{
    std::vector<std::string> found;
    for (const Resource& r : resourcesOf(text))
        found.push_back(r.name + "=" + r.value);
    return found;
}

TEST(XResources, ResourcesOfAText)
{
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> resources;
    };
    for (const Case& c : std::vector<Case>{
             {"prefixes go, values keep their blanks", "*mode:\trandom\nXScreenSaver.lock: True \nXScreenSaver*cycle:0:10\n",
              {"mode=\trandom", "lock= True", "cycle=0:10"}},
             {"comments, blanks and lines without a colon pass", "! c\n# c\n\n   \nno colon\nx: 1\n", {"x= 1"}},
             {"an odd backslash continues the line", "programs: a \\\n b\\n\\\n c\nnext: 2\n",
              {"programs= a  b\\n c", "next= 2"}},
             {"an even run of backslashes does not", "path: c:\\\\\nnext: 2\n", {"path= c:\\\\", "next= 2"}},
             {"a continuation at the very end stays", "x: 1\\", {"x= 1\\"}},
             {"carriage returns are blanks", "mode: one\r\nselected: 3\r\n", {"mode= one", "selected= 3"}},
             {"only the first colon divides", "timeout: 0:10:00", {"timeout= 0:10:00"}},
             {"a prefix only once", "**x: 1\n", {"*x= 1"}},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(resourcesIn(c.text), c.resources);
    }
}

TEST(XResources, EachResourceSpansItsLinesAndLineEnd)
{
    const std::string text = "! head\na: 1\nb: 2 \\\n  3\nc: 4";
    const std::vector<Resource> resources = resourcesOf(text);
    ASSERT_EQ(resources.size(), 3u);
    EXPECT_EQ(text.substr(resources[0].begin, resources[0].end - resources[0].begin), "a: 1\n");
    EXPECT_EQ(text.substr(resources[1].begin, resources[1].end - resources[1].begin), "b: 2 \\\n  3\n");
    EXPECT_EQ(text.substr(resources[2].begin, resources[2].end - resources[2].begin), "c: 4");
}

TEST(XResources, ProgramsOfAValue)
{
    struct Case {
        const char* what;
        const char* value;
        std::vector<std::string> programs;  // a disabled one with a "-"
    };
    for (const Case& c : std::vector<Case>{
             {"one per escaped line", "maze -root\\n qix -root\\n", {"maze", "qix"}},
             {"a leading dash disables", "- maze -root\\n-\tqix\\n", {"-maze", "-qix"}},
             {"a visual goes", "GL: gears -root\\n default-n:\tattraction\\n", {"gears", "attraction"}},
             {"a pretty name goes", "- \"Qix (solid)\" qix -solid\\n GL: \"Big: Gears\" gears\\n", {"-qix", "gears"}},
             {"an unclosed pretty name leaves no command", "\"Qix qix\\nmaze", {"", "maze"}},
             {"the folder goes", "/usr/libexec/xscreensaver/xflame -root", {"xflame"}},
             {"empty items pass", "\\n \\n\t\\nmaze", {"maze"}},
             {"nothing", "", {}},
         }) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> programs;
        for (const Program& p : programsOf(c.value))
            programs.push_back((p.enabled ? "" : "-") + p.name);
        EXPECT_EQ(programs, c.programs);
    }
}

TEST(XResources, SetResourceReplacesItsLineOrAddsOne)
{
    struct Case {
        const char* what;
        std::string text;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{
             {"replaced where it is", "a: 1\nmode:\trandom\nb: 2\n", "a: 1\nmode:\t\tone\nb: 2\n"},
             {"with its continuation lines", "mode: a \\\n b\nz: 9\n", "mode:\t\tone\nz: 9\n"},
             {"a prefixed one counts", "*mode: random\n", "mode:\t\tone\n"},
             {"only the first of two", "mode: 1\nmode: 2\n", "mode:\t\tone\nmode: 2\n"},
             {"added at the end", "a: 1\n", "a: 1\nmode:\t\tone\n"},
             {"after a last line without its end", "a: 1", "a: 1\nmode:\t\tone\n"},
             {"a comment is not it", "! mode: x\n", "! mode: x\nmode:\t\tone\n"},
             {"into nothing", "", "mode:\t\tone\n"},
         }) {
        SCOPED_TRACE(c.what);
        std::string text = c.text;
        setResource(text, "mode", "one");
        EXPECT_EQ(text, c.expected);
    }
}

} // namespace
