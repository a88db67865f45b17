#pragma once
// A store in memory for tests: keys come into being when first opened (as in
// the file store), values read "" until written, and every way a real store
// can fail is a switch.

#include "platform/Store.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace plimbury::test {

class FakeStore final : public Store {
public:
    // With `log`, every stored write is appended to it as "name=value", so a
    // test can see the writes in order among what its other fakes record.
    explicit FakeStore(std::vector<std::string>* log = nullptr) : m_log(log) {}

    bool keyExists(Root root, const std::string& path) override;
    // Null while `openable` is false; the key is not created then.
    std::unique_ptr<StoreKey> openKey(Root root, const std::string& path) override;

    // The values of every key opened so far, by root and path.
    std::map<std::pair<Root, std::string>, std::map<std::string, std::string>> keys;
    bool openable = true;
    // Value names whose writes throw Error("Failed to set data for '<name>'").
    std::set<std::string> refused;
    // Every write throws, whatever its name.
    bool refuseAll = false;

private:
    std::vector<std::string>* m_log;
};

} // namespace plimbury::test
