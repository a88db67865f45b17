#include "support/ErrorOf.h"

#include "platform/Error.h"

namespace plimbury::test {

std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return kNoError;
}

} // namespace plimbury::test
