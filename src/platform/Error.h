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

// The text the error report shows for `text`: a period is added after a last
// character that sorts after it.
std::string errorReportText(const std::string& text);

} // namespace plimbury
