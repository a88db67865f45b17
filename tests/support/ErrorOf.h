#pragma once
// The text a call fails with, for comparing with what the user would read.

#include <functional>
#include <string>

namespace plimbury::test {

// What errorOf returns when `action` ends normally.
inline constexpr const char* kNoError = "<no error>";

// The text of the plimbury::Error `action` throws; kNoError when it throws
// none. Any other exception passes through and fails the test.
std::string errorOf(const std::function<void()>& action);

} // namespace plimbury::test
