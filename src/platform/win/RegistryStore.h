#pragma once
// The store on Windows: the system registry. makeSystemStore() returns the
// registry at its real roots; tests place it under a subkey of their own.

#include "platform/Store.h"

#include <memory>
#include <string>

namespace plimbury {

// Every key path is taken below `prefix` (e.g. "Software\\plimbury-tests\\1")
// under the same root; an empty prefix is the root itself. Values are REG_SZ.
std::unique_ptr<Store> makeRegistryStore(std::string prefix = {});

} // namespace plimbury
