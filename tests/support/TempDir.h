#pragma once
// A fresh empty folder for one test, removed with everything in it afterwards.

#include <filesystem>
#include <string>
#include <vector>

namespace plimbury::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Whole-file helpers for tests.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// The names in a folder, hidden ones included, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

} // namespace plimbury::test
