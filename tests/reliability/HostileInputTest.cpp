// Broken and hostile input, each row with the message the user reads and the
// promise that nothing is lost: the project file, the store and the wallpaper
// bitmap are byte for byte what they were before. The core functions are
// driven as the window drives them: loadProject for Open and the resume,
// saveProject for Save, a wallpaper rotation tick (with the real apply step
// and conversion) for a running project, and the file store.

#include "ReliabilitySupport.h"

#include "imaging/Decoders.h"
#include "imaging/PictureFormat.h"
#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "rotation/ApplySteps.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <jerror.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plimbury {
namespace {

namespace fs = std::filesystem;

const LocalTime kSaved{2024, 3, 14, 10, 20, 0};
const LocalTime kDue{2024, 3, 14, 10, 25, 0};   // five minutes later
const LocalTime kNextDue{2024, 3, 14, 10, 30, 0};

std::string jpegError(int code)
{
    return "JPEG error #" + std::to_string(code);
}

std::string notAnInteger(const std::string& text)
{
    return "'" + text + "' is not a valid integer value";
}

// What a file holds, small enough to keep for a 100 MB file: its size and a hash.
struct Fingerprint {
    bool exists = false;
    std::uintmax_t size = 0;
    std::size_t hash = 0;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
};

Fingerprint fingerprint(const std::string& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return {};
    const std::string bytes = test::readFile(path);
    return {true, bytes.size(), std::hash<std::string>{}(bytes)};
}

// A running project in a fresh folder: a project file written by Save and
// Run at kSaved (wallpaper every 5 minutes), the file store holding it as the
// selected project, and a previous wallpaper bitmap.
class Installation {
public:
    Installation()
    {
        ProjectState state;
        state.wallpapers = {m_dir->file("beach.jpg"), m_dir->file("hills.jpg")};
        state.screensavers = {"/usr/lib/stars.scr"};
        state.wallpaper.enabled = {true, false, false};
        state.wallpaper.texts = {"5", "0", "0"};
        state.screensaver.enabled = {false, true, false};
        state.screensaver.texts = {"0", "2", "0"};
        m_state = state;
        saveAndRunProject(project, state, [](Unit unit, std::int32_t n) { return nextDue(unit, n, kSaved); },
                          formatStamp(kSaved));
        const auto store = makeFileStore(storeFolder);
        recordSelectedProject(*store, project);
        store->openKey(Root::CurrentUser, kDesktopKey)->write(kWallpaperValue, bitmap);
        test::writeFile(bitmap, "the previous wallpaper");
        for (const std::string& picture : state.wallpapers)
            test::writeFile(picture, test::makeJpeg(32, 24, 1));
    }

    const ProjectState& state() const { return m_state; }

    // One wallpaper tick on the first turn after the program started.
    TickResult tick(const std::vector<std::string>& lines, const LocalTime& now)
    {
        const auto store = makeFileStore(storeFolder);
        const ApplyStep apply = [&](const std::string& entry) { applyWallpaper(entry, *store, desktop, bitmap); };
        return engine.wallpaper.tick(engine.files, project, {lines, m_state.wallpaper, apply}, firstTick, now);
    }

