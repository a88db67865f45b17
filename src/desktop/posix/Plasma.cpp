// Plasma: the shell runs desktop scripts sent over the session bus
// (org.kde.PlasmaShell.evaluateScript) and answers with what they printed.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/SessionBus.h"
#include "platform/Error.h"

#include <cstdlib>

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

// Qt Quick's Image.fillMode, which the image plugin's FillMode holds.
int fillModeOf(FitMode fit)
{
    switch (fit) {
    case FitMode::Stretch: return 0;  // Image.Stretch
    case FitMode::Fit: return 1;      // Image.PreserveAspectFit
    case FitMode::Fill: return 2;     // Image.PreserveAspectCrop
    case FitMode::Tile: return 3;     // Image.Tile
    case FitMode::Center: return 6;   // Image.Pad
    }
    return 0;
}

class KdeBackend final : public LayoutBackend {
public:
    explicit KdeBackend(ScriptRunner runner)
        : m_runner(std::move(runner))
    {
    }

    void showWallpaper(const std::string& path) override { showWallpapers({path}); }

    int monitorCount() override
    {
        const std::string printed = m_runner(plasmaScreenCountScript());
        const int count = std::atoi(printed.c_str());
        return count > 0 ? count : 1;
    }

    bool showWallpapers(const std::vector<std::string>& paths) override
    {
        // Plasma caches pictures by name and ignores a name it already shows.
        std::vector<std::string> uris;
        for (const std::string& shown : freshWallpaperPaths(paths, wallpaperCacheFolder()))
            uris.push_back(fileUri(shown));
        const std::string printed = m_runner(plasmaWallpaperScript(uris, layout()));
        if (printed.find("no desktops") != std::string::npos)
            throw Error("The Plasma desktop has no desktop to show the wallpaper on");
        if (printed.find("slideshow") != std::string::npos && !m_slideshowReported) {
            m_slideshowReported = true;
            throw Error("Plasma's own wallpaper slideshow was switched on; it has been switched off "
                        "so that it does not replace this wallpaper");
        }
        return true;
    }

private:
    ScriptRunner m_runner;
    bool m_slideshowReported = false;
};

// The screens' order: left to right, then top to bottom. Plasma scripts run
// in an ECMAScript 5 engine on older releases: var, no arrows, and a sort
// that need not be stable, so ties go by screen number.
constexpr const char* kScreensInOrder =
    "function screensInOrder(all) {\n"
    "    var screens = [];\n"
    "    for (var i = 0; i < all.length; i++) {\n"
    "        if (all[i].screen >= 0 && screens.indexOf(all[i].screen) < 0)\n"
    "            screens.push(all[i].screen);\n"
    "    }\n"
    "    screens.sort(function (a, b) {\n"
    "        var ga = screenGeometry(a), gb = screenGeometry(b);\n"
    "        return ga.x != gb.x ? ga.x - gb.x : ga.y != gb.y ? ga.y - gb.y : a - b;\n"
    "    });\n"
    "    return screens;\n"
    "}\n";

} // namespace

std::string plasmaScreenCountScript()
{
    return std::string(kScreensInOrder) + "print(screensInOrder(desktops()).length);\n";
}

std::string plasmaWallpaperScript(const std::vector<std::string>& fileUris, const PictureLayout& layout)
{
    // The URIs are percent-encoded, so they need no escaping inside the
    // quotes. The slideshow plugin is reported rather than kept: it would
    // replace the picture at its next turn. A desktop on no screen (another
    // activity's) gets the first picture.
    std::string pictures;
    for (const std::string& uri : fileUris)
        pictures += (pictures.empty() ? "\"" : ", \"") + uri + "\"";
    return std::string(kScreensInOrder) +
           "var pictures = [" + pictures + "];\n"
           "var all = desktops();\n"
           "var screens = screensInOrder(all);\n"
           "var slideshow = false;\n"
           "for (var i = 0; i < all.length; i++) {\n"
           "    var d = all[i];\n"
           "    var at = Math.max(screens.indexOf(d.screen), 0);\n"
           "    if (d.wallpaperPlugin == \"org.kde.slideshow\")\n"
           "        slideshow = true;\n"
           "    d.wallpaperPlugin = \"org.kde.image\";\n"
           "    d.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");\n"
           "    d.writeConfig(\"FillMode\", " + std::to_string(fillModeOf(layout.fit)) + ");\n"
           "    d.writeConfig(\"Color\", \"" + colourText(layout.background) + "\");\n"
           "    d.writeConfig(\"Image\", pictures[at % pictures.length]);\n"
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
