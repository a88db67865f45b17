#pragma once
// Building a Windows command line: CreateProcess takes one string, which the
// started program splits back into arguments by the C runtime's rules.

#include <string>
#include <vector>

namespace plimbury::win {

// `program` in quotes (a program path cannot hold a quotation mark, and the
// runtime reads the program name with quotes but without escapes), then each
// argument quoted where needed, so the started program's argv[1..] are
// exactly `args`, blanks, quotation marks, backslashes and empty ones included.
std::string commandLine(const std::string& program, const std::vector<std::string>& args);

// One argument in the runtime's quoting rules.
std::string quoteArgument(const std::string& argument);

} // namespace plimbury::win
