#pragma once
// Opening a picture file for reading, with the user's error text.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace plimbury {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

// Throws Error("Cannot open file \"<path>\". <system text>"); a folder is
// refused here too, as reading it would fail later with a less helpful text.
InputFile openInputFile(const std::string& path);

// File positions in 64 bits on every system (a long is 32 bits on Windows).
// seekInput returns 0 on success, as fseek does; tellInput -1 on failure.
int seekInput(std::FILE* file, std::int64_t offset, int whence);
std::int64_t tellInput(std::FILE* file);

} // namespace plimbury
