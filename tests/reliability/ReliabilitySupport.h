#pragma once
// Helpers of the reliability tests: pictures made by libjpeg itself, a desktop
// that only records what it was handed, and a look at the process's memory.

#include "desktop/Wallpaper.h"
#include "support/TempDir.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plimbury::test {

// A fresh folder in memory (/dev/shm) where there is one: these tests write
// hundreds of megabytes and sync thousands of times, and what they prove does
// not depend on the disk.
std::unique_ptr<TempDir> memoryTempDir();

// A baseline JPEG of a smooth pattern that `seed` varies.
std::string makeJpeg(int width, int height, int seed, bool progressive = false);

// Records every hand-over instead of changing a desktop.
class RecordingWallpaper final : public Wallpaper {
public:
    void setDesktopWallpaper(const std::string& path) override { handed.push_back(path); }
    std::vector<std::string> handed;
};

// Bytes held through operator new that are not yet deleted (this program,
// all threads); counted by the replacement in ReliabilitySupport.cpp.
std::int64_t liveHeapBytes();

} // namespace plimbury::test