    // The files nothing may change, as they are now.
    std::vector<Fingerprint> snapshot() const
    {
        return {fingerprint(project), fingerprint(storeFolder + "/HKEY_LOCAL_MACHINE.ini"),
                fingerprint(storeFolder + "/HKEY_CURRENT_USER.ini"), fingerprint(bitmap)};
    }

private:
    std::unique_ptr<test::TempDir> m_dir = test::memoryTempDir();   // first: the paths below are made from it

public:
    const std::string project = m_dir->file("show.lmv");
    const std::string storeFolder = m_dir->file("registry");
    const std::string bitmap = m_dir->file("lumavue.bmp");
    const std::string folder = m_dir->path().string();
    RotationEngine engine;
    test::RecordingWallpaper desktop;
    bool firstTick = true;

private:
    ProjectState m_state;
};

// ---------------------------------------------------------------------------
// Project files as Open, the resume and a running tick meet them.

struct ProjectRow {
    const char* name;
    // Replaces the project file (path given); returns the lists a load must yield.
    std::function<void(const std::string&)> make;
    // The load's message for the project at that path; nullopt: it loads.
    std::function<std::optional<std::string>(const std::string&)> loadMessage;
    std::function<void(const LoadedProject&, const Installation&)> checkLoaded;
    std::optional<std::string> tickMessage;   // nullopt: the tick runs without a failure
};

std::string withLineEnds(std::string text, const std::string& end)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            out += end;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void loadsTheSavedLists(const LoadedProject& loaded, const Installation& in)
{
    EXPECT_EQ(loaded.wallpapers, in.state().wallpapers);
    EXPECT_EQ(loaded.screensavers, in.state().screensavers);
    ASSERT_TRUE(loaded.wallpaperInterval);
    EXPECT_EQ(loaded.wallpaperInterval->first, Unit::Minute);
    EXPECT_EQ(loaded.wallpaperInterval->second, "5");
}

std::optional<std::string> loads(const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> noCount(const std::string&)
{
    return notAnInteger("");
}

std::vector<ProjectRow> projectRows()
{
    std::vector<ProjectRow> rows;
    rows.push_back({"empty", [](const std::string& p) { test::writeFile(p, ""); }, noCount, nullptr,
                    notAnInteger("")});
    rows.push_back({"binary",
                    [](const std::string& p) {
                        std::string bytes;
                        for (int round = 0; round < 64; ++round) {
                            for (int b = 0; b < 256; ++b)
                                bytes += static_cast<char>((b * 7 + round) & 0xFF);
                        }
                        test::writeFile(p, bytes);
                    },
                    noCount, nullptr, notAnInteger("")});
    rows.push_back({"count_2147483647",
                    [](const std::string& p) {
                        ProfileFile f(p);
                        f.write("countitem", "swcount", "2147483647");
                        f.flush();
                    },
                    [](const std::string& p) -> std::optional<std::string> {
                        return "The project file " + p + " lists 2147483647 entries; a list holds at most 1000000";
                    },
                    nullptr, std::nullopt});
    rows.push_back({"ten_thousand_duplicate_sections",
                    [](const std::string& p) {
                        std::string text = test::readFile(p);
                        for (int i = 0; i < 10000; ++i) {
                            text += "[switem]\r\nsw0=duplicate " + std::to_string(i) + ".jpg\r\n";
                            text += "[COUNTTIME]\r\nsw_no=not a number\r\nsetup_swminute=x\r\n";
                        }
                        test::writeFile(p, text);
                    },
                    loads, loadsTheSavedLists, std::nullopt});
    rows.push_back({"one_megabyte_value",
                    [](const std::string& p) {
                        ProfileFile f(p);
                        f.write("switem", "sw1", "/" + std::string(1 << 20, 'v') + ".jpg");
                        f.flush();
                    },
                    loads,
                    [](const LoadedProject& loaded, const Installation&) {
                        ASSERT_EQ(loaded.wallpapers.size(), 2u);
                        EXPECT_EQ(loaded.wallpapers[1].size(), (1u << 20) + 5);
                    },
                    std::nullopt});
    rows.push_back({"cr_only_line_ends",
                    [](const std::string& p) { test::writeFile(p, withLineEnds(test::readFile(p), "\r")); },
                    loads, loadsTheSavedLists, std::nullopt});
    rows.push_back({"lf_only_line_ends",
                    [](const std::string& p) { test::writeFile(p, withLineEnds(test::readFile(p), "\n")); },
                    loads, loadsTheSavedLists, std::nullopt});
    // 100 MB of other sections before the project's own: the keys are found
    // at the far end, and nothing is cut or rewritten.
    rows.push_back({"hundred_megabytes",
                    [](const std::string& p) {
                        const std::string project = test::readFile(p);
                        std::string text;
                        text.reserve((100u << 20) + project.size());
                        const std::string line = "junk=" + std::string(1017, 'j') + "\r\n";   // 1 KiB
                        for (int section = 0; section < 100; ++section) {
                            text += "[padding" + std::to_string(section) + "]\r\n";
                            for (int i = 0; i < 1024; ++i)
                                text += line;
                        }
                        text += project;
                        test::writeFile(p, text);
                    },
                    loads, loadsTheSavedLists, std::nullopt});
    return rows;
}

TEST(HostileInput, ProjectFiles)
{
    for (const ProjectRow& row : projectRows()) {
        SCOPED_TRACE(row.name);
        Installation in;
        row.make(in.project);
        const auto before = in.snapshot();

        std::optional<std::string> loadMessage;
        try {
            const LoadedProject loaded = loadProject(in.project);
            if (row.checkLoaded)
                row.checkLoaded(loaded, in);
        } catch (const Error& e) {
            loadMessage = e.what();
        }
        EXPECT_EQ(loadMessage, row.loadMessage(in.project));

        // A running tick before the item is due: it reads the schedule, and
        // writes nothing on a healthy file.
        const TickResult result = in.tick(in.state().wallpapers, kSaved);
        EXPECT_EQ(result.failure, row.tickMessage);
        EXPECT_EQ(result.report, row.tickMessage);
        EXPECT_TRUE(in.desktop.handed.empty());
        EXPECT_EQ(in.snapshot(), before) << "a file changed";
    }
}

// ---------------------------------------------------------------------------
// Pictures that are not what their name says, met by a running tick when
// their turn has come. The bitmap, the store and the schedule stay; the
// failure is reported once however often the tick retries.

struct PictureRow {
    const char* name;
    std::function<std::string(const Installation&)> make;   // creates the entry, returns its path
    std::function<std::string(const std::string&)> message;
};

// A small JPEG whose frame header claims width x height.
std::string claimingSize(const Installation& in, const std::string& name, int width, int height,
                         bool progressive = false)
{
    std::string jpeg = test::makeJpeg(16, 16, 4, progressive);
    // SOF0/SOF2: marker, length, precision, then height and width, big-endian.
    const std::size_t sof = jpeg.find(progressive ? "\xFF\xC2" : "\xFF\xC0");
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    test::writeFile(in.folder + "/" + name, jpeg);
    return in.folder + "/" + name;
}

std::vector<PictureRow> pictureRows()
{
    return {
        {"truncated_jpeg",
         [](const Installation& in) {
             const std::string jpeg = test::makeJpeg(320, 240, 3);
             test::writeFile(in.folder + "/cut.jpg", jpeg.substr(0, jpeg.size() / 2));
             return in.folder + "/cut.jpg";
         },
         [](const std::string&) { return jpegError(JWRN_JPEG_EOF); }},
        {"zero_bytes",
         [](const Installation& in) {
             test::writeFile(in.folder + "/empty.jpg", "");
             return in.folder + "/empty.jpg";
         },
         [](const std::string& path) { return notAPictureText(path); }},
        // libjpeg itself stops at 65500 pixels a side.
        {"header_claims_65535_by_65535",
         [](const Installation& in) { return claimingSize(in, "huge.JPG", 65535, 65535); },
         [](const std::string&) { return jpegError(JERR_IMAGE_TOO_BIG); }},
        // Within libjpeg's limits, but its bitmap would pass 4 GiB.
        {"header_claims_60000_by_60000",
         [](const Installation& in) { return claimingSize(in, "big.jpg", 60000, 60000); },
         [](const std::string&) { return std::string("The picture (60000 x 60000) is too large for a bitmap file"); }},
        // Beyond the bound of every format: refused before decoding starts.
        {"progressive_header_claims_30000_by_30000",
         [](const Installation& in) { return claimingSize(in, "deep.jpg", 30000, 30000, true); },
         [](const std::string& path) { return "The picture \"" + path + "\" (30000 x 30000) is too large"; }},
        // "BM" alone does not make a bitmap: its header's size is missing.
        {"two_letters_of_a_bitmap_named_jpg",
         [](const Installation& in) {
             test::writeFile(in.folder + "/bitmap.jpg", "BM" + std::string(200, '\0'));
             return in.folder + "/bitmap.jpg";
         },
         [](const std::string& path) { return notAPictureText(path); }},
        {"directory_named_jpg",
         [](const Installation& in) {
             fs::create_directory(in.folder + "/folder.jpeg");
             return in.folder + "/folder.jpeg";
         },
         [](const std::string& path) { return "Cannot open file \"" + path + "\". " + systemErrorText(EISDIR); }},
        {"missing_file",
         [](const Installation& in) { return in.folder + "/deleted since.jpg"; },
         [](const std::string& path) { return "Cannot open file \"" + path + "\". " + systemErrorText(ENOENT); }},
    };
}

TEST(HostileInput, Pictures)
{
    for (const PictureRow& row : pictureRows()) {
        SCOPED_TRACE(row.name);
        Installation in;
        const std::string entry = row.make(in);
        const std::vector<std::string> lines = {entry};
        const auto before = in.snapshot();
        const auto folderBefore = test::filesIn(in.folder);

        const std::string expected = row.message(entry);
        const TickResult first = in.tick(lines, kDue);
        EXPECT_EQ(first.failure, expected);
        EXPECT_EQ(first.report, expected);
        EXPECT_EQ(first.entry, entry);
        // The picture has had its turn; it comes up again at the next due time.
        EXPECT_EQ(in.tick(lines, kDue).failure, std::nullopt);
        const TickResult again = in.tick(lines, kNextDue);
        EXPECT_EQ(again.failure, expected);
        EXPECT_EQ(again.report, std::nullopt) << "reported twice";

        EXPECT_TRUE(in.desktop.handed.empty());
        // Of all the files, only the schedule in the project file moved on.
        const auto after = in.snapshot();
        EXPECT_EQ(std::vector(after.begin() + 1, after.end()), std::vector(before.begin() + 1, before.end()))
            << "a file changed";
        EXPECT_EQ(ProfileFile(in.project).read("counttime", "setup_sw_minute"), "2403141035");
        EXPECT_EQ(test::filesIn(in.folder), folderBefore) << "a file was left behind";
    }
}

// ---------------------------------------------------------------------------
// Pictures of every format as the apply step meets them: cut short, claiming
// no pixels or more than kMaxPicturePixels, or decompression bombs (a
// picture hundreds of times larger decoded than stored), or named as
// another format. A damaged or refused file fails with the user's text and
// leaves the bitmap byte for byte and nothing behind; a large claim is
// refused before its memory is taken; a bomb within the limit streams into
// the bitmap; a file converts as its content says, whatever its name. Files
// are made here: the bombs and the headers by hand, the pictures that are
// cut by ImageMagick (rows that need it are skipped without it).

// A zlib stream of `count` zero bytes in one block of deflate's fixed codes:
// a literal, then matches of 258 bytes a distance of 1 back, 13 bits each.
class ZeroDeflater {
public:
    std::string zlib(std::uint64_t count)
    {
        m_out = "\x78\x01";
        putBits(1, 1);   // the last block
        putBits(1, 2);   // fixed codes
        std::uint64_t left = count;
        if (left > 0) {
            putCode(0x30, 8);   // literal 0
            --left;
        }
        for (; left >= 258; left -= 258) {
            putCode(0xC5, 8);   // length 258 (code 285)
            putCode(0, 5);      // distance 1
        }
        for (; left > 0; --left)
            putCode(0x30, 8);
        putCode(0, 7);   // end of block
        if (m_used > 0)
            m_out += static_cast<char>(m_byte);
        // Adler-32 of zeros: the sum stays 1, the sum of sums is the count.
        appendBigEndian32(m_out, static_cast<std::uint32_t>(count % 65521) << 16 | 1);
        return m_out;
    }

    static void appendBigEndian32(std::string& out, std::uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += static_cast<char>(v >> shift & 0xFF);
    }

private:
    void putBit(unsigned bit)
    {
        m_byte |= bit << m_used;
        if (++m_used == 8) {
            m_out += static_cast<char>(m_byte);
            m_byte = 0;
            m_used = 0;
        }
    }
    // Extra bits go least significant first, Huffman codes most significant first.
    void putBits(unsigned value, int bits)
    {
        for (int i = 0; i < bits; ++i)
            putBit(value >> i & 1);
    }
    void putCode(unsigned code, int bits)
    {
        for (int i = bits - 1; i >= 0; --i)
            putBit(code >> i & 1);
    }

    std::string m_out;
    unsigned m_byte = 0;
    int m_used = 0;
};

std::uint32_t crc32(std::string_view bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t {};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const unsigned char b : bytes)
        c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendPngChunk(std::string& png, std::string_view type, std::string_view data)
{
    ZeroDeflater::appendBigEndian32(png, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type) + std::string(data);
    png += typed;
    ZeroDeflater::appendBigEndian32(png, crc32(typed));
}

// A black 8-bit RGB PNG, every row stored unfiltered: width x height x 3
// bytes decoded from about a 160th of that.
std::string blackPng(std::uint32_t width, std::uint32_t height)
{
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    ZeroDeflater::appendBigEndian32(header, width);
    ZeroDeflater::appendBigEndian32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);   // 8 bits, RGB, deflate, no filter choice, not interlaced
    appendPngChunk(png, "IHDR", header);
    appendPngChunk(png, "IDAT", ZeroDeflater().zlib(std::uint64_t {height} * (1 + std::uint64_t {width} * 3)));
    appendPngChunk(png, "IEND", "");
    return png;
}

void appendLittleEndian(std::string& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A GIF whose logical screen is width x height, with one white pixel on it
// as its only frame: the rest of the screen is black.
std::string onePixelGif(std::uint32_t width, std::uint32_t height)
{
    std::string gif = "GIF89a";
    appendLittleEndian(gif, width, 2);
    appendLittleEndian(gif, height, 2);
    gif += std::string("\x80\x00\x00", 3);                              // a global table of 2 colours
    gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);                  // black, white
    gif += std::string(",\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);    // a 1 x 1 frame at 0, 0
    // 2-bit pixels: 3-bit codes clear (4), colour 1, end (5), least significant first.
    gif += std::string("\x02\x02\x4C\x01\x00;", 6);
    return gif;
}

// A black RGB TIFF, little-endian, its directory first: strips of
// `rowsPerStrip` rows compressed with deflate, all of them the same bytes at
// the same place in the file.
std::string blackTiff(std::uint32_t width, std::uint32_t height, std::uint32_t rowsPerStrip)
{
    const std::uint32_t strips = height == 0 ? 1 : (height + rowsPerStrip - 1) / rowsPerStrip;
    const std::string strip = ZeroDeflater().zlib(std::uint64_t {width} * 3 * rowsPerStrip);
    constexpr std::uint32_t entries = 10;
    const std::uint32_t bitsAt = 8 + 2 + entries * 12 + 4;
    const std::uint32_t offsetsAt = bitsAt + 6;
    const std::uint32_t countsAt = offsetsAt + 4 * strips;
    const std::uint32_t dataAt = countsAt + 4 * strips;

    std::string tiff = std::string("II*\0", 4);
    appendLittleEndian(tiff, 8, 4);
    appendLittleEndian(tiff, entries, 2);
    const auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t count, std::uint32_t value) {
        appendLittleEndian(tiff, tag, 2);
        appendLittleEndian(tiff, type, 2);
        appendLittleEndian(tiff, count, 4);
        appendLittleEndian(tiff, value, 4);
    };
    constexpr std::uint32_t shortType = 3;
    constexpr std::uint32_t longType = 4;
    entry(256, longType, 1, width);
    entry(257, longType, 1, height);
    entry(258, shortType, 3, bitsAt);                     // 8 bits a sample
    entry(259, shortType, 1, 8);                          // deflate
    entry(262, shortType, 1, 2);                          // RGB
    entry(273, longType, strips, strips == 1 ? dataAt : offsetsAt);
    entry(277, shortType, 1, 3);
    entry(278, longType, 1, rowsPerStrip);
    entry(279, longType, strips, strips == 1 ? static_cast<std::uint32_t>(strip.size()) : countsAt);
    entry(284, shortType, 1, 1);                          // samples together
    appendLittleEndian(tiff, 0, 4);                       // no second page
    for (int i = 0; i < 3; ++i)
        appendLittleEndian(tiff, 8, 2);
    for (std::uint32_t i = 0; i < strips; ++i)
        appendLittleEndian(tiff, dataAt, 4);
    for (std::uint32_t i = 0; i < strips; ++i)
        appendLittleEndian(tiff, static_cast<std::uint32_t>(strip.size()), 4);
    return tiff + strip;
}

// A lossy WebP whose frame header claims width x height (14 bits each), cut
// off right after it.
std::string lossyWebpHeader(std::uint32_t width, std::uint32_t height)
{
    std::string frame = std::string("\x50\x00\x00\x9D\x01\x2A", 6);   // a key frame shown, its first part 2 bytes
    appendLittleEndian(frame, width, 2);
    appendLittleEndian(frame, height, 2);
    frame += std::string(2, '\0');
    std::string webp = "RIFF";
    appendLittleEndian(webp, static_cast<std::uint32_t>(4 + 8 + frame.size()), 4);
    webp += "WEBPVP8 ";
    appendLittleEndian(webp, static_cast<std::uint32_t>(frame.size()), 4);
    return webp + frame;
}

// An animated WebP whose canvas is width x height, without a frame.
std::string animatedWebpCanvas(std::uint32_t width, std::uint32_t height)
{
    std::string webp = "RIFF";
    appendLittleEndian(webp, 4 + 18 + 14, 4);
    webp += "WEBPVP8X";
    appendLittleEndian(webp, 10, 4);
    appendLittleEndian(webp, 0x02, 4);   // animation
    appendLittleEndian(webp, width - 1, 3);
    appendLittleEndian(webp, height - 1, 3);
    webp += "ANIM";
    appendLittleEndian(webp, 6, 4);
    webp += std::string(6, '\0');
    return webp;
}

bool haveConvert()
{
    static const bool found = std::system("convert -version >/dev/null 2>&1") == 0;
    return found;
}

// The file ImageMagick's convert writes with these arguments (a shell word
// list, "$OUT" for the file), made once per run; "" without convert or when
// it cannot write the format (a build of it without HEIF, say).
std::string magick(const std::string& arguments)
{
    static std::map<std::string, std::string> made;
    if (!haveConvert())
        return "";
    if (const auto known = made.find(arguments); known != made.end())
        return known->second;
    const auto dir = test::memoryTempDir();
    const std::string out = dir->file("picture");
    std::string command = arguments;
    command.replace(command.find("$OUT"), 4, "'" + out + "'");
    if (std::system(("convert " + command + " >/dev/null 2>&1").c_str()) != 0)
        return made[arguments] = "";
    return made[arguments] = test::readFile(out);
}

// A photo-like picture of 64 x 48 in the given format (convert's prefix).
std::string madePicture(const std::string& format)
{
    return magick("-size 64x48 -seed 7 plasma: -quality 80 " + format + ":$OUT");
}

// The first `bytes` of a file, or of `fraction` of it.
std::string cut(const std::string& file, double fraction)
{
    return file.substr(0, static_cast<std::size_t>(static_cast<double>(file.size()) * fraction));
}

// Every 'ispe' box (a picture's width and height) made to say width x height.
std::string withHeifSize(std::string heif, std::uint32_t width, std::uint32_t height)
{
    for (std::size_t at = heif.find("ispe"); at != std::string::npos; at = heif.find("ispe", at + 4)) {
        std::string size;
        ZeroDeflater::appendBigEndian32(size, width);
        ZeroDeflater::appendBigEndian32(size, height);
        heif.replace(at + 8, 8, size);   // after the type, version and flags
    }
    return heif;
}

enum class Outcome {
    Damaged,    // "<FORMAT> error in "<path>": ..." of `format`
    TooLarge,   // "The picture "<path>" (<w> x <h>) is too large"
    Converts,   // a bitmap of w x h, handed to the desktop
};

struct FormatRow {
    std::string name;
    std::string file;                     // the entry's file name
    PictureFormat format;                 // its content's, whose decoder must be built in
    std::function<std::string()> bytes;   // the content; "" when it cannot be made here
    Outcome outcome;
    int width = 0;                        // TooLarge: the size named; Converts: the bitmap's
    int height = 0;
    double peakMiB = 16;                  // the most the apply step's resident memory may grow
};

std::vector<FormatRow> formatRows()
{
    std::vector<FormatRow> rows;
    const std::pair<const char*, PictureFormat> made[] = {
        {"PNG24", PictureFormat::Png}, {"WEBP", PictureFormat::WebP}, {"GIF", PictureFormat::Gif},
        {"TIFF", PictureFormat::Tiff}, {"HEIC", PictureFormat::Heif}, {"AVIF", PictureFormat::Heif},
    };
    for (const auto& [format, content] : made) {
        // Past the signature and into the headers, then into the data.
        for (const double fraction : {0.05, 0.25, 0.5, 0.75}) {
            const std::string name =
                std::string("cut_") + format + "_at_" + std::to_string(static_cast<int>(fraction * 100));
            rows.push_back({.name = name, .file = name + ".pic", .format = content,
                            .bytes = [f = std::string(format), fraction] { return cut(madePicture(f), fraction); },
                            .outcome = Outcome::Damaged});
        }
    }
    rows.push_back({.name = "cut_lossless_WebP_at_half", .file = "lossless.webp", .format = PictureFormat::WebP,
                    .bytes = [] { return cut(magick("-size 64x48 -seed 7 plasma: "
                                                    "-define webp:lossless=true WEBP:$OUT"), 0.5); },
                    .outcome = Outcome::Damaged});
    // Its directory comes first: the cut takes the pixels' data only.
    rows.push_back({.name = "cut_TIFF_after_its_directory", .file = "strips.tif", .format = PictureFormat::Tiff,
                    .bytes = [] { return cut(blackTiff(64, 48, 48), 0.9); }, .outcome = Outcome::Damaged});

    rows.push_back({.name = "PNG_of_no_width", .file = "zero.png", .format = PictureFormat::Png,
                    .bytes = [] { return blackPng(0, 48); }, .outcome = Outcome::Damaged});
    rows.push_back({.name = "GIF_of_no_pixels", .file = "zero.gif", .format = PictureFormat::Gif,
                    .bytes = [] { return onePixelGif(0, 0); }, .outcome = Outcome::Damaged});
    rows.push_back({.name = "TIFF_of_no_height", .file = "zero.tif", .format = PictureFormat::Tiff,
                    .bytes = [] { return blackTiff(64, 0, 16); }, .outcome = Outcome::Damaged});
    rows.push_back({.name = "WebP_of_no_width", .file = "zero.webp", .format = PictureFormat::WebP,
                    .bytes = [] { return lossyWebpHeader(0, 48); }, .outcome = Outcome::Damaged});
    rows.push_back({.name = "HEIC_of_no_pixels", .file = "zero.heic", .format = PictureFormat::Heif,
                    .bytes = [] { return withHeifSize(madePicture("HEIC"), 0, 0); }, .outcome = Outcome::Damaged});

    // Claims beyond kMaxPicturePixels (2^28): refused from the header. The
    // PNG is whole, one colour: 1.2 GB of pixels in 7 MB.
    rows.push_back({.name = "PNG_bomb_of_20000_by_20000", .file = "bomb.png", .format = PictureFormat::Png,
                    .bytes = [] { return blackPng(20000, 20000); }, .outcome = Outcome::TooLarge,
                    .width = 20000, .height = 20000});
    rows.push_back({.name = "GIF_screen_of_65535_by_65535", .file = "screen.gif", .format = PictureFormat::Gif,
                    .bytes = [] { return onePixelGif(65535, 65535); }, .outcome = Outcome::TooLarge,
                    .width = 65535, .height = 65535});
    rows.push_back({.name = "TIFF_of_100000_by_100000", .file = "huge.tif", .format = PictureFormat::Tiff,
                    .bytes = [] { return blackTiff(100000, 100000, 16); }, .outcome = Outcome::TooLarge,
                    .width = 100000, .height = 100000});
    rows.push_back({.name = "WebP_canvas_of_20000_by_20000", .file = "canvas.webp", .format = PictureFormat::WebP,
                    .bytes = [] { return animatedWebpCanvas(20000, 20000); }, .outcome = Outcome::TooLarge,
                    .width = 20000, .height = 20000});
    rows.push_back({.name = "HEIC_claiming_16385_by_16385", .file = "huge.heic", .format = PictureFormat::Heif,
                    .bytes = [] { return withHeifSize(madePicture("HEIC"), 16385, 16385); },
                    .outcome = Outcome::TooLarge, .width = 16385, .height = 16385});
    // A side longer than any picture within the limit has is refused as
    // libheif reads the file, before it holds anything of that size.
    rows.push_back({.name = "HEIC_claiming_60000_by_60000", .file = "long.heic", .format = PictureFormat::Heif,
                    .bytes = [] { return withHeifSize(madePicture("HEIC"), 60000, 60000); },
                    .outcome = Outcome::Damaged});
    // Within the limit, but the data for 800 MB of pixels is missing: what
    // is set aside for them is never filled, so never resident.
    rows.push_back({.name = "WebP_header_of_16383_by_16383_alone", .file = "claim.webp", .format = PictureFormat::WebP,
                    .bytes = [] { return lossyWebpHeader(16383, 16383); }, .outcome = Outcome::Damaged});

    // Bombs within the limit: 183 MiB of pixels each, streamed into the
    // bitmap in bands; half the picture is far more than bands take, even
    // with AddressSanitizer's quarantine of freed memory.
    rows.push_back({.name = "PNG_bomb_of_8000_by_8000", .file = "bomb.png", .format = PictureFormat::Png,
                    .bytes = [] { return blackPng(8000, 8000); }, .outcome = Outcome::Converts,
                    .width = 8000, .height = 8000, .peakMiB = 96});
    rows.push_back({.name = "GIF_screen_of_8000_by_8000", .file = "screen.gif", .format = PictureFormat::Gif,
                    .bytes = [] { return onePixelGif(8000, 8000); }, .outcome = Outcome::Converts,
                    .width = 8000, .height = 8000, .peakMiB = 96});
    rows.push_back({.name = "TIFF_bomb_of_8000_by_8000_in_strips", .file = "bomb.tif", .format = PictureFormat::Tiff,
                    .bytes = [] { return blackTiff(8000, 8000, 16); }, .outcome = Outcome::Converts,
                    .width = 8000, .height = 8000, .peakMiB = 96});

    // The content decides, not the name.
    rows.push_back({.name = "JPEG_named_png", .file = "photo.png", .format = PictureFormat::Jpeg,
                    .bytes = [] { return test::makeJpeg(32, 24, 2); }, .outcome = Outcome::Converts,
                    .width = 32, .height = 24});
    rows.push_back({.name = "PNG_named_jpg", .file = "photo.jpg", .format = PictureFormat::Png,
                    .bytes = [] { return blackPng(40, 30); }, .outcome = Outcome::Converts, .width = 40, .height = 30});
    rows.push_back({.name = "GIF_named_heic", .file = "photo.heic", .format = PictureFormat::Gif,
                    .bytes = [] { return onePixelGif(5, 3); }, .outcome = Outcome::Converts, .width = 5, .height = 3});
    rows.push_back({.name = "TIFF_named_webp", .file = "photo.webp", .format = PictureFormat::Tiff,
                    .bytes = [] { return blackTiff(16, 8, 4); }, .outcome = Outcome::Converts, .width = 16,
                    .height = 8});
    return rows;
}

std::int64_t statusKiB(const char* field)
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (f && std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, std::strlen(field)) == 0) {
            kib = std::strtol(line + std::strlen(field), nullptr, 10);
            break;
        }
    }
    if (f)
        std::fclose(f);
    return kib;
}

