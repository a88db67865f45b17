#pragma once
// The one error type of the core. Its text is exactly what the user reads in
// the error report; callers never reword it.

#include <stdexcept>
#include <string>

namespace plimbury {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's own text for an errno value ("No such file or directory").
std::string systemErrorText(int errnoValue);

} // namespace plimbury
