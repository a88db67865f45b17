#ifndef _WIN32

#include "platform/System.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace plimbury;
using plimbury::test::ScopedEnv;

namespace {

TEST(SystemFolders, ExecutableAndItsFolder)
{
    const std::string path = executablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(fs::path(path).filename(), "platform_tests");
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
    EXPECT_EQ(executableFolder() + pathSeparator() + "platform_tests", path);
    // The build folder is writable, so the program's files stay beside it.
    EXPECT_EQ(programDataFolder(), executableFolder());
}

TEST(SystemFolders, ScreenSaverFolderExists)
{
    EXPECT_TRUE(fs::is_directory(systemScreenSaverFolder()));
}

TEST(SystemFolders, EnvironmentValue)
{
    {
        ScopedEnv set("PLIMBURY_TEST_VALUE", "a b=c");
        EXPECT_EQ(environmentValue("PLIMBURY_TEST_VALUE"), "a b=c");
    }
    EXPECT_EQ(environmentValue("PLIMBURY_TEST_VALUE"), "");
}

} // namespace

#endif
