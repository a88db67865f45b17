#pragma once
// The program keeps every path as UTF-8 text: on Windows the process's code
// page is UTF-8 (see the manifest), so the "A" functions and fopen take it as
// it is. std::filesystem must be told, though: MinGW's narrow conversion
// widens the bytes one by one, and "Sommer é" would become "Sommer Ã©".

#include <filesystem>
#include <string>

namespace plimbury {

inline std::filesystem::path fsPath(const std::string& utf8)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return std::filesystem::path(utf8);
#endif
}

inline std::string pathText(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

} // namespace plimbury
