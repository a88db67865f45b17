// Every fuzz driver replays its seed corpus and the findings kept from earlier
// fuzzing runs (data/fuzz/<driver>/, each file named after what it caught), so
// a fault the fuzzers once found stays caught in every build, with any
// compiler and without libFuzzer.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

extern "C" int replayNumberRuleFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayProfileFileFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayStoreFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayJpegToBmpFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayRotationTickFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayPngToBmpFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayWebpToBmpFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayGifToBmpFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayTiffToBmpFuzz(const std::uint8_t* data, std::size_t size);
extern "C" int replayHeifToBmpFuzz(const std::uint8_t* data, std::size_t size);

namespace plimbury {
namespace {

using Driver = int (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* name;
    Driver driver;
};

// Test listings show the driver's name, never the bytes of the pointers.
void PrintTo(const Target& target, std::ostream* out)
{
    *out << target.name;
}

std::vector<std::filesystem::path> inputsOf(const std::string& name)
{
    std::vector<std::filesystem::path> inputs;
    for (const std::filesystem::path& folder :
         {std::filesystem::path(PLIMBURY_FUZZ_CORPUS) / name, std::filesystem::path(PLIMBURY_FUZZ_FINDINGS) / name}) {
        if (!std::filesystem::is_directory(folder))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
    }
    return inputs;
}

class FuzzReplay : public testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, EveryKeptInputPasses)
{
    const std::vector<std::filesystem::path> inputs = inputsOf(GetParam().name);
    ASSERT_FALSE(inputs.empty()) << "no seed corpus for " << GetParam().name;
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string bytes = test::readFile(input.string());
        EXPECT_NO_THROW(GetParam().driver(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, FuzzReplay,
                         testing::Values(Target{"NumberRuleFuzz", replayNumberRuleFuzz},
                                         Target{"ProfileFileFuzz", replayProfileFileFuzz},
                                         Target{"StoreFuzz", replayStoreFuzz},
                                         Target{"JpegToBmpFuzz", replayJpegToBmpFuzz},
                                         Target{"RotationTickFuzz", replayRotationTickFuzz},
                                         Target{"PngToBmpFuzz", replayPngToBmpFuzz},
                                         Target{"WebpToBmpFuzz", replayWebpToBmpFuzz},
                                         Target{"GifToBmpFuzz", replayGifToBmpFuzz},
                                         Target{"TiffToBmpFuzz", replayTiffToBmpFuzz},
                                         Target{"HeifToBmpFuzz", replayHeifToBmpFuzz}),
                         [](const testing::TestParamInfo<Target>& target) { return std::string(target.param.name); });

} // namespace
} // namespace plimbury
