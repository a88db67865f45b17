#pragma once
// Opening a picture file for reading, with the user's error text.

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

} // namespace plimbury
