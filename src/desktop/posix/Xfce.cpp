// XFCE: xfdesktop reads its backdrops from the xfconf channel xfce4-desktop,
// one group of properties per screen, monitor and workspace:
// /backdrop/screen0/monitor<name>/workspace<n>/{last-image,image-style,...}.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/SessionBus.h"
#include "desktop/posix/XMonitors.h"
#include "platform/Error.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string_view>
#include <thread>

namespace plimbury::desktop {

namespace {

constexpr const char* kService = "org.xfce.Xfconf";
constexpr const char* kPath = "/org/xfce/Xfconf";
constexpr const char* kInterface = "org.xfce.Xfconf";
constexpr const char* kChannel = "xfce4-desktop";
constexpr int kSolidColour = 0;   // color-style: rgba1 alone, no gradient

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// "/backdrop/screen0/monitorX/workspace1" of any property below it, or "".
std::string backdropOf(std::string_view property)
{
    std::string_view rest = property;
    std::string base;
    for (const std::string_view level : {"/backdrop", "/screen", "/monitor", "/workspace"}) {
        if (!startsWith(rest, level))
            return {};
        const std::size_t end = rest.find('/', 1);
        // "/backdrop" stands alone; the others carry a name or number.
        const bool named = level == "/backdrop" ? end == level.size() : end > level.size();
        if (end == std::string_view::npos || !named)
            return {};
        base.append(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return base;
}

// Every property below `root` of a channel, name to value (owned).
class Properties {
public:
    Properties(SessionBus& bus, const char* channel, const char* root)
    {
        m_all = bus.call(kService, kPath, kInterface, "GetAllProperties", g_variant_new("(ss)", channel, root),
                         G_VARIANT_TYPE("(a{sv})"));
        m_dictionary = g_variant_get_child_value(m_all, 0);
    }
    ~Properties()
    {
        g_variant_unref(m_dictionary);
        g_variant_unref(m_all);
    }
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    template <typename Visit>
    void forEach(Visit visit) const
    {
        GVariantIter iter;
        g_variant_iter_init(&iter, m_dictionary);
        const gchar* name = nullptr;
        GVariant* value = nullptr;
        while (g_variant_iter_next(&iter, "{&sv}", &name, &value)) {
            visit(std::string_view(name), value);
            g_variant_unref(value);
        }
    }

private:
    GVariant* m_all = nullptr;
    GVariant* m_dictionary = nullptr;
};

// The outputs xfsettingsd has recorded as active, as xfdesktop names its
// monitors; none when the display settings were never saved.
std::set<std::string> activeOutputs(SessionBus& bus)
{
    std::set<std::string> outputs;
    try {
        Properties displays(bus, "displays", "/Default");
        displays.forEach([&](std::string_view name, GVariant* value) {
            constexpr std::string_view kPrefix = "/Default/";
            constexpr std::string_view kActive = "/Active";
            if (!startsWith(name, kPrefix) || name.size() <= kPrefix.size() + kActive.size() ||
                name.substr(name.size() - kActive.size()) != kActive)
                return;
            const std::string_view output = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kActive.size());
            if (output.find('/') == std::string_view::npos && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
                g_variant_get_boolean(value))
                outputs.emplace(output);
        });
    } catch (const Error&) {
        // An empty channel is reported as an error by some versions.
    }
    return outputs;
}

// xfdesktop's image-style for each fit (0 is no picture at all).
int imageStyleOf(FitMode fit)
{
    switch (fit) {
    case FitMode::Center:
        return 1;
    case FitMode::Tile:
        return 2;
    case FitMode::Stretch:
        return 3;
    case FitMode::Fit:
        return 4;   // "scaled"
    case FitMode::Fill:
        return 5;   // "zoomed"
    }
    return 3;
}

// The monitor's name in "/backdrop/screen0/monitor<name>/workspace<n>".
std::string_view monitorOf(std::string_view backdrop)
{
    constexpr std::string_view kMonitor = "/monitor";
    const std::size_t start = backdrop.find(kMonitor);
    const std::size_t end = backdrop.rfind("/workspace");
    if (start == std::string_view::npos || end == std::string_view::npos || end < start + kMonitor.size())
        return {};
    return backdrop.substr(start + kMonitor.size(), end - start - kMonitor.size());
}

// xfdesktop drops the white space from a monitor's name in its properties.
std::string withoutSpaces(std::string_view name)
{
    std::string kept;
    for (const char c : name)
        if (c != ' ' && c != '\t' && c != '\n')
            kept += c;
    return kept;
}

class XfceBackend final : public LayoutBackend {
public:
    void showWallpaper(const std::string& path) override { showWallpapers({path}); }

    int monitorCount() override { return static_cast<int>(readXMonitors().monitors.size()); }

    // xfdesktop names a monitor's backdrops after the name GTK gives it,
    // which on X is the RandR output's ("HDMI-1"), the same name RandR gives
    // the monitor an output makes. Monitors declared with xrandr
    // --setmonitor are not seen by xfdesktop at all (GTK 3 lists outputs):
    // their backdrops are written all the same, to no effect, and the output
    // under them shows the first picture, as every backdrop whose monitor is
    // not among the X monitors does (one unplugged, one of another screen).
    bool showWallpapers(const std::vector<std::string>& paths) override
    {
        std::vector<std::string> monitorNames;
        if (paths.size() > 1)
            for (const MonitorArea& monitor : readXMonitors().monitors)
                monitorNames.push_back(withoutSpaces(monitor.name));

        // xfdesktop does not reload a picture whose name it already shows.
        const std::vector<std::string> shown = freshWallpaperPaths(paths, wallpaperCacheFolder());
        SessionBus bus("The XFCE settings service");

        std::set<std::string> backdrops;
        std::map<std::string, std::string> values;  // as g_variant_print() writes them
        bool cycling = false;
        try {
            Properties existing(bus, kChannel, "/backdrop");
            existing.forEach([&](std::string_view name, GVariant* value) {
                const std::string base = backdropOf(name);
                if (base.empty())
                    return;
                backdrops.insert(base);
                gchar* text = g_variant_print(value, TRUE);
                values.emplace(name, text);
                g_free(text);
                if (name.substr(base.size()) == "/backdrop-cycle-enable" &&
                    g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value))
                    cycling = true;
            });
        } catch (const Error&) {
            // A channel without properties is refused by some versions;
            // a service that is not there fails again below, with its reason.
        }
        if (backdrops.empty() && monitorNames.empty()) {
            std::set<std::string> outputs = activeOutputs(bus);
            if (outputs.empty())
                outputs.insert("0");
            for (const std::string& output : outputs)
                backdrops.insert("/backdrop/screen0/monitor" + output + "/workspace0");
        }
        // A monitor xfdesktop has not yet written a backdrop for gets its
        // first workspace's, which xfdesktop reads when it comes to it.
        for (const std::string& name : monitorNames) {
            const bool known = std::any_of(backdrops.begin(), backdrops.end(),
                                           [&](const std::string& base) { return monitorOf(base) == name; });
            if (!known)
                backdrops.insert("/backdrop/screen0/monitor" + name + "/workspace0");
        }

        // The style and colour first: a new picture makes xfdesktop redraw.
        // Each change starts a new load of the picture shown, and xfdesktop
        // 4.18 can crash when one load cancels another still under way: only
        // what differs is sent, and after a change of layout the pictures
        // wait a moment for the loads it started.
        const PictureLayout& shape = layout();
        bool layoutSent = false;
        for (const std::string& base : backdrops) {
            layoutSent |= setChanged(bus, values, base + "/image-style", g_variant_new_int32(imageStyleOf(shape.fit)));
            // Stretched, the colour is never seen: the user's stays.
            if (shape.fit != FitMode::Stretch) {
                layoutSent |= setChanged(bus, values, base + "/color-style", g_variant_new_int32(kSolidColour));
                layoutSent |= setChanged(bus, values, base + "/rgba1", rgbaOf(shape.background));
            }
        }
        if (layoutSent)
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        for (const std::string& base : backdrops) {
            const auto at = std::find(monitorNames.begin(), monitorNames.end(), monitorOf(base));
            const std::size_t i = at == monitorNames.end() ? 0 : static_cast<std::size_t>(at - monitorNames.begin());
            set(bus, base + "/last-image", g_variant_new_string(shown[i % shown.size()].c_str()));
        }

        if (cycling && !m_cyclingReported) {
            m_cyclingReported = true;
            throw Error(kSlideshowNotice);
        }
        return true;
    }

private:
    static void set(SessionBus& bus, const std::string& property, GVariant* value)
    {
        GVariant* reply = bus.call(kService, kPath, kInterface, "SetProperty",
                                   g_variant_new("(ssv)", kChannel, property.c_str(), value), nullptr);
        g_variant_unref(reply);
    }

    // `value` (floating) unless `values` holds it already for `property`;
    // whether it was sent.
    static bool setChanged(SessionBus& bus, const std::map<std::string, std::string>& values,
                           const std::string& property, GVariant* value)
    {
        g_variant_ref_sink(value);
        gchar* text = g_variant_print(value, TRUE);
        const auto known = values.find(property);
        const bool same = known != values.end() && known->second == text;
        g_free(text);
        if (!same)
            set(bus, property, value);
        g_variant_unref(value);
        return !same;
    }

    // xfconf's arrays travel as arrays of variants; xfdesktop reads the
    // colour as red, green, blue and alpha from 0 to 1.
    static GVariant* rgbaOf(Colour colour)
    {
        GVariantBuilder builder;
        g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
        for (const double channel : {colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, 1.0})
            g_variant_builder_add(&builder, "v", g_variant_new_double(channel));
        return g_variant_builder_end(&builder);
    }

    bool m_cyclingReported = false;
};

} // namespace

std::unique_ptr<DesktopBackend> makeXfceBackend()
{
    return std::make_unique<XfceBackend>();
}

} // namespace plimbury::desktop
