#include "support/FakeStore.h"

#include "platform/Error.h"

namespace plimbury::test {

namespace {

class FakeKey final : public StoreKey {
public:
    FakeKey(FakeStore& store, std::map<std::string, std::string>& values, std::vector<std::string>* log)
        : m_store(store), m_values(values), m_log(log)
    {
    }

    std::string read(const std::string& name) override
    {
        const auto found = m_values.find(name);
        return found == m_values.end() ? std::string() : found->second;
    }

    void write(const std::string& name, const std::string& value) override
    {
        if (m_store.refuseAll || m_store.refused.contains(name))
            throw Error("Failed to set data for '" + name + "'");
        if (m_log)
            m_log->push_back(name + "=" + value);
        m_values[name] = value;
    }

private:
    FakeStore& m_store;
    std::map<std::string, std::string>& m_values;
    std::vector<std::string>* m_log;
};

} // namespace

bool FakeStore::keyExists(Root root, const std::string& path)
{
    return keys.contains({root, path});
}

std::unique_ptr<StoreKey> FakeStore::openKey(Root root, const std::string& path)
{
    if (!openable)
        return nullptr;
    return std::make_unique<FakeKey>(*this, keys[{root, path}], m_log);
}

} // namespace plimbury::test
