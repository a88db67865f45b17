#include "platform/win/RegistryStore.h"

#include "platform/Error.h"

#include <windows.h>

namespace plimbury {

namespace {

HKEY rootKey(Root root)
{
    return root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

class RegistryKey final : public StoreKey {
public:
    explicit RegistryKey(HKEY key)
        : m_key(key)
    {
    }
    ~RegistryKey() override { RegCloseKey(m_key); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    std::string read(const std::string& name) override
    {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return {};
        std::string value;
        for (;;) {
            value.resize(size);
            const LONG rc = RegQueryValueExA(m_key, name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(value.data()), &size);
            // Another program may lengthen the value between the two calls.
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
                return {};
            break;
        }
        // The stored size counts the terminator, or not when another program
        // wrote the value without one.
        value.resize(size);
        if (const std::size_t end = value.find('\0'); end != std::string::npos)
            value.resize(end);
        return value;
    }

    void write(const std::string& name, const std::string& value) override
    {
        // A string value ends at its first zero byte: the rest would be lost.
        const bool storable = value.find('\0') == std::string::npos && value.size() < 0x7FFFFFFF;
        if (!storable ||
            RegSetValueExA(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
            throw Error("Failed to set data for '" + name + "'");
    }

private:
    HKEY m_key;
};

class RegistryStore final : public Store {
public:
    explicit RegistryStore(std::string prefix)
        : m_prefix(std::move(prefix))
    {
    }

    bool keyExists(Root root, const std::string& path) override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(rootKey(root), fullPath(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    std::unique_ptr<StoreKey> openKey(Root root, const std::string& path) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(rootKey(root), fullPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<RegistryKey>(key);
    }

private:
    // The registry functions take paths relative to the root: the leading
    // backslash of "\Control Panel" would name an empty first key.
    std::string fullPath(const std::string& path) const
    {
        std::string relative = path;
        while (!relative.empty() && relative.front() == '\\')
            relative.erase(0, 1);
        if (m_prefix.empty())
            return relative;
        return relative.empty() ? m_prefix : m_prefix + "\\" + relative;
    }

    std::string m_prefix;
};

} // namespace

std::unique_ptr<Store> makeRegistryStore(std::string prefix)
{
    return std::make_unique<RegistryStore>(std::move(prefix));
}

std::unique_ptr<Store> makeSystemStore()
{
    return makeRegistryStore();
}

} // namespace plimbury
