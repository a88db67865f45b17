#pragma once
// Letter case as the program compares names: only the ASCII letters fold.
// The bytes of other letters depend on a code page the program does not know,
// and file systems that ignore case do so by their own tables.

#include <string>
#include <string_view>

namespace plimbury {

constexpr char asciiLower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiLower(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered)
        c = asciiLower(c);
    return lowered;
}

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace plimbury
