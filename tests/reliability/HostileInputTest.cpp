// Broken and hostile input, each row with the message the user reads and the
// promise that nothing is lost: the project file, the store and the wallpaper
// bitmap are byte for byte what they were before. The core functions are
// driven as the window drives them: loadProject for Open and the resume,
// saveProject for Save, a wallpaper rotation tick (with the real apply step
// and conversion) for a running project, and the file store.

#include "ReliabilitySupport.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "rotation/ApplySteps.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <jerror.h>
#include <sys/stat.h>
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
         [](const std::string&) { return jpegError(JERR_INPUT_EMPTY); }},
        // libjpeg itself stops at 65500 pixels a side.
        {"header_claims_65535_by_65535",
         [](const Installation& in) { return claimingSize(in, "huge.JPG", 65535, 65535); },
         [](const std::string&) { return jpegError(JERR_IMAGE_TOO_BIG); }},
        // Within libjpeg's limits, but its bitmap would pass 4 GiB.
        {"header_claims_60000_by_60000",
         [](const Installation& in) { return claimingSize(in, "big.jpg", 60000, 60000); },
         [](const std::string&) { return std::string("The picture (60000 x 60000) is too large for a bitmap file"); }},
        // A progressive picture is decoded from all its coefficients at once:
        // 5 GB for this one. The decoder refuses before taking the memory.
        {"progressive_header_claims_30000_by_30000",
         [](const Installation& in) { return claimingSize(in, "deep.jpg", 30000, 30000, true); },
         [](const std::string&) { return jpegError(JERR_NO_BACKING_STORE); }},
        {"bitmap_named_jpg",
         [](const Installation& in) {
             test::writeFile(in.folder + "/bitmap.jpg", "BM" + std::string(200, '\0'));
             return in.folder + "/bitmap.jpg";
         },
         [](const std::string&) { return jpegError(JERR_NO_SOI); }},
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
        test::writeFile(in.folder + "/next.bmp", "BM");
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
