// Desktops that keep their background in GSettings: GNOME (and the desktops
// built on its schema), Cinnamon and MATE. Their picture-options name the fit
// modes alike, but each shows one picture for all monitors: a picture of its
// own on each is one picture composed from the monitors' layout, spanned.
#include "desktop/DesktopBackend.h"

#include "desktop/DesktopFiles.h"
#include "desktop/posix/Composed.h"
#include "platform/Error.h"

#include <gio/gio.h>

#include <cstring>

namespace plimbury::desktop {

namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct KeyUnref {
    void operator()(GSettingsSchemaKey* key) const { g_settings_schema_key_unref(key); }
};

class GSettingsStore final : public SettingsStore {
public:
    bool hasKey(const std::string& schema, const std::string& key) override
    {
        const std::unique_ptr<GSettingsSchema, SchemaUnref> found = lookUp(schema);
        return found && g_settings_schema_has_key(found.get(), key.c_str());
    }

    void setString(const std::string& schema, const std::string& key, const std::string& value) override
    {
        // GLib aborts the program on an unknown schema or key, and only warns
        // on a value of the wrong type: everything is checked here first.
        const std::unique_ptr<GSettingsSchema, SchemaUnref> found = lookUp(schema);
        if (!found)
            throw Error("The desktop settings " + schema + " are not installed");
        if (!g_settings_schema_has_key(found.get(), key.c_str()))
            throw Error("The desktop settings " + schema + " have no key " + key);
        const std::unique_ptr<GSettingsSchemaKey, KeyUnref> schemaKey(
            g_settings_schema_get_key(found.get(), key.c_str()));
        GVariant* variant = g_variant_ref_sink(g_variant_new_string(value.c_str()));
        const bool typed = g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey.get()),
                                                G_VARIANT_TYPE_STRING);
        const bool inRange = typed && g_settings_schema_key_range_check(schemaKey.get(), variant);
        if (!inRange) {
            g_variant_unref(variant);
            throw Error("The desktop setting " + schema + " " + key + " does not take the value '" + value + "'");
        }

        GSettings* settings = settingsFor(schema, found.get());
        if (!g_settings_is_writable(settings, key.c_str())) {
            g_variant_unref(variant);
            throw Error("The desktop setting " + schema + " " + key + " is locked");
        }
        const gboolean written = g_settings_set_value(settings, key.c_str(), variant);
        g_variant_unref(variant);
        if (!written)
            throw Error("The desktop setting " + schema + " " + key + " could not be changed");
    }

    bool readBool(const std::string& schema, const std::string& key) override
    {
        const std::unique_ptr<GSettingsSchema, SchemaUnref> found = lookUp(schema);
        if (!found || !g_settings_schema_has_key(found.get(), key.c_str()))
            return false;
        const std::unique_ptr<GSettingsSchemaKey, KeyUnref> schemaKey(
            g_settings_schema_get_key(found.get(), key.c_str()));
        if (!g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey.get()), G_VARIANT_TYPE_BOOLEAN))
            return false;
        return g_settings_get_boolean(settingsFor(schema, found.get()), key.c_str());
    }

    void sync() override { g_settings_sync(); }

private:
    static std::unique_ptr<GSettingsSchema, SchemaUnref> lookUp(const std::string& schema)
    {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        if (!source)
            return nullptr;
        return std::unique_ptr<GSettingsSchema, SchemaUnref>(
            g_settings_schema_source_lookup(source, schema.c_str(), TRUE));
    }

    GSettings* settingsFor(const std::string& schema, GSettingsSchema* found)
    {
        for (const auto& [name, settings] : m_open)
            if (name == schema)
                return settings.get();
        GSettings* settings = g_settings_new_full(found, nullptr, nullptr);
        // Without the dconf module GLib falls back to a store in this
        // process's memory: every change would look made and nobody would
        // ever see it.
        GSettingsBackend* backend = nullptr;
        g_object_get(settings, "backend", &backend, nullptr);
        const bool inMemory = backend && std::strcmp(G_OBJECT_TYPE_NAME(backend), "GMemorySettingsBackend") == 0;
        if (backend)
            g_object_unref(backend);
        if (inMemory) {
            g_object_unref(settings);
            throw Error("The desktop settings cannot be changed: GSettings has no storage here "
                        "(the dconf module is not installed)");
        }
        m_open.emplace_back(schema, GPtr<GSettings>(settings));
        return settings;
    }

    std::vector<std::pair<std::string, GPtr<GSettings>>> m_open;
};

// One desktop's keys. `uriKeys` take a file URI, `pathKey` a plain path.
struct DesktopKeys {
    const char* schema;
    const char* optionsKey;
    std::vector<const char*> uriKeys;     // set when present; the first is required
    const char* pathKey;                  // or null
    const char* slideshowSchema;          // or null
    const char* slideshowKey;
    // Whether the bands a fitted or centred picture leaves show the
    // primary colour; GNOME Shell leaves them black.
    bool colourBands = true;
};

// picture-options for each fit.
const char* pictureOption(FitMode fit)
{
    switch (fit) {
    case FitMode::Stretch: return "stretched";
    case FitMode::Fill: return "zoom";
    case FitMode::Fit: return "scaled";
    case FitMode::Center: return "centered";
    case FitMode::Tile: return "wallpaper";
    }
    return "stretched";
}

