#include "project/ProjectCommands.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "support/ErrorOf.h"
#include "support/FakeStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

using namespace plimbury;
using plimbury::test::errorOf;
using plimbury::test::FakeStore;
using plimbury::test::readFile;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

// The lines of a profile file as the platform writes them.
std::string crlf(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

IntervalGroup group(std::array<bool, 3> enabled, std::array<std::string, 3> texts)
{
    return IntervalGroup{enabled, std::move(texts)};
}

const IntervalGroup kNone = group({false, false, false}, {"0", "0", "0"});

// Names the due value after its unit and count, so a test sees which
// computation landed under which key.
std::string fakeDue(Unit unit, std::int32_t count)
{
    return std::string(1, "mhd"[static_cast<int>(unit)]) + std::to_string(count);
}

const std::string kSavedStamp = "2403141020";

ProjectState workedExampleState()
{
    ProjectState state;
    state.wallpapers = {"C:\\Pictures\\beach.jpg", "C:\\Pictures\\hills.bmp"};
    state.screensavers = {"C:\\Windows\\System32\\stars.scr"};
    state.wallpaper = group({true, false, false}, {"5", "0", "0"});
    state.screensaver = group({false, true, false}, {"0", "2", "0"});
    return state;
}

// Save writes the intervals; Save and Run adds each channel's progress keys
// among them. The lists follow the same way in both.
TEST(SaveAndSaveAndRun, WorkedExampleComesOutByteForByte)
{
    const std::string lists = crlf({
        "[countitem]",
        "sscount=1",
        "swcount=2",
        "[switem]",
        "sw0=C:\\Pictures\\beach.jpg",
        "sw1=C:\\Pictures\\hills.bmp",
        "[ssitem]",
        "ss0=C:\\Windows\\System32\\stars.scr",
    });
    // The due values of 10:20 on 14 March 2024: 5 minutes and 2 hours later.
    const FirstDue due = [](Unit unit, std::int32_t n) -> std::string {
        if (unit == Unit::Minute && n == 5)
            return "2403141025";
        if (unit == Unit::Hour && n == 2)
            return "2403141220";
        return "unexpected";
    };
    struct Case {
        const char* name;
        std::function<void(const std::string&)> save;
        std::string counttime;
    };
    const Case cases[] = {
        {"Save", [](const std::string& path) { saveProject(path, workedExampleState()); },
         crlf({"[counttime]", "swtime=minute", "swrefreshtime=5", "sstime=hour", "ssrefreshtime=2"})},
        {"Save and Run", [&](const std::string& path) { saveAndRunProject(path, workedExampleState(), due, kSavedStamp); },
         crlf({"[counttime]", "swtime=minute", "swrefreshtime=5", "sw_no=0", "setup_swminute=0",
               "setup_sw_minute=2403141025", "screensaver_setup_swminute=0", "screensaver_setup_sw_minute=2403141220",
               "sstime=hour", "ssrefreshtime=2", "ss_no=0"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("show.lmv");
        c.save(path);
        EXPECT_EQ(readFile(path), c.counttime + lists);
    }
}

struct CounttimeCase {
    const char* name;
    IntervalGroup wallpaper;
    IntervalGroup screensaver;
    std::string counttime;   // the whole section as written to a new file
};

// Lists are empty here; the counts follow the counttime section.
const std::string kEmptyCounts = crlf({"[countitem]", "sscount=0", "swcount=0"});

// Each case's interval groups saved into a new file with `save`: the file is
// the case's counttime section, then the empty lists' counts.
template <class Cases, class Save>
void expectCounttime(const Cases& cases, Save save)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("p.lmv");
        ProjectState state;
        state.wallpaper = c.wallpaper;
        state.screensaver = c.screensaver;
        save(path, state);
        EXPECT_EQ(readFile(path), c.counttime + kEmptyCounts);
    }
}

TEST(SaveAndRun, DueKeysOfEachUnitInTheirOrder)
{
    const CounttimeCase cases[] = {
        {"hour and day", group({false, true, false}, {"0", "3", "0"}), group({false, false, true}, {"0", "0", "4"}),
         crlf({"[counttime]", "swtime=hour", "swrefreshtime=3", "sw_no=0", "setup_sw_minute=h3", "setup_swminute=0",
               "sstime=day", "ssrefreshtime=4", "ss_no=0", "screensaver_setup_swminute=d4",
               "screensaver_setup_sw_minute=2403141020"})},
        // The day unit keeps the moment of saving as its due stamp (both
        // channels: a long day interval is counted from it); the
        // screen saver's minute unit stores its due stamp under both keys.
        {"day and minute", group({false, false, true}, {"0", "0", "3"}), group({true, false, false}, {"7", "0", "0"}),
         crlf({"[counttime]", "swtime=day", "swrefreshtime=3", "sw_no=0", "setup_swminute=d3",
               "setup_sw_minute=2403141020", "sstime=minute", "ssrefreshtime=7", "ss_no=0",
               "screensaver_setup_sw_minute=m7", "screensaver_setup_swminute=m7"})},
        // Every enabled box runs in turn; the last unit's values stand, in the
        // places of the first writes.
        {"all six enabled", group({true, true, true}, {"5", "3", "2"}), group({true, true, true}, {"7", "4", "1"}),
         crlf({"[counttime]", "swtime=day", "swrefreshtime=2", "sw_no=0", "setup_swminute=d2",
               "setup_sw_minute=2403141020", "screensaver_setup_swminute=d1", "screensaver_setup_sw_minute=2403141020",
               "sstime=day", "ssrefreshtime=1", "ss_no=0"})},
        // Keys only the minute unit wrote keep its "0".
        {"minute and hour, no screen saver", group({true, true, false}, {"5", "3", "0"}), kNone,
         crlf({"[counttime]", "swtime=hour", "swrefreshtime=3", "sw_no=0", "setup_swminute=0", "setup_sw_minute=h3",
               "screensaver_setup_swminute=0", "screensaver_setup_sw_minute=0"})},
        // The count is read by the number rule; the text is stored as typed.
        {"signed and hexadecimal texts", group({true, false, false}, {"+5", "0", "0"}),
         group({false, true, false}, {"0", "$A", "0"}),
         crlf({"[counttime]", "swtime=minute", "swrefreshtime=+5", "sw_no=0", "setup_swminute=0",
               "setup_sw_minute=m5", "screensaver_setup_swminute=0", "screensaver_setup_sw_minute=h10",
               "sstime=hour", "ssrefreshtime=$A", "ss_no=0"})},
        // Interval 0: due at the moment of saving (the rotation's arithmetic).
        {"zero minutes", group({true, false, false}, {"0", "3", "0"}), kNone,
         crlf({"[counttime]", "swtime=minute", "swrefreshtime=0", "sw_no=0", "setup_swminute=0", "setup_sw_minute=m0",
               "screensaver_setup_swminute=0", "screensaver_setup_sw_minute=0"})},
        {"nothing enabled", kNone, kNone, ""},
    };
    expectCounttime(cases, [](const std::string& path, const ProjectState& state) {
        saveAndRunProject(path, state, fakeDue, kSavedStamp);
    });
}

struct StopCase {
    const char* name;
    IntervalGroup wallpaper;
    IntervalGroup screensaver;
    std::string message;
    std::string file;   // the keys written before the box that stopped the command
};

TEST(SaveAndRun, ABoxThatIsNotANumberStopsTheWritesThere)
{
    const StopCase cases[] = {
        {"empty hour box", group({false, true, false}, {"5", "", "0"}), group({true, false, false}, {"5", "0", "0"}),
         "'' is not a valid integer value", crlf({"[counttime]", "swtime=hour", "swrefreshtime=", "sw_no=0"})},
        {"minute box with letters", group({true, false, false}, {"5x", "0", "0"}), kNone,
         "'5x' is not a valid integer value",
         crlf({"[counttime]", "swtime=minute", "swrefreshtime=5x", "sw_no=0", "setup_swminute=0", "setup_sw_minute=0",
               "screensaver_setup_swminute=0", "screensaver_setup_sw_minute=0"})},
        {"screen-saver box", group({false, true, false}, {"0", "2", "0"}), group({false, false, true}, {"0", "0", "abc"}),
         "'abc' is not a valid integer value",
         crlf({"[counttime]", "swtime=hour", "swrefreshtime=2", "sw_no=0", "setup_sw_minute=h2", "setup_swminute=0",
               "sstime=day", "ssrefreshtime=abc", "ss_no=0"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("p.lmv");
        ProjectState state;
        state.wallpapers = {"a.jpg"};
        state.wallpaper = c.wallpaper;
        state.screensaver = c.screensaver;
        EXPECT_EQ(errorOf([&] { saveAndRunProject(path, state, fakeDue, kSavedStamp); }), c.message);
        EXPECT_EQ(readFile(path), c.file);
        EXPECT_EQ(errorOf([&] { checkBeforeSaveAndRun(state); }), c.message);
    }
}

TEST(Save, WritesEachEnabledBoxUncheckedAndTheLastStands)
{
    const CounttimeCase cases[] = {
        {"minute and day enabled", group({true, false, true}, {"5", "7", "3"}), group({false, true, false}, {"1", "2", "9"}),
         crlf({"[counttime]", "swtime=day", "swrefreshtime=3", "sstime=hour", "ssrefreshtime=2"})},
        {"texts are not checked", group({false, true, false}, {"0", "", "0"}), group({false, false, true}, {"0", "0", "abc"}),
         crlf({"[counttime]", "swtime=hour", "swrefreshtime=", "sstime=day", "ssrefreshtime=abc"})},
        {"zeros are saved", group({true, false, false}, {"0", "0", "0"}), kNone,
         crlf({"[counttime]", "swtime=minute", "swrefreshtime=0"})},
        {"nothing enabled", kNone, kNone, ""},
    };
    expectCounttime(cases, [](const std::string& path, const ProjectState& state) { saveProject(path, state); });
}

TEST(Save, OverALongerRunFileKeepsWhatItDoesNotWrite)
{
    TempDir dir;
    const std::string path = dir.file("p.lmv");
    ProjectState run;
    run.wallpapers = {"a0", "a1", "a2", "a3", "a4"};
    run.screensavers = {"s0", "s1"};
    run.wallpaper = group({true, false, false}, {"5", "0", "0"});
    run.screensaver = group({false, false, true}, {"0", "0", "2"});
    saveAndRunProject(path, run, fakeDue, kSavedStamp);

    ProjectState shorter;
    shorter.wallpapers = {"b0", "b1"};
    shorter.wallpaper = group({false, true, false}, {"0", "4", "0"});
    saveProject(path, shorter);

    EXPECT_EQ(readFile(path), crlf({
                                  "[counttime]",
                                  "swtime=hour",
                                  "swrefreshtime=4",
                                  "sw_no=0",
                                  "setup_swminute=0",
                                  "setup_sw_minute=m5",
                                  "screensaver_setup_swminute=d2",
                                  "screensaver_setup_sw_minute=2403141020",
                                  "sstime=day",
                                  "ssrefreshtime=2",
                                  "ss_no=0",
                                  "[countitem]",
                                  "sscount=0",
                                  "swcount=2",
                                  "[switem]",
                                  "sw0=b0",
                                  "sw1=b1",
                                  "sw2=a2",
                                  "sw3=a3",
                                  "sw4=a4",
                                  "[ssitem]",
                                  "ss0=s0",
                                  "ss1=s1",
                              }));

    const LoadedProject loaded = loadProject(path);
    EXPECT_EQ(loaded.wallpapers, shorter.wallpapers);
    EXPECT_TRUE(loaded.screensavers.empty());
}

TEST(Save, ALineBreakInAnEntryOrABoxIsRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* name;
        std::vector<std::string> wallpapers;
        std::vector<std::string> screensavers;
        IntervalGroup wallpaper;
        std::string message;
    };
    const Case cases[] = {
        {"LF in a wallpaper", {"/pics/a.jpg", "/pics/two\nlines.jpg"}, {}, kNone,
         "'/pics/two\nlines.jpg' cannot be stored in a project file: it contains a line break"},
        {"CR in a screen saver", {"/pics/a.jpg"}, {"/s/x\r.scr"}, kNone,
         "'/s/x\r.scr' cannot be stored in a project file: it contains a line break"},
        {"LF in an enabled box", {}, {}, group({false, true, false}, {"0", "5\n", "0"}),
         "'5\n' cannot be stored in a project file: it contains a line break"},
    };
    const std::string before = crlf({"[countitem]", "sscount=0", "swcount=0"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("p.lmv");
        writeFile(path, before);
        ProjectState state;
        state.wallpapers = c.wallpapers;
        state.screensavers = c.screensavers;
        state.wallpaper = c.wallpaper;
        state.screensaver = group({true, false, false}, {"5", "0", "0"});
        EXPECT_EQ(errorOf([&] { saveProject(path, state); }), c.message);
        EXPECT_EQ(errorOf([&] { saveAndRunProject(path, state, fakeDue, kSavedStamp); }), c.message);
        EXPECT_EQ(readFile(path), before);
        if (c.wallpaper.enabled[1]) {
            // Save and Run's own check meets the number rule first.
            EXPECT_EQ(errorOf([&] { checkBeforeSaveAndRun(state); }), "'5\n' is not a valid integer value");
        } else {
            EXPECT_EQ(errorOf([&] { checkBeforeSaveAndRun(state); }), c.message);
        }
    }
    // A disabled box is never written, so its text does not matter.
    ProjectState state;
    state.wallpaper = group({true, false, false}, {"5", "x\ny", "0"});
    EXPECT_NO_THROW(checkStorable(state));
}

TEST(Save, AFolderThatDoesNotExistIsReported)
{
    TempDir dir;
    const std::string path = dir.file("missing/p.lmv");
    EXPECT_EQ(errorOf([&] { saveProject(path, workedExampleState()); }), "Unable to write to " + path);
    EXPECT_EQ(errorOf([&] { saveAndRunProject(path, workedExampleState(), fakeDue, kSavedStamp); }),
              "Unable to write to " + path);
}

TEST(SaveAndRun, CheckPassesWhatTheWritesCanConvert)
{
    ProjectState state = workedExampleState();
    state.wallpaper = group({true, false, false}, {" +5", "junk", ""});   // disabled boxes are not read
    state.screensaver = group({false, true, true}, {"", "0x1F", "-3"});
    EXPECT_NO_THROW(checkBeforeSaveAndRun(state));
}

TEST(SaveAndRun, FillInCheckLooksAtAllThreeTextsOfEachGroup)
{
    struct Case {
        std::array<std::string, 3> wallpaper;
        std::array<std::string, 3> screensaver;
        bool filledIn;
    };
    const Case cases[] = {
        {{"0", "0", "0"}, {"0", "2", "0"}, false},
        {{"5", "0", "0"}, {"0", "0", "0"}, false},
        {{"0", "0", "0"}, {"0", "0", "0"}, false},
        {{"0", "3", "0"}, {"0", "0", "1"}, true},
        // Whole texts are compared: these are not "0".
        {{"00", "0", "0"}, {"1", "0", "0"}, true},
        {{" 0", "0", "0"}, {"1", "0", "0"}, true},
        {{"0", "", "0"}, {"1", "0", "0"}, true},
        {{"0", "0", "0 "}, {"1", "0", "0"}, true},
    };
    for (const auto& c : cases) {
        for (const std::array<bool, 3> enabled : {std::array{true, false, false}, std::array{false, false, false},
                                                  std::array{true, true, true}}) {
            ProjectState state;
            state.wallpaper = group(enabled, c.wallpaper);
            state.screensaver = group(enabled, c.screensaver);
            EXPECT_EQ(intervalsFilledIn(state), c.filledIn)
                << "'" << c.wallpaper[0] << "' '" << c.wallpaper[1] << "' '" << c.wallpaper[2] << "' / '"
                << c.screensaver[0] << "' '" << c.screensaver[1] << "' '" << c.screensaver[2] << "'";
        }
    }
}

using Interval = std::optional<std::pair<Unit, std::string>>;

struct LoadCase {
    const char* name;
    std::optional<std::string> file;   // nullopt: no file
    std::string error;                 // empty: loads
    std::vector<std::string> wallpapers;
    std::vector<std::string> screensavers;
    Interval wallpaperInterval;
    Interval screensaverInterval;
};

TEST(Open, LoadsListsAndIntervalsOrStopsAtTheCounts)
{
    const LoadCase cases[] = {
        {"no file", std::nullopt, "'' is not a valid integer value", {}, {}, {}, {}},
        {"no sscount", crlf({"[countitem]", "swcount=1", "[switem]", "sw0=a"}), "'' is not a valid integer value",
         {}, {}, {}, {}},
        {"count with letters", crlf({"[countitem]", "swcount=1", "sscount=2x"}), "'2x' is not a valid integer value",
         {}, {}, {}, {}},
        {"too many wallpapers", crlf({"[countitem]", "swcount=1000001", "sscount=0"}),
         "The project file {path} lists 1000001 entries; a list holds at most 1000000", {}, {}, {}, {}},
        {"too many screen savers", crlf({"[countitem]", "swcount=0", "sscount=0x7FFFFFFF"}),
         "The project file {path} lists 2147483647 entries; a list holds at most 1000000", {}, {}, {}, {}},
        {"negative count loads nothing; the units still apply",
         crlf({"[countitem]", "swcount=-1", "sscount=0", "[switem]", "sw0=a", "[counttime]", "swtime=day",
               "swrefreshtime=3", "sstime=minute", "ssrefreshtime=x"}),
         "", {}, {}, Interval{{Unit::Day, "3"}}, Interval{{Unit::Minute, "x"}}},
        // Entries beyond the count are not read; a missing one is an empty line.
        {"count bounds the entries",
         crlf({"[countitem]", "swcount=3", "sscount=$1", "[switem]", "sw0=a", "sw2=c", "sw5=f", "[ssitem]", "ss0=s",
               "ss1=t"}),
         "", {"a", "", "c"}, {"s"}, {}, {}},
        {"unit words are exact",
         crlf({"[countitem]", "swcount=0", "sscount=0", "[counttime]", "swtime=Minute", "swrefreshtime=5",
               "sstime=hour", "[x]"}),
         "", {}, {}, {}, Interval{{Unit::Hour, ""}}},
        {"progress keys are ignored",
         crlf({"[counttime]", "swtime=hour", "swrefreshtime=2", "sw_no=7", "setup_swminute=junk", "setup_sw_minute=",
               "[countitem]", "sscount=+0", "swcount=1", "[switem]", "sw0=C:\\B.jpg"}),
         "", {"C:\\B.jpg"}, {}, Interval{{Unit::Hour, "2"}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("p.lmv");
        if (c.file)
            writeFile(path, *c.file);
        if (!c.error.empty()) {
            std::string expected = c.error;
            if (const auto at = expected.find("{path}"); at != std::string::npos)
                expected.replace(at, 6, path);
            EXPECT_EQ(errorOf([&] { loadProject(path); }), expected);
            continue;
        }
        const LoadedProject loaded = loadProject(path);
        EXPECT_EQ(loaded.wallpapers, c.wallpapers);
        EXPECT_EQ(loaded.screensavers, c.screensavers);
        EXPECT_EQ(loaded.wallpaperInterval, c.wallpaperInterval);
        EXPECT_EQ(loaded.screensaverInterval, c.screensaverInterval);
    }
}

TEST(Open, ReadsBackWhatSaveAndSaveAndRunWrote)
{
    const std::string longPath = "/" + std::string(4095, 'p');
    const std::vector<std::vector<std::string>> lists = {
        {},
        {""},
        {"C:\\Program Files\\a b.jpg", "\\\\server\\share\\c.bmp", "/home/u/x=y;z#w.jpg", "/[a]/b]", longPath},
        {"/pics/caf\xc3\xa9.jpg", "C:\\\xe9t\xe9.jpg", "sw0=not a key", "a", "A", "a"},
    };
    const IntervalGroup groups[] = {
        kNone,
        group({true, false, false}, {"5", "1", "2"}),
        group({false, true, true}, {"0", "4", "12"}),
        group({false, true, false}, {"0", "$1F", "0"}),
    };
    int round = 0;
    for (const auto& wallpapers : lists) {
        for (const auto& g : groups) {
            for (bool run : {false, true}) {
                SCOPED_TRACE(round++);
                TempDir dir;
                const std::string path = dir.file("p.lmv");
                ProjectState state;
                state.wallpapers = wallpapers;
                state.screensavers = lists[(round + 1) % lists.size()];
                state.wallpaper = g;
                state.screensaver = groups[(round + 2) % std::size(groups)];
                if (run)
                    saveAndRunProject(path, state, fakeDue, kSavedStamp);
                else
                    saveProject(path, state);
                const LoadedProject loaded = loadProject(path);
                EXPECT_EQ(loaded.wallpapers, state.wallpapers);
                EXPECT_EQ(loaded.screensavers, state.screensavers);
                // The last enabled box of a group is the one the file keeps.
                for (const auto& [saved, read] : {std::pair{&state.wallpaper, &loaded.wallpaperInterval},
                                                  std::pair{&state.screensaver, &loaded.screensaverInterval}}) {
                    Interval expected;
                    for (int i = 0; i < 3; ++i) {
                        if (saved->enabled[static_cast<std::size_t>(i)])
                            expected = std::pair{static_cast<Unit>(i), saved->texts[static_cast<std::size_t>(i)]};
                    }
                    EXPECT_EQ(*read, expected);
                }
            }
        }
    }
}

TEST(SaveAndRun, RecordsTheSelectedProjectOrSkipsSilently)
{
    FakeStore store;
    recordSelectedProject(store, "/home/u/VidoZeziv/show.lmv");
    EXPECT_EQ((store.keys[{Root::LocalMachine, "software\\lumavuetest"}]["settime_selected"]),
              "/home/u/VidoZeziv/show.lmv");

    FakeStore locked;
    locked.openable = false;
    EXPECT_NO_THROW(recordSelectedProject(locked, "/x.lmv"));
    EXPECT_TRUE(locked.keys.empty());
}

} // namespace

// The display settings: what a file says, defaults for what it does not or
// for words a later version may add; written only once a project asks for
// other than the defaults, so older projects keep their bytes.
TEST(DisplaySettings, ReadWithDefaultsAndWrittenOnlyWhenAskedFor)
{
    struct Read {
        const char* section;
        DisplaySettings expected;
    };
    const Read reads[] = {
        {"", {}},
        {"[display]\r\nmonitors=each\r\nfit=fill\r\nbackground=#1A2b3c\r\n",
         {MonitorMode::Each, FitMode::Fill, Colour{0x1a, 0x2b, 0x3c}}},
        {"[display]\r\nfit=center\r\n", {MonitorMode::Same, FitMode::Center, Colour{}}},
        {"[display]\r\nmonitors=all\r\nfit=zoom\r\nbackground=red\r\n", {}},
        {"[display]\r\nmonitors=EACH\r\nfit=Tile\r\n", {}},
    };
    for (const Read& r : reads) {
        TempDir dir;
        writeFile(dir.file("p.lmv"), std::string("[countitem]\r\nswcount=0\r\nsscount=0\r\n") + r.section);
        EXPECT_EQ(loadProject(dir.file("p.lmv")).display, r.expected) << r.section;
    }

    TempDir dir;
    const std::string path = dir.file("p.lmv");
    ProjectState state;
    saveProject(path, state);
    EXPECT_EQ(readFile(path).find("[display]"), std::string::npos) << "the defaults add nothing";
    state.display = {MonitorMode::Each, FitMode::Tile, Colour{255, 0, 16}};
    saveAndRunProject(path, state, fakeDue, kSavedStamp);
    EXPECT_NE(readFile(path).find("[display]\r\nmonitors=each\r\nfit=tile\r\nbackground=#ff0010\r\n"),
              std::string::npos)
        << readFile(path);
    state.display = {};
    saveProject(path, state);
    EXPECT_EQ(loadProject(path).display, DisplaySettings{}) << "back to the defaults over a file that had others";
}
