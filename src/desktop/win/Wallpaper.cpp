// The hand-over to Windows itself: with SPIF_UPDATEINIFILE the system records
// the path as "Wallpaper" under HKEY_CURRENT_USER\Control Panel\Desktop, so
// the store is not written here.
//
// Several pictures, one for each monitor: Windows 8 and later take them
// through IDesktopWallpaper, which keeps a picture per monitor. Systems
// without it (Windows 7, Wine 8) show one picture over the whole virtual
// screen with WallpaperStyle 22 (span), so the monitors' pictures are
// composed into one and that one is recorded as "Wallpaper": it is what the
// system shows again at the next log-on, and nothing of this program reads
// the value back on Windows.

#include "desktop/Wallpaper.h"

#include "desktop/win/DesktopMonitors.h"
#include "imaging/Compose.h"
#include "platform/Error.h"
#include "platform/FilePath.h"
#include "platform/Store.h"
#include "platform/win/WinError.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plimbury {

namespace {

static_assert(win::wallpaperPosition(FitMode::Stretch) == DWPOS_STRETCH);
static_assert(win::wallpaperPosition(FitMode::Fill) == DWPOS_FILL);
static_assert(win::wallpaperPosition(FitMode::Fit) == DWPOS_FIT);
static_assert(win::wallpaperPosition(FitMode::Center) == DWPOS_CENTER);
static_assert(win::wallpaperPosition(FitMode::Tile) == DWPOS_TILE);
static_assert(win::colourRef({0x12, 0x34, 0x56}) == RGB(0x12, 0x34, 0x56));

std::string withReason(std::string message, unsigned long code)
{
    if (const std::string reason = win::win32ErrorText(code); !reason.empty())
        message += " " + reason;
    return message;
}

std::string refusedText(const std::string& path, unsigned long code)
{
    return withReason("Cannot set \"" + path + "\" as the desktop wallpaper.", code);
}

void showOnDesktop(const std::string& path)
{
    SetLastError(0);
    if (SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(path.c_str()),
                              SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
        return;
    // A refused picture (missing, not a bitmap the desktop can show) used
    // to pass unnoticed and the rotation moved on as if it had been shown.
    throw Error(refusedText(path, GetLastError()));
}

// The program's paths are UTF-8 (the manifest's code page); bytes that are not
// are read in the ANSI code page, as the "A" functions would read them.
std::wstring widePath(const std::string& path)
{
    const int size = static_cast<int>(path.size());
    for (const UINT codePage : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int wide = MultiByteToWideChar(codePage, flags, path.data(), size, nullptr, 0);
        if (wide <= 0)
            continue;
        std::wstring text(static_cast<std::size_t>(wide), L'\0');
        MultiByteToWideChar(codePage, flags, path.data(), size, text.data(), wide);
        return text;
    }
    return {};
}

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
struct ComFree {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

// COM on the calling thread for the duration. The program's window thread
// has it already (Qt starts it there), which leaves it as it is; on a thread
// of the other apartment model the call fails and COM is still usable.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_result;
};

void check(HRESULT result, const std::string& what)
{
    if (FAILED(result))
        throw Error(withReason(what, static_cast<unsigned long>(result)));
}

// A picture of its own on each monitor, through IDesktopWallpaper. False,
// with nothing changed, where the system has no such interface or it lists
// fewer than two attached monitors; Error where it refuses.
bool showPerMonitor(const std::vector<std::string>& paths, const PictureLayout& layout)
{
    const ComScope com;
    IDesktopWallpaper* created = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(DesktopWallpaper), nullptr, CLSCTX_ALL, __uuidof(IDesktopWallpaper),
                                reinterpret_cast<void**>(&created))) ||
        !created)
        return false;
    const std::unique_ptr<IDesktopWallpaper, ComRelease> desktop(created);

    UINT count = 0;
    if (FAILED(desktop->GetMonitorDevicePathCount(&count)))
        return false;
    std::vector<std::wstring> ids;
    std::vector<PixelRect> areas;
    for (UINT i = 0; i < count; ++i) {
        wchar_t* id = nullptr;
        if (FAILED(desktop->GetMonitorDevicePathAt(i, &id)) || !id)
            continue;
        const std::unique_ptr<wchar_t, ComFree> owned(id);
        // The list holds monitors the system remembers but that are not
        // attached now; those have no rectangle.
        RECT r{};
        if (desktop->GetMonitorRECT(id, &r) != S_OK || r.right <= r.left || r.bottom <= r.top)
            continue;
        ids.emplace_back(id);
        areas.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    if (ids.size() < 2)
        return false;
    // The shell may take a missing file and show the colour alone; the
    // spanned picture and the single one refuse it, and so does this.
    std::vector<std::wstring> files;
    for (const std::string& path : paths) {
        files.push_back(widePath(path));
        if (GetFileAttributesW(files.back().c_str()) == INVALID_FILE_ATTRIBUTES)
            throw Error(withReason("Cannot open file \"" + path + "\".", GetLastError()));
    }

    // Both apply to every monitor.
    check(desktop->SetPosition(static_cast<DESKTOP_WALLPAPER_POSITION>(win::wallpaperPosition(layout.fit))),
          "Cannot set how the wallpaper meets the monitors.");
    check(desktop->SetBackgroundColor(static_cast<COLORREF>(win::colourRef(layout.background))),
          "Cannot set the wallpaper's background colour.");
    // The leftmost monitor last: where the system records the picture set
    // last as "Wallpaper", that is the first, as callers expect.
    const std::vector<std::size_t> order = win::leftToRight(areas);
    for (std::size_t n = order.size(); n-- > 0;) {
        const std::size_t picture = n % paths.size();
        const HRESULT result = desktop->SetWallpaper(ids[order[n]].c_str(), files[picture].c_str());
        if (FAILED(result))
            throw Error(refusedText(paths[picture], static_cast<unsigned long>(result)));
    }
    return true;
}

