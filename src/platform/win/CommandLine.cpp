#include "platform/win/CommandLine.h"

namespace plimbury::win {

std::string quoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    // Backslashes are literal except in a run that ends at a quotation mark:
    // there each one is doubled, and the mark itself is escaped; the run
    // before the closing quote is doubled too.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string commandLine(const std::string& program, const std::vector<std::string>& args)
{
    std::string line = "\"" + program + "\"";
    for (const std::string& argument : args)
        line += " " + quoteArgument(argument);
    return line;
}

} // namespace plimbury::win
