#include "platform/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using plimbury::AtomicFile;
using plimbury::FileError;
using plimbury::readWholeFile;
using plimbury::writeFileAtomically;
using plimbury::test::readFile;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

int entriesIn(const fs::path& folder)
{
    return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// The errno a failure carries, where the system has such numbers.
void expectErrno([[maybe_unused]] const FileError& e, [[maybe_unused]] int errnoValue)
{
#ifndef _WIN32
    EXPECT_EQ(e.errnoValue, errnoValue);
#endif
}

TEST(AtomicFile, replacesContent)
{
    const TempDir dir;
    const std::string path = dir.file("f.ini");
    writeFile(path, "old content that is longer");
    writeFileAtomically(path, "new");
    EXPECT_EQ(readFile(path), "new");
    writeFileAtomically(dir.file("created.ini"), std::string("a\0b", 3));
    EXPECT_EQ(readFile(dir.file("created.ini")), std::string("a\0b", 3));
    EXPECT_EQ(entriesIn(dir.path()), 2) << "no temporary file left behind";
}

#ifndef _WIN32
mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(AtomicFile, keepsPermissions)
{
    const TempDir dir;
    const std::string path = dir.file("f.ini");
    writeFile(path, "old content that is longer");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);

    writeFileAtomically(path, "new");
    EXPECT_EQ(modeOf(path), 0640u);
}

TEST(AtomicFile, newFileGetsTheUsualCreationMode)
{
    const TempDir dir;
    const std::string path = dir.file("new.ini");
    const mode_t mask = umask(022);
    writeFileAtomically(path, "x");
    umask(mask);
    EXPECT_EQ(modeOf(path), 0644u);
}

TEST(AtomicFile, writesThroughSymbolicLinks)
{
    const TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string real = dir.file("real/project.lmv");
    writeFile(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    fs::create_symlink("real/project.lmv", dir.path() / "relative.lmv");
    fs::create_symlink(dir.path() / "relative.lmv", dir.path() / "chained.lmv");
    fs::create_symlink(dir.path() / "real" / "gone.lmv", dir.path() / "dangling.lmv");

    writeFileAtomically(dir.file("chained.lmv"), "through two links");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "chained.lmv"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "relative.lmv"));
    EXPECT_EQ(readFile(real), "through two links");
    EXPECT_EQ(modeOf(real), 0600u);

    writeFileAtomically(dir.file("dangling.lmv"), "recreated");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.lmv"));
    EXPECT_EQ(readFile(dir.file("real/gone.lmv")), "recreated");
    EXPECT_EQ(entriesIn(dir.path() / "real"), 2);
}

TEST(AtomicFile, readOnlyFileIsNotReplaced)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const TempDir dir;
    const std::string path = dir.file("f.ini");
    writeFile(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_THROW(writeFileAtomically(path, "new"), FileError);
    EXPECT_EQ(readFile(path), "old");
}
#endif

TEST(AtomicFile, failuresLeaveTheOldFileAndNoTemporaryFile)
{
    struct Case {
        const char* name;
        std::function<std::string(const TempDir&)> target;   // sets up and returns the path
        int errnoValue;
    };
    const Case cases[] = {
        {"parent_is_a_regular_file",
         [](const TempDir& d) {
             writeFile(d.file("plain"), "x");
             return d.file("plain/f.ini");
         },
         ENOTDIR},
        {"missing_folder", [](const TempDir& d) { return d.file("no-such-dir/f.ini"); }, ENOENT},
        {"target_is_a_folder",
         [](const TempDir& d) {
             fs::create_directory(d.path() / "sub");
             return d.file("sub");
         },
         EISDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        writeFile(dir.file("keep.ini"), "old");
        const std::string target = c.target(dir);
        const int before = entriesIn(dir.path());
        try {
            writeFileAtomically(target, "new");
            ADD_FAILURE() << "write succeeded";
        } catch (const FileError& e) {
            expectErrno(e, c.errnoValue);
        }
        EXPECT_EQ(readFile(dir.file("keep.ini")), "old");
        EXPECT_EQ(entriesIn(dir.path()), before);
    }
}

TEST(AtomicFile, uncommittedFileLeavesTargetAlone)
{
    const TempDir dir;
    const std::string path = dir.file("f.bmp");
    writeFile(path, "old");
    {
        AtomicFile file(path);
        file.writeAt(0, "partial", 7);
        EXPECT_EQ(entriesIn(dir.path()), 2);
    }
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(entriesIn(dir.path()), 1);
}

TEST(AtomicFile, piecesWrittenInAnyOrder)
{
    const TempDir dir;
    const std::string path = dir.file("f.bmp");
    {
        AtomicFile file(path);
        file.reserve(12);
        file.writeAt(8, "tail", 4);
        file.writeAt(0, "head", 4);
        file.commit();
    }
    EXPECT_EQ(readFile(path), std::string("head\0\0\0\0tail", 12));
    EXPECT_EQ(entriesIn(dir.path()), 1);
}

TEST(AtomicFile, readWholeFile)
{
    const TempDir dir;
    const std::string big(200000, 'z');
    writeFile(dir.file("big"), big);
    EXPECT_EQ(readWholeFile(dir.file("big")), big);
    EXPECT_EQ(readWholeFile(dir.file("missing")), std::nullopt);
    writeFile(dir.file("plain"), "x");
    EXPECT_EQ(readWholeFile(dir.file("plain/under")), std::nullopt);
    try {
        readWholeFile(dir.path().string());
        ADD_FAILURE() << "a folder was read";
    } catch (const FileError& e) {
        expectErrno(e, EISDIR);
    }
}

// A writer killed before its rename leaves ".<name>.tmp-<16 hex>" behind; the
// next writer of the same file removes those not written for a while, and
// nothing else.
TEST(AtomicFile, staleTemporariesOfTheTargetAreRemovedBeforeWriting)
{
    struct Row {
        const char* name;
        bool old;
        bool removed;
    };
    const Row rows[] = {
        {".lumavue.bmp.tmp-0123456789abcdef", true, true},
        {".lumavue.bmp.tmp-0123456789abcdef.x", true, false},  // not one of ours
        {".lumavue.bmp.tmp-0123456789abcde", true, false},
        {".other.bmp.tmp-0123456789abcdef", true, false},       // another file's
        {"lumavue.bmp.tmp-0123456789abcdef", true, false},
        {".lumavue.bmp.tmp-fedcba9876543210", false, false},    // a writer at work
    };
    const TempDir dir;
    const std::string target = dir.file("lumavue.bmp");
    writeFile(target, "old");
    const auto longAgo = fs::file_time_type::clock::now() - plimbury::staleAfter - std::chrono::minutes(1);
    for (const Row& row : rows) {
        writeFile(dir.file(row.name), std::string(4096, 'x'));
        if (row.old)
            fs::last_write_time(dir.file(row.name), longAgo);
    }
    fs::create_directory(dir.file(".lumavue.bmp.tmp-00000000000000ff"));
    std::error_code notOnEverySystem;   // Windows cannot date a folder this way
    fs::last_write_time(dir.file(".lumavue.bmp.tmp-00000000000000ff"), longAgo, notOnEverySystem);

    writeFileAtomically(target, "new");

    EXPECT_EQ(readFile(target), "new");
    for (const Row& row : rows)
        EXPECT_EQ(fs::exists(dir.file(row.name)), !row.removed) << row.name;
    EXPECT_TRUE(fs::is_directory(dir.file(".lumavue.bmp.tmp-00000000000000ff")));
}

} // namespace
