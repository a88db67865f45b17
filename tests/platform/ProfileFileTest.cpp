// What the golden cases cannot show: in-place editing of the lines no write
// addresses, values read whole, refused entries, the BOM, flush failures.

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using plimbury::ProfileFile;
using plimbury::test::readFile;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

struct Write {
    std::string section, key, value;
};

struct InPlaceCase {
    const char* name;
    std::string before;
    std::vector<Write> writes;
    std::string after;
};

class ProfileInPlace : public ::testing::TestWithParam<InPlaceCase> {};

TEST_P(ProfileInPlace, keepsEveryLineNoWriteAddresses)
{
    const InPlaceCase& c = GetParam();
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, c.before);
    // One object per write, as the commands use them, and all in one object.
    for (const Write& w : c.writes) {
        ProfileFile file(path);
        file.write(w.section, w.key, w.value);
        file.flush();
    }
    EXPECT_EQ(readFile(path), c.after);

    writeFile(path, c.before);
    ProfileFile once(path);
    for (const Write& w : c.writes)
        once.write(w.section, w.key, w.value);
    once.flush();
    EXPECT_EQ(readFile(path), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Profile, ProfileInPlace,
    ::testing::Values(
        InPlaceCase{"hand_formatted_lf_file",
                    "; project file\n[s]\na = 1\n\tb\t=\t2\n\n# note = x\nc=3   \n\n\n[t]\n  x =  y  \n",
                    {{"s", "c", "30"}, {"t", "x", "z"}},
                    "; project file\n[s]\na = 1\n\tb\t=\t2\n\n# note = x\nc=30\n\n\n[t]\nx=z\n"},
        InPlaceCase{"new_key_before_blank_lines_that_separate_sections",
                    "[a]\r\nx=1\r\n\r\ny=2\r\n\r\n[b]\r\nw=0\r\n",
                    {{"a", "z", "3"}},
                    "[a]\r\nx=1\r\n\r\ny=2\r\nz=3\r\n\r\n[b]\r\nw=0\r\n"},
        InPlaceCase{"new_section_after_trailing_blank_lines",
                    "[a]\r\nx=1\r\n\r\n\r\n",
                    {{"b", "y", "2"}},
                    "[a]\r\nx=1\r\n\r\n\r\n[b]\r\ny=2\r\n"},
        InPlaceCase{"mixed_line_ends_new_lines_take_the_first",
                    "[a]\r\nx=1\ny=2\r\n[b]\nz=3\n",
                    {{"b", "w", "4"}, {"a", "x", "5"}},
                    "[a]\r\nx=5\ny=2\r\n[b]\nz=3\nw=4\r\n"},
        InPlaceCase{"cr_only_file_stays_cr_only",
                    "[a]\rx=1\ry=2\r",
                    {{"a", "z", "3"}, {"c", "k", "v"}},
                    "[a]\rx=1\ry=2\rz=3\r[c]\rk=v\r"},
        InPlaceCase{"header_blanks_tidied_trailing_text_kept",
                    "  [ sec ] ; about sec\r\nk=1\r\n[ other ]\r\nj=1\r\n",
                    {{"sec", "k", "2"}},
                    "  [sec] ; about sec\r\nk=2\r\n[ other ]\r\nj=1\r\n"},
        InPlaceCase{"many_keys_into_a_middle_section_keep_order",
                    "[first]\na=1\n; end of first\n\n[last]\nb=2\n",
                    {{"first", "k1", "1"}, {"last", "k2", "2"}, {"first", "k3", "3"}, {"FIRST", "K1", "4"}},
                    "[first]\na=1\n; end of first\nk1=4\nk3=3\n\n[last]\nb=2\nk2=2\n"},
        InPlaceCase{"empty_header_stays_and_empty_name_keys_go_first",
                    "[a]\r\nk=1\r\n[]\r\nj=2\r\n[b]\r\nm=3\r\n",
                    {{"a", "n", "11"}, {"a", "k", "10"}, {"", "j", "20"}, {"", "p", "21"}, {"b", "q", "31"}},
                    "j=20\r\np=21\r\n[a]\r\nk=10\r\nn=11\r\n[]\r\nj=2\r\n[b]\r\nm=3\r\nq=31\r\n"},
        InPlaceCase{"empty_header_on_first_line",
                    "[]\r\nj=2\r\n[a]\r\nk=1\r\n",
                    {{"", "j", "5"}},
                    "j=5\r\n[]\r\nj=2\r\n[a]\r\nk=1\r\n"},
        InPlaceCase{"lines_before_first_header_keep_their_blank_lines",
                    "; top\n\nx=1\n\n[s]\nk=1\n",
                    {{"", "x", "2"}, {"  ", "y", "3"}},
                    "; top\n\nx=2\ny=3\n\n[s]\nk=1\n"},
        InPlaceCase{"header_text_after_last_bracket_kept",
                    "[a]b] ; note\r\nk=1\r\n[c]\r\n",
                    {{"a]b", "k", "2"}, {"A]B", "n", "3"}},
                    "[a]b] ; note\r\nk=2\r\nn=3\r\n[c]\r\n"},
        InPlaceCase{"bom_then_first_key_before_first_header",
                    "\xEF\xBB\xBF[s]\r\nk=1\r\n",
                    {{"", "top", "v"}},
                    "\xEF\xBB\xBFtop=v\r\n[s]\r\nk=1\r\n"},
        InPlaceCase{"bom_kept_and_first_header_found",
                    "\xEF\xBB\xBF[s]\r\nname=Gr\xC3\xBC\xC3\x9F" "e\r\n",
                    {{"s", "u", "\xC3\xA9"}, {"s", "a", "\xE9"}},
                    "\xEF\xBB\xBF[s]\r\nname=Gr\xC3\xBC\xC3\x9F" "e\r\nu=\xC3\xA9\r\na=\xE9\r\n"}),
    [](const ::testing::TestParamInfo<InPlaceCase>& p) { return std::string(p.param.name); });