// AddressSanitizer reserves terabytes of address space for itself, so a
// limit on it is set only without it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// A refused file takes no memory for pixels, not even address space its
// data would never fill: the step runs with this much more than the process
// has mapped (its threads' stacks and heaps included).
constexpr std::int64_t kRefusalAddressSpaceMiB = 96;

struct Applied {
    std::optional<std::string> failure;
    std::vector<std::string> handed;
    double peakRiseMiB = -1;   // below 0: not measured
};

// The apply step in a child process, so the peak of its resident memory is
// its own: the child resets its high-water mark before the step. With
// `limitAddressSpace` (and no AddressSanitizer) the child may map only
// kRefusalAddressSpaceMiB more than it has.
Applied applyApart(const std::string& entry, const std::string& storeFolder, const std::string& bitmap,
                   bool limitAddressSpace)
{
    int channel[2];
    if (pipe(channel) != 0)
        throw std::runtime_error("no pipe");
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::int64_t before = -1;
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            // "5" resets the peak resident size to the present one.
            if (std::fputs("5", f) >= 0 && std::fflush(f) == 0)
                before = statusKiB("VmRSS:");
            std::fclose(f);
        }
        std::string outcome;
        if (limitAddressSpace && !kAddressSanitizer) {
            const rlim_t bytes = static_cast<rlim_t>(statusKiB("VmSize:") + kRefusalAddressSpaceMiB * 1024) * 1024;
            const rlimit limit {bytes, bytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        try {
            const auto store = makeFileStore(storeFolder);
            test::RecordingWallpaper desktop;
            applyWallpaper(entry, *store, desktop, bitmap);
            for (const std::string& path : desktop.handed)
                outcome += "handed\n" + path + "\n";
        } catch (const Error& e) {
            outcome = std::string("failed\n") + e.what() + "\n";
        } catch (const std::exception& e) {
            outcome = std::string("threw\n") + e.what() + "\n";
        }
        const std::int64_t peak = statusKiB("VmHWM:");
        outcome = std::to_string(before < 0 ? -1 : peak - before) + "\n" + outcome;
        for (std::size_t done = 0; done < outcome.size();) {
            const ssize_t n = write(channel[1], outcome.data() + done, outcome.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(channel[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the apply step's process died (status " + std::to_string(status) + ")");

    std::istringstream lines(report);
    Applied applied;
    std::string kib, kind, text;
    std::getline(lines, kib);
    applied.peakRiseMiB = std::stod(kib) < 0 ? -1 : std::stod(kib) / 1024;
    while (std::getline(lines, kind) && std::getline(lines, text)) {
        if (kind == "handed")
            applied.handed.push_back(text);
        else if (kind == "failed")
            applied.failure = text;
        else
            throw std::runtime_error("the apply step threw " + text);
    }
    return applied;
}

// Width and height in a bitmap's header, without reading its pixels.
std::pair<int, int> bitmapSize(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string header(26, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    const auto at = [&](std::size_t i) {
        int value = 0;
        for (std::size_t k = 4; k-- > 0;)
            value = value << 8 | static_cast<unsigned char>(header[i + k]);
        return value;
    };
    return header.compare(0, 2, "BM") == 0 ? std::pair {at(18), at(22)} : std::pair {0, 0};
}

std::vector<std::string> sortedNames(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST(HostileInput, PicturesOfEveryFormat)
{
    int skipped = 0;
    for (const FormatRow& row : formatRows()) {
        SCOPED_TRACE(row.name);
        if (!canDecode(row.format)) {
            ++skipped;
            continue;
        }
        const std::string bytes = row.bytes();
        if (bytes.empty()) {
            ++skipped;
            continue;
        }
        const auto dir = test::memoryTempDir();
        const std::string entry = dir->file(row.file);
        const std::string bitmap = dir->file(kWallpaperBitmapName);
        test::writeFile(entry, bytes);
        test::writeFile(bitmap, "the previous wallpaper");
        const Fingerprint before = fingerprint(bitmap);
        const std::string storeFolder = dir->file("registry");

        const Applied applied = applyApart(entry, storeFolder, bitmap, row.outcome != Outcome::Converts);
        if (applied.peakRiseMiB >= 0) {
            EXPECT_LE(applied.peakRiseMiB, row.peakMiB) << "MiB taken";
        }
        switch (row.outcome) {
        case Outcome::Damaged: {
            ASSERT_TRUE(applied.failure);
            const std::string prefix = std::string(formatName(row.format)) + " error in \"" + entry + "\": ";
            EXPECT_EQ(applied.failure->rfind(prefix, 0), 0u) << *applied.failure;
            EXPECT_GT(applied.failure->size(), prefix.size());
            break;
        }
        case Outcome::TooLarge:
            EXPECT_EQ(applied.failure, "The picture \"" + entry + "\" (" + std::to_string(row.width) + " x " +
                                           std::to_string(row.height) + ") is too large");
            break;
        case Outcome::Converts:
            EXPECT_EQ(applied.failure, std::nullopt);
            EXPECT_EQ(applied.handed, std::vector<std::string>{bitmap});
            EXPECT_EQ(bitmapSize(bitmap), std::pair(row.width, row.height));
            EXPECT_EQ(fs::file_size(bitmap), 54 + static_cast<std::uintmax_t>((row.width * 3 + 3) / 4 * 4) *
                                                      static_cast<std::uintmax_t>(row.height));
            EXPECT_EQ(test::filesIn(dir->path().string()), sortedNames({kWallpaperBitmapName, row.file, "registry"}));
            continue;
        }
        EXPECT_TRUE(applied.handed.empty());
        EXPECT_EQ(fingerprint(bitmap), before) << "the bitmap changed";
        EXPECT_EQ(test::filesIn(dir->path().string()), sortedNames({kWallpaperBitmapName, row.file}))
            << "a file was left behind";
    }
    if (skipped > 0)
        std::printf("[   NOTE   ] %d rows skipped: ImageMagick's convert, a format of it or a decoder is missing\n",
                    skipped);
}

// ---------------------------------------------------------------------------
// A project file whose folder cannot take it. Save stops with the user's
// message and touches nothing else; a running tick whose project folder has
// vanished reports the missing schedule and creates nothing.

TEST(HostileInput, ProjectFolderThatCannotBeWritten)
{
    struct Row {
        const char* name;
        std::function<std::string(Installation&)> target;   // the project path to save to
    };
    std::vector<Row> rows = {
        {"parent_is_a_regular_file",
         [](Installation& in) {
             test::writeFile(in.folder + "/notes.txt", "a file, not a folder");
             return in.folder + "/notes.txt/show.lmv";
         }},
        {"vanished_folder",
         [](Installation& in) {
             fs::create_directory(in.folder + "/usb stick");
             fs::remove(in.folder + "/usb stick");
             return in.folder + "/usb stick/show.lmv";
         }},
    };
    if (geteuid() != 0) {
        // Permission bits bind everyone but root.
        rows.push_back({"read_only_folder", [](Installation& in) {
                            fs::create_directory(in.folder + "/locked");
                            fs::permissions(in.folder + "/locked", fs::perms::owner_read | fs::perms::owner_exec);
                            return in.folder + "/locked/show.lmv";
                        }});
        rows.push_back({"read_only_file", [](Installation& in) {
                            fs::permissions(in.project, fs::perms::owner_read);
                            return in.project;
                        }});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Installation in;
        const std::string target = row.target(in);
        const auto before = in.snapshot();
        const auto folderBefore = test::filesIn(in.folder);
        ProjectState changed = in.state();
        changed.wallpapers.push_back(in.folder + "/new.jpg");
        try {
            saveProject(target, changed);
            ADD_FAILURE() << "saved";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + target);
        }
        EXPECT_EQ(in.snapshot(), before) << "a file changed";
        EXPECT_EQ(test::filesIn(in.folder), folderBefore);
    }
}

TEST(HostileInput, RunningProjectWhoseFolderVanished)
{
    Installation in;
    const std::string folder = in.folder + "/projects";
    fs::create_directory(folder);
    const std::string moved = folder + "/show.lmv";
    fs::rename(in.project, moved);
    // The tick keeps its parse only while the file is there.
    TickResult result = in.engine.wallpaper.tick(in.engine.files, moved,
                                                 {in.state().wallpapers, in.state().wallpaper, [](const std::string&) {}},
                                                 in.firstTick, kSaved);
    ASSERT_EQ(result.failure, std::nullopt);
    fs::remove_all(folder);

    const std::vector<std::string> lines = in.state().wallpapers;
    result = in.engine.wallpaper.tick(in.engine.files, moved, {lines, in.state().wallpaper, [](const std::string&) {}},
                                      in.firstTick, kDue);
    EXPECT_EQ(result.failure, notAnInteger(""));
    EXPECT_EQ(result.report, notAnInteger(""));
    EXPECT_FALSE(fs::exists(folder)) << "the tick recreated the folder";
}

// ---------------------------------------------------------------------------
// The store's file deleted, or its folder, or replaced by a folder, while the
// program runs: the next change writes it afresh, or, where it cannot, says so;
// the entry has had its turn either way and is tried again when it comes round.

// A 24-bit bitmap of one black pixel, which the apply step hands over as it is.
std::string onePixelBitmap()
{
    std::string bmp = "BM";
    appendLittleEndian(bmp, 58, 4);   // the file's size
    appendLittleEndian(bmp, 0, 4);
    appendLittleEndian(bmp, 54, 4);   // where the pixels start
    appendLittleEndian(bmp, 40, 4);   // BITMAPINFOHEADER
    appendLittleEndian(bmp, 1, 4);
    appendLittleEndian(bmp, 1, 4);
    appendLittleEndian(bmp, 1, 2);    // planes
    appendLittleEndian(bmp, 24, 2);
    appendLittleEndian(bmp, 0, 4);    // not compressed
    appendLittleEndian(bmp, 4, 4);    // the pixels' bytes, the row padded to 4
    bmp += std::string(16 + 4, '\0');
    return bmp;
}

TEST(HostileInput, StoreDeletedWhileRunning)
{
    struct Row {
        const char* name;
        std::function<void(const Installation&)> damage;
        std::optional<std::string> message;   // the tick's failure; nullopt: the change goes through
    };
    const std::vector<Row> rows = {
        {"store_file_deleted",
         [](const Installation& in) { fs::remove(in.storeFolder + "/HKEY_CURRENT_USER.ini"); }, std::nullopt},
        {"store_folder_deleted", [](const Installation& in) { fs::remove_all(in.storeFolder); }, std::nullopt},
        {"store_file_replaced_by_a_folder",
         [](const Installation& in) {
             fs::remove(in.storeFolder + "/HKEY_CURRENT_USER.ini");
             fs::create_directory(in.storeFolder + "/HKEY_CURRENT_USER.ini");
         },
         "Failed to create key Desktop"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Installation in;
        test::writeFile(in.folder + "/next.bmp", onePixelBitmap());
        const std::vector<std::string> lines = {in.folder + "/next.bmp", in.folder + "/other.bmp"};
        row.damage(in);

        const TickResult result = in.tick(lines, kDue);
        EXPECT_EQ(result.failure, row.message);
        EXPECT_EQ(result.report, row.message);
        // The desktop is changed either way, and the schedule moves on either way.
        EXPECT_EQ(in.desktop.handed, std::vector<std::string>{lines[0]});
        EXPECT_EQ(ProfileFile(in.project).read("counttime", "sw_no"), "1");
        const auto desktopKey = makeFileStore(in.storeFolder)->openKey(Root::CurrentUser, kDesktopKey);
        if (row.message) {
            EXPECT_FALSE(desktopKey);
        } else {
            ASSERT_TRUE(desktopKey);
            EXPECT_EQ(desktopKey->read("WallPaperStyle"), "2");
            EXPECT_EQ(desktopKey->read("TileWallPaper"), "0");
        }
        // The selected project went with the deleted files; the other root's
        // file was never touched.
        if (std::string(row.name) != "store_folder_deleted") {
            const auto programKey = makeFileStore(in.storeFolder)->openKey(Root::LocalMachine, kProgramKey);
            ASSERT_TRUE(programKey);
            EXPECT_EQ(programKey->read(kSelectedValue), in.project);
        }
    }
}

} // namespace
} // namespace plimbury
