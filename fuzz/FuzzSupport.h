#pragma once
// Shared by the fuzz drivers: a scratch folder per process, and a failure that
// libFuzzer records as a crash with the reason on stderr. Built into the unit
// tests to replay the corpora (PLIMBURY_FUZZ_REPLAY), a failure throws instead.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace plimbury::fuzz {

// A fresh folder for this process, on a memory file system when there is one:
// every flush syncs, and a disk would make each run hundreds of times slower.
// $PLIMBURY_FUZZ_DIR chooses another parent.
inline const std::filesystem::path& scratchRoot()
{
    // Never destroyed: the exit handler that removes the folder runs after
    // the destructors of function statics made before it was registered.
    static const std::filesystem::path& dir = *[] {
        std::filesystem::path parent;
        if (const char* chosen = std::getenv("PLIMBURY_FUZZ_DIR"); chosen && *chosen)
            parent = chosen;
        else if (std::filesystem::is_directory("/dev/shm"))
            parent = "/dev/shm";
        else
            parent = std::filesystem::temp_directory_path();
        auto* d = new std::filesystem::path(parent / ("plimbury-fuzz-" + std::to_string(getpid())));
        std::filesystem::create_directories(*d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratchRoot(), ec);
        });
        return d;
    }();
    return dir;
}

// The driver's own folder in it, emptied.
inline std::filesystem::path freshScratch(const char* driver)
{
    const std::filesystem::path dir = scratchRoot() / driver;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

[[noreturn]] inline void failure(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "FAILURE: %s", what);
    if (!detail.empty()) {
        std::fprintf(stderr, " [");
        for (unsigned char c : detail) {
            if (c >= 0x20 && c < 0x7F && c != '\\')
                std::fputc(c, stderr);
            else
                std::fprintf(stderr, "\\x%02X", c);
        }
        std::fprintf(stderr, "]");
    }
    std::fprintf(stderr, "\n");
#ifdef PLIMBURY_FUZZ_REPLAY
    throw std::runtime_error(what);
#else
    std::abort();
#endif
}

inline std::string readAll(const std::filesystem::path& path)
{
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            out.append(buffer, n);
        std::fclose(f);
    }
    return out;
}

inline void writeAll(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        failure("cannot write a scratch file", path.string());
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The model's reading of names in profile files, written apart from the code
// under test: blanks (these bytes) around a name do not count, and letters
// compare without regard to ASCII case.
inline constexpr std::string_view kBlanks = " \t\v\f\r\n\x1A";

inline std::string_view trimLeft(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

inline std::string_view trim(std::string_view s)
{
    s = trimLeft(s);
    const auto last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

inline std::string fold(std::string_view s)
{
    std::string out(trim(s));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace plimbury::fuzz