void openAndWrite(Store& store, const char* name, const char* value)
{
    const std::unique_ptr<StoreKey> key = store.openKey(Root::CurrentUser, kDesktopKey);
    if (!key)
        throw Error("Failed to create key Desktop");
    key->write(name, value);
}

// The pictures composed over the virtual screen, then shown spanned across it.
void showSpanned(Store& store, const win::DesktopScreen& screen, const std::vector<std::string>& paths,
                 const PictureLayout& layout)
{
    const std::string span = win::spanPicturePath();
    // Every picture is read before anything changes: a missing one leaves
    // the desktop and its settings as they were.
    composePictures(screen.bounds.width, screen.bounds.height, win::spanAreas(screen), paths, layout, span);
    // The style goes first (setting the picture redraws the desktop); when it
    // cannot be stored the picture is still shown, then the failure told.
    std::exception_ptr styleFailure;
    try {
        openAndWrite(store, "WallpaperStyle", "22");
        openAndWrite(store, "TileWallPaper", "0");
    } catch (const Error&) {
        styleFailure = std::current_exception();
    }
    showOnDesktop(span);
    if (styleFailure)
        std::rethrow_exception(styleFailure);
}

class SystemWallpaper final : public Wallpaper {
public:
    SystemWallpaper(Store& store, win::ScreenReader screen, bool perMonitor)
        : m_store(store)
        , m_screen(std::move(screen))
        , m_perMonitor(perMonitor)
    {
    }

    void setDesktopWallpaper(const std::string& path) override { showOnDesktop(path); }

    int colourDepth() override
    {
        const HDC screen = GetDC(nullptr);
        if (!screen)
            return 24;
        const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
        return bits > 0 ? bits : 24;
    }

    // One picture keeps the style values the apply step stores; the layout
    // is for the pictures of several monitors.
    void setLayout(const PictureLayout& layout) override { m_layout = layout; }

    int monitorCount() override { return std::max(1, static_cast<int>(m_screen().monitors.size())); }

    void setDesktopWallpapers(const std::vector<std::string>& paths) override
    {
        if (paths.empty())
            throw Error("No picture for the monitors");
        if (paths.size() == 1) {
            setDesktopWallpaper(paths.front());
            return;
        }
        // Read again: the monitors may have changed since they were counted.
        const win::DesktopScreen screen = m_screen();
        if (screen.monitors.size() < 2 || screen.bounds.width < 1 || screen.bounds.height < 1) {
            setDesktopWallpaper(paths.front());
            return;
        }
        if (m_perMonitor && showPerMonitor(paths, m_layout))
            return;
        showSpanned(m_store, screen, paths, m_layout);
    }

private:
    Store& m_store;
    win::ScreenReader m_screen;
    bool m_perMonitor;
    PictureLayout m_layout;
};

BOOL CALLBACK addMonitor(HMONITOR, HDC, LPRECT area, LPARAM found)
{
    reinterpret_cast<std::vector<PixelRect>*>(found)->push_back(
        {area->left, area->top, area->right - area->left, area->bottom - area->top});
    return TRUE;
}

} // namespace

namespace win {

// In the program the coordinates are the monitors' own pixels: Qt makes the
// process aware of each monitor's scale before anything here runs.
DesktopScreen readDesktopScreen()
{
    std::vector<PixelRect> found;
    if (!EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&found)))
        return {};
    DesktopScreen screen;
    screen.bounds = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    for (const std::size_t i : leftToRight(found))
        screen.monitors.push_back(found[i]);
    return screen;
}

std::string spanPicturePath()
{
    std::filesystem::path folder;
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        folder = fsPath(local) / "plimbury";
    else
        folder = std::filesystem::temp_directory_path() / "plimbury";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return pathText(folder / "lumavue-span.bmp");
}

std::unique_ptr<Wallpaper> makeSpanningWallpaper(Store& store, ScreenReader screen)
{
    return std::make_unique<SystemWallpaper>(store, std::move(screen), false);
}

} // namespace win

std::unique_ptr<Wallpaper> makeSystemWallpaper(Store& store)
{
    return std::make_unique<SystemWallpaper>(store, win::readDesktopScreen, true);
}

} // namespace plimbury