TEST(ProfileFile, bomFileReadsBytesUnchanged)
{
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, "\xEF\xBB\xBF[s]\r\nname=Gr\xC3\xBC\xC3\x9F" "e\r\ncjk=\xE6\x97\xA5\xE6\x9C\xAC\r\n");
    const ProfileFile file(path);
    EXPECT_EQ(file.read("s", "name"), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(file.read("s", "cjk"), "\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(ProfileFile, longValuesAreReadWhole)
{
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    const std::string path4096 = "/" + std::string(4095, 'p');
    const std::string quoted(3000, 'q');
    writeFile(path, "[s]\r\nk=\"" + quoted + "\"\r\nb=" + std::string(2048, 'b') + "\r\n");
    {
        ProfileFile file(path);
        EXPECT_EQ(file.read("s", "k"), quoted);
        EXPECT_EQ(file.read("s", "b"), std::string(2048, 'b'));
        file.write("s", "long", path4096);
        file.flush();
    }
    EXPECT_EQ(ProfileFile(path).read("s", "long"), path4096);
}

TEST(ProfileFile, entriesThatWouldCorruptTheFileAreRefused)
{
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    const std::string before = "[s]\r\nk=1\r\n";
    writeFile(path, before);
    const std::vector<Write> refused = {
        {"s", "k", "line1\r\nline2=x"}, {"s", "k", "a\nb"},  {"s", "k", "a\rb"},
        {"s", "a=b", "c"},              {"s", "[x]", "1"},   {"s", "  [x", "1"},
        {"s", "k\n", "1"},              {"a\rb", "k", "1"},  {"a\nb", "k", "1"},
        {"", "\xEF\xBB\xBFk", "1"},      {" ", " \xEF\xBB\xBF", "1"},
    };
    ProfileFile file(path);
    for (const Write& w : refused) {
        SCOPED_TRACE(w.section + "/" + w.key + "=" + w.value);
        try {
            file.write(w.section, w.key, w.value);
            ADD_FAILURE() << "not refused";
        } catch (const plimbury::Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
    }
    EXPECT_FALSE(file.dirty());
    file.flush();
    EXPECT_EQ(readFile(path), before);
    // Blanks around the name are not part of it: this key may start with a letter.
    file.write("s", "  x[y", "1");
    EXPECT_EQ(file.read("s", "x[y"), "1");
    // Below a header a byte-order mark cannot open the file.
    file.write("s", "\xEF\xBB\xBFk", "2");
    file.flush();
    EXPECT_EQ(ProfileFile(path).read("s", "\xEF\xBB\xBFk"), "2");
}

TEST(ProfileFile, flushFailureReportsThePathAndCanBeRetried)
{
    const TempDir dir;
    const std::string blocker = dir.file("folder");
    writeFile(blocker, "a regular file where a folder should be");
    const std::string path = blocker + "/p.ini";

    ProfileFile file(path);
    file.write("s", "k", "v");
    try {
        file.flush();
        FAIL() << "flush succeeded";
    } catch (const plimbury::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_TRUE(file.dirty());
    EXPECT_EQ(file.read("s", "k"), "v");

    fs::remove(blocker);
    fs::create_directory(blocker);
    file.flush();
    EXPECT_EQ(readFile(path), "[s]\r\nk=v\r\n");
}

TEST(ProfileFile, aFileThatCannotBeReadIsNeverReplaced)
{
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    fs::create_directory(path);
    ProfileFile file(path);
    EXPECT_EQ(file.read("s", "k"), "");
    file.write("s", "k", "v");
    EXPECT_THROW(file.flush(), plimbury::Error);
    EXPECT_TRUE(fs::is_directory(path));
}

TEST(ProfileFile, unchangedFileIsNotRewritten)
{
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, "[s]\nk = v\n");
    // A replacement would carry the time of now.
    const auto longAgo = fs::last_write_time(path) - std::chrono::hours(48);
    fs::last_write_time(path, longAgo);

    ProfileFile file(path);
    file.write("S", "K", "  v");
    EXPECT_FALSE(file.dirty());
    file.flush();
    EXPECT_EQ(fs::last_write_time(path), longAgo);

    ProfileFile missing(dir.file("missing.ini"));
    EXPECT_EQ(missing.read("s", "k"), "");
    missing.flush();
    EXPECT_FALSE(fs::exists(dir.file("missing.ini")));
}

TEST(ProfileFile, sectionsExistWithoutKeys)
{
    const TempDir dir;
    const std::string path = dir.file("p.ini");
    writeFile(path, "[Control Panel\\Desktop]\n");
    ProfileFile file(path);
    EXPECT_TRUE(file.hasSection("control panel\\desktop"));
    EXPECT_FALSE(file.hasSection("software"));
    file.addSection("Software");
    file.addSection("SOFTWARE");
    EXPECT_TRUE(file.hasSection("software"));
    file.flush();
    EXPECT_EQ(readFile(path), "[Control Panel\\Desktop]\n[Software]\n");

    // The empty-named section has no header to find or add, even where the
    // lines before the first header hold keys and a "[]" header follows.
    writeFile(path, "top=1\n[a]\n[]\nk=2\n");
    ProfileFile orphans(path);
    EXPECT_FALSE(orphans.hasSection(""));
    EXPECT_FALSE(orphans.hasSection("  "));
    orphans.addSection("");
    EXPECT_FALSE(orphans.dirty());
    EXPECT_EQ(orphans.read(" ", "top"), "1");
}

} // namespace
