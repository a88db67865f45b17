#include "desktop/DesktopFiles.h"

#include "platform/Error.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plimbury::desktop {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "wallpaper-";

[[noreturn]] void cannotCreate(const std::string& path, int errnoValue)
{
    throw Error("Cannot create file \"" + path + "\". " + systemErrorText(errnoValue));
}

// n of "wallpaper-<n><anything>", or -1.
long long sequenceNumber(const std::string& name)
{
    if (name.compare(0, kPrefix.size(), kPrefix) != 0)
        return -1;
    long long n = -1;
    const char* first = name.data() + kPrefix.size();
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end == first || n < 0)
        return -1;
    return n;
}

// A copy under the final name: nobody knows the name before it is handed
// over, so it needs no temporary file of its own.
void copyFile(const std::string& from, const std::string& to)
{
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throw Error("Cannot open file \"" + from + "\". " + systemErrorText(errno));
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int error = errno;
        close(in);
        cannotCreate(to, error);
    }
    char buffer[1 << 16];
    int error = 0;
    for (;;) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got < 0)
                error = errno;
            break;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            const ssize_t put = write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno != EINTR)
                error = errno;
            else if (put > 0)
                done += put;
        }
        if (error)
            break;
    }
    close(in);
    if (close(out) != 0 && error == 0)
        error = errno;
    if (error) {
        unlink(to.c_str());
        cannotCreate(to, error);
    }
}

} // namespace

std::string fileUri(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool keep = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                          byte == '~' || byte == '/';
        if (keep) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

void requireReadableFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error("Cannot open file \"" + path + "\". " + systemErrorText(errno));
    struct stat info {};
    const bool folder = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    close(fd);
    if (folder)
        throw Error("Cannot open file \"" + path + "\". " + systemErrorText(EISDIR));
}

std::string wallpaperCacheFolder()
{
    return userCacheFolder() + "/plimbury";
}

std::string freshWallpaperPath(const std::string& path, const std::string& folder)
{
    return freshWallpaperPaths({path}, folder).front();
}

std::vector<std::string> freshWallpaperPaths(const std::vector<std::string>& paths, const std::string& folder)
{
    for (const std::string& path : paths)
        requireReadableFile(path);

    std::error_code ec;
    fs::create_directories(folder, ec);
    const int folderError = ec.value();
    long long newest = -1;
    std::vector<std::pair<long long, std::string>> earlier;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long long n = sequenceNumber(it->path().filename().string());
        if (n < 0)
            continue;
        earlier.emplace_back(n, it->path().string());
        if (n > newest)
            newest = n;
    }
    const std::string stem = folder + "/" + std::string(kPrefix) + std::to_string(newest + 1);

    std::vector<std::string> made;
    try {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const std::string& path = paths[i];
            const std::string fresh = stem + (paths.size() > 1 ? "-" + std::to_string(i + 1) : std::string()) +
                                      fs::path(path).extension().string();
            // A hard link costs nothing and stays the picture it was:
            // "lumavue.bmp" is replaced by a rename at the next change, never
            // rewritten in place. Links fail across file systems and for other
            // users' files where the system protects hard links; a copy serves then.
            if (link(path.c_str(), fresh.c_str()) != 0) {
                if (errno == EEXIST)
                    cannotCreate(fresh, EEXIST);
                if (!fs::is_directory(folder, ec))
                    cannotCreate(fresh, folderError ? folderError : ENOENT);
                copyFile(path, fresh);
            }
            made.push_back(fresh);
        }
    } catch (...) {
        for (const std::string& fresh : made)
            unlink(fresh.c_str());
        throw;
    }

    // The ones handed over last time are what the desktop shows until it has
    // taken the new ones (and still, should this hand-over fail): they stay
    // until the next change. So at most two changes' pictures are ever there.
    for (const auto& [n, old] : earlier)
        if (n < newest)
            fs::remove(old, ec);
    return made;
}

} // namespace plimbury::desktop
