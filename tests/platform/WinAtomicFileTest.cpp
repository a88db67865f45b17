// Atomic replacement against Windows' own rules (Wine in CI): files held open
// by other programs, and the attributes Windows keeps on a file.
#ifdef _WIN32

#include "platform/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>

#include <windows.h>

using namespace plimbury;
using plimbury::test::readFile;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

int entriesIn(const std::filesystem::path& folder)
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

HANDLE openForReading(const std::string& path, DWORD share)
{
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(WinAtomicFile, WaitsBrieflyForAReaderThatHoldsTheFile)
{
    // Classic Windows semantics (Wine's too): an open file cannot be renamed
    // over, whatever its sharing.
    for (const DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
        SCOPED_TRACE(share);
        TempDir dir;
        const std::string path = dir.file("lumavue.bmp");
        writeFile(path, "old");
        const HANDLE reader = openForReading(path, share);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        std::jthread letGo([reader] {
            Sleep(100);
            CloseHandle(reader);
        });
        try {
            writeFileAtomically(path, "new");
        } catch (const FileError& e) {
            ADD_FAILURE() << "errno " << e.errnoValue;
        }
        letGo.join();
        EXPECT_EQ(readFile(path), "new");
        EXPECT_EQ(entriesIn(dir.path()), 1);
    }
}

TEST(WinAtomicFile, AReaderThatNeverLetsGoLeavesTheOldFileAndNoTemporary)
{
    TempDir dir;
    const std::string path = dir.file("lumavue.bmp");
    writeFile(path, "old");
    const HANDLE reader = openForReading(path, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    try {
        writeFileAtomically(path, "new");
        ADD_FAILURE() << "replaced a file that was held open";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errnoValue, EACCES);
    }
    CloseHandle(reader);
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(entriesIn(dir.path()), 1);
}

TEST(WinAtomicFile, KeepsTheHiddenMarkAndRefusesReadOnlyFiles)
{
    TempDir dir;
    const std::string hidden = dir.file("hidden.lmv");
    writeFile(hidden, "old");
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    writeFileAtomically(hidden, "new");
    EXPECT_EQ(readFile(hidden), "new");
    EXPECT_TRUE(GetFileAttributesA(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    const std::string readOnly = dir.file("read-only.lmv");
    writeFile(readOnly, "old");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    try {
        AtomicFile file(readOnly);
        ADD_FAILURE() << "opened a read-only file for replacement";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errnoValue, EACCES);
    }
    EXPECT_EQ(readFile(readOnly), "old");
    EXPECT_EQ(entriesIn(dir.path()), 2);
}

TEST(WinAtomicFile, FoldersAndMissingFiles)
{
    TempDir dir;
    EXPECT_EQ(readWholeFile(dir.file("missing.lmv")), std::nullopt);
    EXPECT_EQ(readWholeFile(dir.file("no folder\\missing.lmv")), std::nullopt);
    try {
        readWholeFile(dir.path().string());
        ADD_FAILURE() << "read a folder";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errnoValue, EISDIR);
    }
    try {
        writeFileAtomically(dir.file("no folder\\x.lmv"), "x");
        ADD_FAILURE() << "wrote into a folder that does not exist";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errnoValue, ENOENT);
    }
}

} // namespace

#endif
