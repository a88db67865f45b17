// Away from Windows: the path goes into the store as "Wallpaper", as
// SystemParametersInfoA records it there on Windows, then to the desktop
// backend chosen by PLIMBURY_DESKTOP. Windows has its own in win/.
#include "desktop/Wallpaper.h"

#include "desktop/DesktopBackend.h"
#include "desktop/Session.h"
#include "platform/AsciiCase.h"
#include "platform/Error.h"
#include "platform/Store.h"
#include "platform/System.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace plimbury {

namespace {

std::string acceptedDesktops()
{
    std::string list = "auto";
    for (const desktop::BackendEntry& entry : desktop::desktopBackends())
        list += std::string(", ") + entry.name;
    return list;
}

// Said once when "auto" found nothing to drive: otherwise every change would
// look as if it worked while the screen stays as it was.
std::string onlyRecordedNotice()
{
    std::string shown;
    for (const desktop::BackendEntry& entry : desktop::desktopBackends())
        if (std::string_view(entry.name) != "none")
            shown += std::string(shown.empty() ? "" : ", ") + entry.name;
    return "The wallpaper was only recorded, not shown: this program found " + desktop::describeSession() +
           ", and no desktop it can set the wallpaper of. Set PLIMBURY_DESKTOP to choose one: " + shown +
           ", or none to only record it without this notice";
}

class DesktopWallpaper final : public Wallpaper {
public:
    DesktopWallpaper(Store& store, std::string desktopName, std::unique_ptr<desktop::DesktopBackend> backend)
        : m_store(store)
        , m_desktopName(std::move(desktopName))
        , m_backend(std::move(backend))
    {
    }

    void setDesktopWallpaper(const std::string& path) override
    {
        setDesktopWallpapers({path});
    }

    int monitorCount() override
    {
        try {
            return std::max(1, backend().monitorCount());
        } catch (const Error&) {
            // The change itself reports what is wrong with the desktop.
            return 1;
        }
    }

    void setDesktopWallpapers(const std::vector<std::string>& paths) override
    {
        const std::string& path = paths.front();
        desktop::DesktopBackend& shower = backend();
        const bool layoutShown = shower.setLayout(m_layout);

        // As on Windows the desktop is changed even when the setting could
        // not be recorded; that failure is reported afterwards.
        std::optional<Error> notStored;
        if (std::unique_ptr<StoreKey> key = m_store.openKey(Root::CurrentUser, kDesktopKey)) {
            try {
                key->write(kWallpaperValue, path);
            } catch (const Error& error) {
                notStored = error;
            }
        } else {
            notStored = Error("Failed to create key Desktop");
        }
        const bool eachShown = shower.showWallpapers(paths);
        m_shown = paths;
        if (notStored)
            throw *notStored;
        if (!eachShown && !m_eachRefused) {
            m_eachRefused = true;
            throw Error(std::string("Every monitor shows the same picture: this desktop (") + m_shownBy +
                        ") cannot show a picture of its own on each monitor yet; the plain X11 desktop can");
        }
        if (!layoutShown && m_layoutRefused != m_layout) {
            m_layoutRefused = m_layout;
            throw Error(std::string("The wallpaper is shown stretched: this desktop (") + m_shownBy +
                        ") cannot show pictures with fit=" + fitWord(m_layout.fit) +
                        (m_layout.background != Colour{} ? " and a background colour" : "") + " yet");
        }
        // Kept back while storing fails: the choice was not even recorded.
        if (m_notice) {
            const Error notice(*m_notice);
            m_notice.reset();
            throw notice;
        }
    }

    int colourDepth() override
    {
        return desktop::x11ScreenDepth();
    }

    std::unique_ptr<MonitorWatch> watchMonitors() override
    {
        try {
            return backend().watchMonitors();
        } catch (const Error&) {
            // The first change reports it; until then there is nothing to redraw.
            return nullptr;
        }
    }

    void setLayout(const PictureLayout& layout) override
    {
        m_layout = layout;
    }

    void showAgain() override
    {
        if (!m_store.keyExists(Root::CurrentUser, kDesktopKey))
            return;
        const std::unique_ptr<StoreKey> key = m_store.openKey(Root::CurrentUser, kDesktopKey);
        const std::string path = key ? key->read(kWallpaperValue) : std::string();
        if (path.empty())
            return;
        desktop::DesktopBackend& shower = backend();
        shower.setLayout(m_layout);
        // The pictures of the last change, while the recorded one is still theirs.
        shower.showWallpapers(!m_shown.empty() && m_shown.front() == path ? m_shown : std::vector{path});
    }

private:
    // Made at the first change rather than at construction, so that a wrong
    // PLIMBURY_DESKTOP or an absent desktop service is reported like any
    // other failed change, and tried again at the next one.
    desktop::DesktopBackend& backend()
    {
        if (m_backend)
            return *m_backend;
        const std::string name = m_desktopName == "auto" ? desktop::detectDesktop() : m_desktopName;
        m_shownBy = name;
        m_backend = desktop::makeDesktopBackend(name);
        if (!m_backend)
            throw Error("Unknown desktop '" + m_desktopName + "' in PLIMBURY_DESKTOP; use one of: " +
                        acceptedDesktops());
        if (m_desktopName == "auto" && name == "none")
            m_notice = onlyRecordedNotice();
        return *m_backend;
    }

    Store& m_store;
    std::string m_desktopName;
    std::unique_ptr<desktop::DesktopBackend> m_backend;
    std::optional<std::string> m_notice;
    std::string m_shownBy = "given";   // the backend's table name
    PictureLayout m_layout;
    // The layout last said to be beyond this desktop: said once, and again
    // only for another one.
    std::optional<PictureLayout> m_layoutRefused;
    std::vector<std::string> m_shown;   // the pictures of the last change, one per monitor
    bool m_eachRefused = false;
};

} // namespace

std::unique_ptr<Wallpaper> makeSystemWallpaper(Store& store)
{
    std::string name = asciiLower(environmentValue("PLIMBURY_DESKTOP"));
    if (name.empty())
        name = "auto";
    return std::make_unique<DesktopWallpaper>(store, std::move(name), nullptr);
}

namespace desktop {

std::unique_ptr<Wallpaper> makeWallpaperWith(Store& store, std::unique_ptr<DesktopBackend> backend)
{
    return std::make_unique<DesktopWallpaper>(store, "given", std::move(backend));
}

} // namespace desktop

} // namespace plimbury
