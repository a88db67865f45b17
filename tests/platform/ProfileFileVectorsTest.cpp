// Runs every golden case folder through ProfileFile: each op on a freshly
// opened file, as the program opens one per command. The folder is looked up
// at run time (PROFILE_VECTORS), so another set of cases needs no rebuild.

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using plimbury::ProfileFile;
using plimbury::test::readFile;
using plimbury::test::TempDir;

namespace {

// The words of one line of ops.txt or results.txt: bare words and quoted
// strings (escapes \\, \" and \xHH) in order.
std::vector<std::string> splitLine(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] != '"') {
            while (i < line.size() && line[i] != ' ')
                word += line[i++];
            words.push_back(word);
            continue;
        }
        ++i;
        while (i < line.size() && line[i] != '"') {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[i + 1];
                if (next == 'x' && i + 3 < line.size()) {
                    word += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                    i += 4;
                } else {
                    word += next;
                    i += 2;
                }
            } else {
                word += line[i++];
            }
        }
        ++i;   // closing quote
        words.push_back(word);
    }
    return words;
}

std::vector<std::vector<std::string>> readLines(const fs::path& file)
{
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(readFile(file.string()));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        lines.push_back(splitLine(line));
    }
    return lines;
}

std::string decisionOf(const fs::path& caseDir)
{
    std::istringstream in(readFile((caseDir / "case.txt").string()));
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("decision:"))
            return std::string(line.substr(line.find_first_not_of(' ', 9)));
    return {};
}

fs::path vectorsDir()
{
    if (const char* dir = std::getenv("PROFILE_VECTORS"); dir && *dir)
        return dir;
    return PLIMBURY_PROFILE_VECTORS;
}

void runCase(const fs::path& caseDir, bool compareBytes)
{
    const TempDir scratch;
    const auto ops = readLines(caseDir / "ops.txt");
    const auto results = readLines(caseDir / "results.txt");

    std::string relative = "test.ini";
    for (const auto& op : ops)
        if (op.size() == 2 && op[0] == "path")
            relative = op[1];
    const fs::path path = scratch.path() / fs::path(relative);
    // The bytes only: a copy would also carry the checkout's attributes,
    // read-only included on some systems.
    if (fs::exists(caseDir / "input.ini"))
        plimbury::test::writeFile(path.string(), readFile((caseDir / "input.ini").string()));

    std::size_t n = 0;
    for (const auto& op : ops) {
        if (op[0] == "path")
            continue;
        ASSERT_LT(n, results.size()) << "results.txt has fewer lines than ops.txt";
        const auto& expected = results[n];
        SCOPED_TRACE("op " + std::to_string(n + 1) + ": " + op[0]);
        ++n;
        ProfileFile file(path.string());
        if (op[0] == "write") {
            ASSERT_EQ(op.size(), 4u);
            int ok = 1;
            try {
                file.write(op[1], op[2], op[3]);
                file.flush();
            } catch (const plimbury::Error&) {
                ok = 0;
            }
            EXPECT_EQ(expected.at(0), "write");
            EXPECT_EQ(std::to_string(ok), expected.at(1));
        } else if (op[0] == "read") {
            ASSERT_EQ(op.size(), 3u);
            const std::string value = file.read(op[1], op[2]);
            EXPECT_EQ(expected.at(0), "read");
            EXPECT_EQ(expected.at(1), std::to_string(expected.at(2).size()));
            EXPECT_EQ(value, expected.at(2));
        } else {
            ADD_FAILURE() << "unknown op " << op[0];
        }
    }
    EXPECT_EQ(n + 1, results.size()) << "one result per op, then the file line";

    if (!compareBytes)
        return;
    const fs::path expectedFile = caseDir / "expected.ini";
    if (fs::exists(expectedFile)) {
        ASSERT_TRUE(fs::exists(path)) << "the file should exist";
        EXPECT_EQ(readFile(path.string()), readFile(expectedFile.string()));
    } else {
        EXPECT_FALSE(fs::exists(path)) << "the file should not exist";
    }
}

TEST(ProfileVectors, profile_cases)
{
    const fs::path dir = vectorsDir();
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    std::vector<fs::path> cases;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_directory() && fs::exists(entry.path() / "ops.txt"))
            cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    ASSERT_FALSE(cases.empty()) << "no case folders in " << dir;

    int run = 0;
    for (const auto& caseDir : cases) {
        const std::string decision = decisionOf(caseDir);
        // Our own behaviour, covered by ProfileFileTest.
        if (decision == "own-test")
            continue;
        SCOPED_TRACE("case " + caseDir.filename().string());
        runCase(caseDir, decision != "reads-only");
        ++run;
    }
    RecordProperty("cases_run", run);
}

} // namespace
