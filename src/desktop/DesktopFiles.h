#pragma once
// The picture files the desktops are given, away from Windows: their
// names as URIs, the check that one can be read, and the fresh names that
// make a desktop which caches pictures by name load the new one.

#include <string>
#include <vector>

namespace plimbury::desktop {

// "file://" + the path with every byte outside RFC 3986's unreserved set
// and "/" percent-encoded.
std::string fileUri(const std::string& path);

// Throws Error("Cannot open file \"<path>\". <system text>") unless `path` is
// a file that can be read: a desktop given a missing picture says nothing.
void requireReadableFile(const std::string& path);

// Desktops that cache pictures by file name do not reload a path they have
// already shown, and "lumavue.bmp" keeps its name at every change. This hands
// out a new name each time: a hard link to `path` (a copy where a link is not
// possible) in `folder` (created if missing), named
// wallpaper-<n><extension of path> with n one more than any such file there.
// The newest earlier one stays, as the desktop shows it until it has taken the
// new one; all before it are removed.
// Throws Error("Cannot create file \"<new path>\". <system text>") when the
// link and the copy both fail, and the "Cannot open file" text when `path`
// cannot be read.
std::string freshWallpaperPath(const std::string& path, const std::string& folder);

// Fresh names for the pictures of one change that shows several (one for each
// monitor), as freshWallpaperPath hands out one: wallpaper-<n>-<i><extension>,
// i counting from 1, all with the same n, so that the whole of the newest
// earlier change stays. One path gets the name freshWallpaperPath gives it.
// After a failure none of the new names is left.
std::vector<std::string> freshWallpaperPaths(const std::vector<std::string>& paths, const std::string& folder);

// ${XDG_CACHE_HOME:-$HOME/.cache}/plimbury
std::string wallpaperCacheFolder();

} // namespace plimbury::desktop
