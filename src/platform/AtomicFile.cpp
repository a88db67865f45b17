// The parts of atomic replacement that do not depend on the system; the
// temporary file, flush and rename are in posix/ and win/.
#include "platform/AtomicFile.h"

#include "platform/FilePath.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <exception>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace plimbury {

namespace fs = std::filesystem;

namespace {

int currentProcessId()
{
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

bool isTemporaryNameOf(std::string_view candidate, std::string_view targetName)
{
    constexpr std::string_view tail = ".tmp-";
    constexpr std::size_t suffixLength = 16;
    if (candidate.size() != 1 + targetName.size() + tail.size() + suffixLength)
        return false;
    if (candidate.front() != '.' || candidate.substr(1, targetName.size()) != targetName
        || candidate.substr(1 + targetName.size(), tail.size()) != tail)
        return false;
    const std::string_view suffix = candidate.substr(candidate.size() - suffixLength);
    return std::all_of(suffix.begin(), suffix.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

void removeStaleTemporaries(const std::string& target)
{
    // Best effort throughout: an unreadable folder, a name the system cannot
    // convert or a file that cannot be removed leaves things as they were, and
    // the write goes on.
    try {
        const fs::path targetPath = fsPath(target);
        const std::string name = pathText(targetPath.filename());
        const fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
        const auto now = fs::file_time_type::clock::now();
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (!isTemporaryNameOf(pathText(it->path().filename()), name))
                continue;
            std::error_code entryError;
            if (!it->is_regular_file(entryError) || entryError)
                continue;
            const auto written = fs::last_write_time(it->path(), entryError);
            if (entryError || now - written < staleAfter)
                continue;
            fs::remove(it->path(), entryError);
        }
    } catch (const std::exception&) {
    }
}

} // namespace

void writeFileAtomically(const std::string& path, std::string_view content)
{
    AtomicFile file(path);
    file.writeAt(0, content.data(), content.size());
    file.commit();
}

void removeStaleTemporariesOnce(const std::string& target)
{
    // Temporaries are left only by a writer that was killed, which in a
    // program that writes a file over and over is an earlier run of it: one
    // look per file and run finds them, and a folder of thousands of pictures
    // is not listed at every write (20,000 names take about 50 ms).
    // A forked child is a process of its own too.
    static std::mutex mutex;
    static std::set<std::string> looked;
    static int lookedBy = 0;
    {
        const std::lock_guard lock(mutex);
        if (lookedBy != currentProcessId()) {
            looked.clear();
            lookedBy = currentProcessId();
        }
        if (!looked.insert(target).second)
            return;
    }
    removeStaleTemporaries(target);
}

} // namespace plimbury
