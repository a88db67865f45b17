#include "ReliabilitySupport.h"

#include "support/JpegEncode.h"
#include "support/ScopedEnv.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include <unistd.h>

namespace plimbury::test {

std::unique_ptr<TempDir> memoryTempDir()
{
    const bool inMemory = std::filesystem::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0;
    const ScopedEnv tmp("TMPDIR", inMemory ? "/dev/shm" : std::getenv("TMPDIR"));
    return std::make_unique<TempDir>();
}

std::string makeJpeg(int width, int height, int seed, bool progressive)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    std::uint8_t* p = picture.rgb.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(x * 255 / width + seed * 40);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = static_cast<std::uint8_t>(seed * 97);
        }
    }
    JpegOptions options;
    options.quality = 85;
    options.progressive = progressive;
    return encodeJpeg(picture, options);
}

namespace {
std::atomic<std::int64_t> g_live {0};

// Each block carries its size in front, 16 bytes to keep new's alignment.
constexpr std::size_t kHeader = 16;

void* allocate(std::size_t size)
{
    void* block = std::malloc(size + kHeader);
    if (!block)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    g_live += static_cast<std::int64_t>(size);
    return static_cast<char*>(block) + kHeader;
}

void release(void* p) noexcept
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - kHeader;
    g_live -= static_cast<std::int64_t>(*static_cast<std::size_t*>(block));
    std::free(block);
}
} // namespace

std::int64_t liveHeapBytes()
{
    return g_live.load();
}

} // namespace plimbury::test

// Replaced for the whole test program so the soak test can see whether the
// heap grows. Over-aligned allocations keep the library's own operators.
void* operator new(std::size_t size)
{
    return plimbury::test::allocate(size);
}
void* operator new[](std::size_t size)
{
    return plimbury::test::allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return plimbury::test::allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return plimbury::test::allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept
{
    plimbury::test::release(p);
}
void operator delete[](void* p) noexcept
{
    plimbury::test::release(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    plimbury::test::release(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    plimbury::test::release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    plimbury::test::release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    plimbury::test::release(p);
}