class GSettingsDesktop final : public LayoutBackend {
public:
    GSettingsDesktop(std::unique_ptr<SettingsStore> settings, DesktopKeys keys, ScreenReader screen)
        : m_settings(std::move(settings))
        , m_keys(std::move(keys))
        , m_screen(std::move(screen))
    {
    }

    void showWallpaper(const std::string& path) override
    {
        requireReadableFile(path);
        const bool bands = layout().fit == FitMode::Fit || layout().fit == FitMode::Center;
        if (bands && !m_keys.colourBands && layout().background != Colour{}) {
            show(composedWallpaper(m_screen(), {path}, layout(), wallpaperCacheFolder()), "spanned");
            return;
        }
        show(path, pictureOption(layout().fit));
    }

    // Throws when the X display cannot be read (the hand-over counts one then).
    int monitorCount() override { return static_cast<int>(m_screen().monitors.size()); }

    bool showWallpapers(const std::vector<std::string>& paths) override
    {
        if (paths.size() <= 1) {
            showWallpaper(paths.front());
            return true;
        }
        // The monitors are read again: they may have changed since they were counted.
        show(composedWallpaper(m_screen(), paths, layout(), wallpaperCacheFolder()), "spanned");
        return true;
    }

private:
    void show(const std::string& path, const char* options)
    {
        // The style first: setting the picture makes the desktop redraw.
        m_settings->setString(m_keys.schema, m_keys.optionsKey, options);
        if (layout() != PictureLayout{} || m_colourSet) {
            // Left as the user had it until a project asks for a colour; a
            // gradient would blend it with the secondary colour.
            m_settings->setString(m_keys.schema, "primary-color", colourText(layout().background));
            if (m_settings->hasKey(m_keys.schema, "color-shading-type"))
                m_settings->setString(m_keys.schema, "color-shading-type", "solid");
            m_colourSet = true;
        }
        if (m_keys.pathKey)
            m_settings->setString(m_keys.schema, m_keys.pathKey, path);
        const std::string uri = fileUri(path);
        for (std::size_t i = 0; i < m_keys.uriKeys.size(); ++i) {
            // The dark-style twin (GNOME 42 and later) is shown while the
            // dark style is on; older desktops have no such key.
            if (i == 0 || m_settings->hasKey(m_keys.schema, m_keys.uriKeys[i]))
                m_settings->setString(m_keys.schema, m_keys.uriKeys[i], uri);
        }
        m_settings->sync();

        if (m_keys.slideshowSchema && !m_slideshowReported &&
            m_settings->readBool(m_keys.slideshowSchema, m_keys.slideshowKey)) {
            m_slideshowReported = true;
            throw Error(kSlideshowNotice);
        }
    }

    std::unique_ptr<SettingsStore> m_settings;
    DesktopKeys m_keys;
    ScreenReader m_screen;
    bool m_slideshowReported = false;
    bool m_colourSet = false;
};

DesktopKeys gnomeKeys()
{
    return {"org.gnome.desktop.background", "picture-options", {"picture-uri", "picture-uri-dark"}, nullptr,
            nullptr, nullptr, false};
}

DesktopKeys cinnamonKeys()
{
    return {"org.cinnamon.desktop.background", "picture-options", {"picture-uri"}, nullptr,
            "org.cinnamon.desktop.background.slideshow", "slideshow-enabled"};
}

DesktopKeys mateKeys()
{
    return {"org.mate.background", "picture-options", {}, "picture-filename", nullptr, nullptr};
}

} // namespace

std::unique_ptr<SettingsStore> makeGSettingsStore()
{
    return std::make_unique<GSettingsStore>();
}

std::unique_ptr<DesktopBackend> makeGnomeBackend(std::unique_ptr<SettingsStore> settings, ScreenReader screen)
{
    return std::make_unique<GSettingsDesktop>(std::move(settings), gnomeKeys(), std::move(screen));
}

std::unique_ptr<DesktopBackend> makeGnomeBackend(std::unique_ptr<SettingsStore> settings)
{
    return makeGnomeBackend(std::move(settings), readXMonitors);
}

std::unique_ptr<DesktopBackend> makeGnomeBackend()
{
    return makeGnomeBackend(makeGSettingsStore());
}

std::unique_ptr<DesktopBackend> makeCinnamonBackend(std::unique_ptr<SettingsStore> settings, ScreenReader screen)
{
    return std::make_unique<GSettingsDesktop>(std::move(settings), cinnamonKeys(), std::move(screen));
}

std::unique_ptr<DesktopBackend> makeCinnamonBackend(std::unique_ptr<SettingsStore> settings)
{
    return makeCinnamonBackend(std::move(settings), readXMonitors);
}

std::unique_ptr<DesktopBackend> makeCinnamonBackend()
{
    return makeCinnamonBackend(makeGSettingsStore());
}

std::unique_ptr<DesktopBackend> makeMateBackend(std::unique_ptr<SettingsStore> settings, ScreenReader screen)
{
    return std::make_unique<GSettingsDesktop>(std::move(settings), mateKeys(), std::move(screen));
}

std::unique_ptr<DesktopBackend> makeMateBackend(std::unique_ptr<SettingsStore> settings)
{
    return makeMateBackend(std::move(settings), readXMonitors);
}

std::unique_ptr<DesktopBackend> makeMateBackend()
{
    return makeMateBackend(makeGSettingsStore());
}

} // namespace plimbury::desktop
