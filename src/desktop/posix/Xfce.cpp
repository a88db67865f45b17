// XFCE: xfdesktop reads its backdrops from the xfconf channel xfce4-desktop,
// one group of properties per screen, monitor and workspace:
// /backdrop/screen0/monitor<name>/workspace<n>/{last-image,image-style,...}.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/SessionBus.h"
#include "platform/Error.h"

#include <set>
#include <string_view>

namespace plimbury::desktop {

namespace {

constexpr const char* kService = "org.xfce.Xfconf";
constexpr const char* kPath = "/org/xfce/Xfconf";
constexpr const char* kInterface = "org.xfce.Xfconf";
constexpr const char* kChannel = "xfce4-desktop";
constexpr int kStretched = 3;

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

class XfceBackend final : public DesktopBackend {
public:
    void showWallpaper(const std::string& path) override
    {
        // xfdesktop does not reload a picture whose name it already shows.
        const std::string shown = freshWallpaperPath(path, wallpaperCacheFolder());
        SessionBus bus("The XFCE settings service");

        std::set<std::string> backdrops;
        bool cycling = false;
        try {
            Properties existing(bus, kChannel, "/backdrop");
            existing.forEach([&](std::string_view name, GVariant* value) {
                const std::string base = backdropOf(name);
                if (base.empty())
                    return;
                backdrops.insert(base);
                if (name.substr(base.size()) == "/backdrop-cycle-enable" &&
                    g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value))
                    cycling = true;
            });
        } catch (const Error&) {
            // A channel without properties is refused by some versions;
            // a service that is not there fails again below, with its reason.
        }
        if (backdrops.empty()) {
            std::set<std::string> outputs = activeOutputs(bus);
            if (outputs.empty())
                outputs.insert("0");
            for (const std::string& output : outputs)
                backdrops.insert("/backdrop/screen0/monitor" + output + "/workspace0");
        }

        for (const std::string& base : backdrops) {
            // The style first: a new picture makes xfdesktop redraw.
            set(bus, base + "/image-style", g_variant_new_int32(kStretched));
            set(bus, base + "/last-image", g_variant_new_string(shown.c_str()));
        }

        if (cycling && !m_cyclingReported) {
            m_cyclingReported = true;
            throw Error(kSlideshowNotice);
        }
    }

private:
    static void set(SessionBus& bus, const std::string& property, GVariant* value)
    {
        GVariant* reply = bus.call(kService, kPath, kInterface, "SetProperty",
                                   g_variant_new("(ssv)", kChannel, property.c_str(), value), nullptr);
        g_variant_unref(reply);
    }

    bool m_cyclingReported = false;
};

} // namespace

std::unique_ptr<DesktopBackend> makeXfceBackend()
{
    return std::make_unique<XfceBackend>();
}

} // namespace plimbury::desktop
