#include "ReliabilitySupport.h"

#include "support/ScopedEnv.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include <unistd.h>

#include <jpeglib.h>

namespace plimbury::test {

std::unique_ptr<TempDir> memoryTempDir()
{
    const bool inMemory = std::filesystem::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0;
    const ScopedEnv tmp("TMPDIR", inMemory ? "/dev/shm" : std::getenv("TMPDIR"));
    return std::make_unique<TempDir>();
}

std::string makeJpeg(int width, int height, int seed)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr err {};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<unsigned char>(x * 255 / width + seed * 40);
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>(y * 255 / height);
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>(seed * 97);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
