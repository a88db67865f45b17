// Plasma: the shell runs desktop scripts sent over the session bus
// (org.kde.PlasmaShell.evaluateScript) and answers with what they printed.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/SessionBus.h"
#include "platform/Error.h"

namespace plimbury::desktop {

namespace {

std::string runInPlasma(const std::string& script)
{
    SessionBus bus("The Plasma desktop");
    GVariant* reply = bus.call("org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell", "evaluateScript",
                               g_variant_new("(s)", script.c_str()), G_VARIANT_TYPE("(s)"));
    const gchar* printed = nullptr;
    g_variant_get(reply, "(&s)", &printed);
    std::string output = printed ? printed : "";
    g_variant_unref(reply);
    return output;
}

class KdeBackend final : public DesktopBackend {
public:
    explicit KdeBackend(ScriptRunner runner)
        : m_runner(std::move(runner))
    {
    }

    void showWallpaper(const std::string& path) override
    {
        // Plasma caches pictures by name and ignores a name it already shows.
        const std::string shown = freshWallpaperPath(path, wallpaperCacheFolder());
        const std::string printed = m_runner(plasmaWallpaperScript(fileUri(shown)));
        if (printed.find("no desktops") != std::string::npos)
            throw Error("The Plasma desktop has no desktop to show the wallpaper on");
        if (printed.find("slideshow") != std::string::npos && !m_slideshowReported) {
            m_slideshowReported = true;
            throw Error("Plasma's own wallpaper slideshow was switched on; it has been switched off "
                        "so that it does not replace this wallpaper");
        }
    }

private:
    ScriptRunner m_runner;
    bool m_slideshowReported = false;
};

} // namespace

std::string plasmaWallpaperScript(const std::string& fileUri)
{
    // The URI is percent-encoded, so it needs no escaping inside the quotes.
    // FillMode 0 is Qt Quick's Image.Stretch. The slideshow plugin is reported
    // rather than kept: it would replace the picture at its next turn. Plasma
    // scripts run in an ECMAScript 5 engine on older releases: var, no arrows.
    return "var all = desktops();\n"
           "var slideshow = false;\n"
           "for (var i = 0; i < all.length; i++) {\n"
           "    var d = all[i];\n"
           "    if (d.wallpaperPlugin == \"org.kde.slideshow\")\n"
           "        slideshow = true;\n"
           "    d.wallpaperPlugin = \"org.kde.image\";\n"
           "    d.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");\n"
           "    d.writeConfig(\"FillMode\", 0);\n"
           "    d.writeConfig(\"Image\", \"" +
           fileUri +
           "\");\n"
           "}\n"
           "if (all.length == 0)\n"
           "    print(\"no desktops\");\n"
           "if (slideshow)\n"
           "    print(\"slideshow\");\n";
}

std::unique_ptr<DesktopBackend> makeKdeBackend(ScriptRunner runner)
{
    return std::make_unique<KdeBackend>(std::move(runner));
}

std::unique_ptr<DesktopBackend> makeKdeBackend()
{
    return makeKdeBackend(&runInPlasma);
}

} // namespace plimbury::desktop
