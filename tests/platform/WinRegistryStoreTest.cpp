// The registry store against the system's registry (Wine's in CI). Each test
// works below a subkey of its own under both roots, so the real keys of the
// program are never touched.
#ifdef _WIN32

#include "platform/Error.h"
#include "platform/Store.h"
#include "platform/win/RegistryStore.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <windows.h>

using namespace plimbury;

namespace {

constexpr const char* kTestParent = "Software\\plimbury-tests";

HKEY rootKey(Root root) { return root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// The registry's own view, without the store under test.
struct RawValue {
    LONG rc = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::string bytes;
};

RawValue rawValue(HKEY root, const std::string& key, const std::string& name)
{
    RawValue v;
    HKEY k = nullptr;
    v.rc = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k);
    if (v.rc != ERROR_SUCCESS)
        return v;
    DWORD size = 0;
    v.rc = RegQueryValueExA(k, name.c_str(), nullptr, &v.type, nullptr, &size);
    if (v.rc == ERROR_SUCCESS) {
        v.bytes.resize(size);
        v.rc = RegQueryValueExA(k, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()), &size);
        v.bytes.resize(size);
    }
    RegCloseKey(k);
    return v;
}

bool rawKeyExists(HKEY root, const std::string& key)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

class WinRegistryStore : public ::testing::Test {
protected:
    WinRegistryStore()
    {
        std::random_device seed;
        m_prefix = std::string(kTestParent) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(seed());
        m_store = makeRegistryStore(m_prefix);
        HKEY probe = nullptr;
        m_machineWritable = RegCreateKeyExA(HKEY_LOCAL_MACHINE, m_prefix.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_READ | KEY_WRITE, nullptr, &probe, nullptr) == ERROR_SUCCESS;
        if (probe)
            RegCloseKey(probe);
    }

    // On a real Windows only administrators may write there; Wine lets everyone.
    void SetUp() override
    {
        if (!m_machineWritable)
            GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable for this user";
    }

    ~WinRegistryStore() override
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            RegDeleteTreeA(root, m_prefix.c_str());
            // Only when no other run still has a key there.
            RegDeleteKeyA(root, kTestParent);
        }
    }

    std::string under(const std::string& path) const { return m_prefix + "\\" + path; }

    std::string m_prefix;
    std::unique_ptr<Store> m_store;
    bool m_machineWritable = false;
};

TEST_F(WinRegistryStore, KeysOfTheProgramAreCreatedUnderTheirRootAsNamed)
{
    struct Case {
        Root root;
        const char* path;
    };
    for (const Case& c : std::vector<Case>{
             {Root::LocalMachine, kProgramKey},
             {Root::LocalMachine, kRunKey},
             {Root::CurrentUser, kDesktopKey},
         }) {
        SCOPED_TRACE(c.path);
        const Root other = c.root == Root::LocalMachine ? Root::CurrentUser : Root::LocalMachine;
        EXPECT_FALSE(m_store->keyExists(c.root, c.path));
        ASSERT_NE(m_store->openKey(c.root, c.path), nullptr);
        EXPECT_TRUE(m_store->keyExists(c.root, c.path));
        EXPECT_FALSE(m_store->keyExists(other, c.path));
        EXPECT_TRUE(rawKeyExists(rootKey(c.root), under(c.path)));
        EXPECT_FALSE(rawKeyExists(rootKey(other), under(c.path)));
    }
}

TEST_F(WinRegistryStore, ValuesAreStringsThatReadBackExactly)
{
    auto key = m_store->openKey(Root::LocalMachine, kProgramKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->read(kSelectedValue), "") << "a missing value reads as empty";

    const std::vector<std::string> values = {
        "",
        "C:\\Documents and Settings\\u\\My Documents\\show.lmv",
        "C:\\Program Files\\Plimbury\\plimbury.exe /TRAY",
        " leading and trailing blanks ",
        "\"quoted\"",
        "semi;colon = equals [brackets]",
        std::string(5000, 'x') + "\\end",
    };
    for (const std::string& value : values) {
        SCOPED_TRACE(value.substr(0, 60));
        key->write(kSelectedValue, value);
        EXPECT_EQ(key->read(kSelectedValue), value);
        // What other programs (and the system) read: a REG_SZ with its terminator.
        const RawValue raw = rawValue(HKEY_LOCAL_MACHINE, under(kProgramKey), kSelectedValue);
        ASSERT_EQ(raw.rc, ERROR_SUCCESS);
        EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw.bytes, value + '\0');
        // A second handle, as the next tick would open it, sees the same.
        EXPECT_EQ(m_store->openKey(Root::LocalMachine, kProgramKey)->read(kSelectedValue), value);
    }
}

TEST_F(WinRegistryStore, NamesMatchWithoutRegardToCase)
{
    m_store->openKey(Root::LocalMachine, kProgramKey)->write(kSelectedValue, "C:\\a.lmv");
    EXPECT_TRUE(m_store->keyExists(Root::LocalMachine, "SOFTWARE\\LumaVueTest"));
    auto key = m_store->openKey(Root::LocalMachine, "Software\\LUMAVUETEST");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->read("SETTIME_SELECTED"), "C:\\a.lmv");
}

TEST_F(WinRegistryStore, ValuesWrittenByOthersAreReadAsTheyMeantThem)
{
    auto key = m_store->openKey(Root::CurrentUser, kDesktopKey);
    ASSERT_NE(key, nullptr);
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, under(kDesktopKey).c_str(), 0, KEY_WRITE, &raw), ERROR_SUCCESS);
    const DWORD number = 2;
    RegSetValueExA(raw, "number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    // Stored without its terminator, as some programs do.
    RegSetValueExA(raw, "unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    RegSetValueExA(raw, "expandable", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%WINDIR%\\x.bmp"), 15);
    RegCloseKey(raw);

    EXPECT_EQ(key->read("number"), "") << "not a string";
    EXPECT_EQ(key->read("unterminated"), "abc");
    EXPECT_EQ(key->read("expandable"), "%WINDIR%\\x.bmp");
}

TEST_F(WinRegistryStore, AKeyThatCannotBeMadeIsNotOpened)
{
    // Below a volatile key only volatile keys can be made.
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, under("volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);
    EXPECT_EQ(m_store->openKey(Root::CurrentUser, "volatile\\Desktop"), nullptr);
    EXPECT_FALSE(m_store->keyExists(Root::CurrentUser, "volatile\\Desktop"));
}

TEST_F(WinRegistryStore, AFailedWriteNamesTheValue)
{
    auto key = m_store->openKey(Root::LocalMachine, kProgramKey);
    ASSERT_NE(key, nullptr);
    try {
        key->write(kSelectedValue, std::string("before\0after", 12));
        FAIL() << "a zero byte would cut the value short";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'settime_selected'");
    }

    // Another program removed the key while it was open.
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, under(kProgramKey).c_str()), ERROR_SUCCESS);
    try {
        key->write(kSelectedValue, "C:\\a.lmv");
        FAIL() << "the key is gone";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'settime_selected'");
    }
    EXPECT_EQ(key->read(kSelectedValue), "");
}

TEST(WinSystemStore, IsTheRegistryAtItsRealRoots)
{
    auto store = makeSystemStore();
    // Every Windows profile has it, Wine's included.
    EXPECT_TRUE(store->keyExists(Root::CurrentUser, kDesktopKey));
    EXPECT_TRUE(store->keyExists(Root::CurrentUser, "\\Control Panel\\Desktop"));
    EXPECT_FALSE(store->keyExists(Root::LocalMachine, "Software\\plimbury-tests\\no such key"));
}

} // namespace

#endif
