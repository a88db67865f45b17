// Plain X11: the picture becomes the root window's background pixmap. The
// pixmap has to outlive this short connection, so the connection's resources
// are retained when it closes; the pixmap's id goes into _XROOTPMAP_ID (read
// by pseudo-transparent programs) and ESETROOT_PMAP_ID (whoever finds the two
// equal may kill the client that retained the old one, freeing its memory).
//
// XCB rather than Xlib: its errors come back as values, where Xlib's default
// handlers end the whole program on the first refused request.
//
// One pixmap covers the whole screen, which spans every monitor; the picture
// is laid over each monitor in it (stretched unless the layout says
// otherwise), as the desktops do, rather than once across the seam between
// them.
#include "desktop/DesktopBackend.h"

#include "desktop/Session.h"
#include "desktop/posix/XMonitors.h"
#include "imaging/Placement.h"
#include "platform/Error.h"
#include "platform/System.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace plimbury::desktop {

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

template <typename Reply>
struct ReplyPtr {
    Reply* reply = nullptr;
    ~ReplyPtr() { std::free(reply); }
};

// How one component of a pixel is stored.
struct Channel {
    int shift = 0;
    int bits = 0;
    explicit Channel(std::uint32_t mask = 0)
    {
        if (!mask)
            return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits;
        }
    }
    std::uint32_t place(std::uint8_t value) const
    {
        const std::uint32_t top = (1u << bits) - 1;
        return ((value * top + 127) / 255) << shift;
    }
};

struct PixelFormat {
    Channel red, green, blue;
    int bitsPerPixel = 0;
    int scanlinePad = 32;
    bool msbFirst = false;
};

PixelFormat pixelFormatOf(const xcb_setup_t* setup, const xcb_screen_t* screen)
{
    const xcb_visualtype_t* visual = nullptr;
    for (xcb_depth_iterator_t depth = xcb_screen_allowed_depths_iterator(screen); depth.rem && !visual;
         xcb_depth_next(&depth)) {
        for (xcb_visualtype_iterator_t it = xcb_depth_visuals_iterator(depth.data); it.rem; xcb_visualtype_next(&it))
            if (it.data->visual_id == screen->root_visual) {
                visual = it.data;
                break;
            }
    }
    if (!visual || (visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR && visual->_class != XCB_VISUAL_CLASS_DIRECT_COLOR))
        throw Error("The X display's colour model is not supported for the wallpaper (a true-colour screen is needed)");
    PixelFormat format;
    format.red = Channel(visual->red_mask);
    format.green = Channel(visual->green_mask);
    format.blue = Channel(visual->blue_mask);
    for (xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == screen->root_depth) {
            format.bitsPerPixel = it.data->bits_per_pixel;
            format.scanlinePad = it.data->scanline_pad;
        }
    format.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    if (format.bitsPerPixel != 16 && format.bitsPerPixel != 24 && format.bitsPerPixel != 32)
        throw Error("The X display's colour depth is not supported for the wallpaper");
    return format;
}

void checkRequest(xcb_connection_t* connection, xcb_void_cookie_t cookie, const char* what)
{
    if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
        const int code = error->error_code;
        std::free(error);
        throw Error(std::string("The X display refused ") + what + " (X error " + std::to_string(code) + ")");
    }
}

// The screen `number` of an opened display; null when the connection failed.
const xcb_screen_t* screenOf(xcb_connection_t* connection, int number)
{
    if (xcb_connection_has_error(connection))
        return nullptr;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < number && screens.rem; ++i)
        xcb_screen_next(&screens);
    return screens.rem ? screens.data : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name, bool onlyIfExists)
{
    ReplyPtr<xcb_intern_atom_reply_t> reply{xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, onlyIfExists, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr)};
    return reply.reply ? reply.reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The pixmap a root property names, or none.
xcb_pixmap_t pixmapProperty(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property)
{
    if (property == XCB_ATOM_NONE)
        return XCB_NONE;
    ReplyPtr<xcb_get_property_reply_t> reply{xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_PIXMAP, 0, 1), nullptr)};
    if (!reply.reply || reply.reply->type != XCB_ATOM_PIXMAP || reply.reply->format != 32 ||
        xcb_get_property_value_length(reply.reply) < 4)
        return XCB_NONE;
    xcb_pixmap_t pixmap = XCB_NONE;
    std::memcpy(&pixmap, xcb_get_property_value(reply.reply), sizeof pixmap);
    return pixmap;
}

// A monitor, and the part of it that lies on the screen.
struct Monitor {
    int x = 0, y = 0, width = 0, height = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    xcb_atom_t name = XCB_ATOM_NONE;
};

bool contains(const Monitor& outer, const Monitor& inner)
{
    return &outer != &inner && inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width && inner.y + inner.height <= outer.y + outer.height;
}

// The monitors a picture of its own goes to, left to right, then top to
// bottom: those that hold no other (an output split into declared monitors
// is their container, not one more monitor).
std::vector<const Monitor*> ownPictureMonitors(const std::vector<Monitor>& monitors)
{
    std::vector<const Monitor*> leaves;
    for (const Monitor& m : monitors) {
        if (std::none_of(monitors.begin(), monitors.end(), [&](const Monitor& other) { return contains(m, other); }))
            leaves.push_back(&m);
    }
    std::stable_sort(leaves.begin(), leaves.end(), [](const Monitor* a, const Monitor* b) {
        return leftThenTop({a->x, a->y, a->width, a->height}, {b->x, b->y, b->width, b->height});
    });
    return leaves;
}

// The minor version of RandR 1.x the server and this program both speak;
// -1 without RandR.
int randrMinorVersion(xcb_connection_t* c)
{
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (!randr || !randr->present)
        return -1;
    // The server answers with the highest version both sides know.
    const ReplyPtr<xcb_randr_query_version_reply_t> version{
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr)};
    if (!version.reply || version.reply->major_version != 1)
        return -1;
    return static_cast<int>(version.reply->minor_version);
}

// What RandR 1.5 calls the monitors: the outputs, and whatever areas the user
// declared with xrandr --setmonitor. The whole screen is one monitor when the
// server has no RandR 1.5 or names none.
std::vector<Monitor> monitorsOf(xcb_connection_t* c, const xcb_screen_t* screen)
{
    const int screenWidth = screen->width_in_pixels;
    const int screenHeight = screen->height_in_pixels;
    const std::vector<Monitor> whole{{0, 0, screenWidth, screenHeight, 0, 0, screenWidth, screenHeight}};

    if (randrMinorVersion(c) < 5)
        return whole;
    const ReplyPtr<xcb_randr_get_monitors_reply_t> reply{
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, screen->root, 1), nullptr)};
    if (!reply.reply)
        return whole;

    std::vector<Monitor> monitors;
    for (xcb_randr_monitor_info_iterator_t it = xcb_randr_get_monitors_monitors_iterator(reply.reply); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        Monitor m;
        m.x = it.data->x;
        m.y = it.data->y;
        m.width = it.data->width;
        m.height = it.data->height;
        m.name = it.data->name;
        // A declared monitor may reach past the screen: it keeps its
        // proportions and only its part on the screen is painted.
        m.left = std::max(m.x, 0);
        m.top = std::max(m.y, 0);
        m.right = std::min(m.x + m.width, screenWidth);
        m.bottom = std::min(m.y + m.height, screenHeight);
        if (m.left < m.right && m.top < m.bottom)
            monitors.push_back(m);
    }
    if (monitors.empty())
        return whole;
    // Where monitors overlap, the smaller is painted last: areas declared
    // inside an output that still has its own monitor are what the user
    // meant to see.
    std::stable_sort(monitors.begin(), monitors.end(), [](const Monitor& a, const Monitor& b) {
        return static_cast<long>(a.width) * a.height > static_cast<long>(b.width) * b.height;
    });
    return monitors;
}

// RandR's notifications on the root window (a screen resized, an output
// plugged, unplugged or set to another mode, a CRTC moved) and the root
// window's own ConfigureNotify, which is all the server sends when a RandR
// 1.5 monitor is declared or removed. A connection of its own, so that it
// lasts between the changes.
class RandrWatch final : public MonitorWatch {
public:
    static std::unique_ptr<MonitorWatch> open()
    {
        int screenNumber = 0;
        Connection connection(xcb_connect(nullptr, &screenNumber));
        const xcb_screen_t* screen = screenOf(connection.get(), screenNumber);
        if (!screen)
            return nullptr;
        xcb_connection_t* c = connection.get();
        // Selecting the notifications needs RandR 1.2.
        if (randrMinorVersion(c) < 2)
            return nullptr;
        const std::uint8_t firstEvent = xcb_get_extension_data(c, &xcb_randr_id)->first_event;
        const auto mask = static_cast<std::uint16_t>(XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                                     XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                                     XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
        const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        for (const xcb_void_cookie_t cookie :
             {xcb_randr_select_input_checked(c, screen->root, mask),
              xcb_change_window_attributes_checked(c, screen->root, XCB_CW_EVENT_MASK, &structure)}) {
            if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
                std::free(error);
                return nullptr;
            }
        }
        return std::unique_ptr<MonitorWatch>(new RandrWatch(std::move(connection), firstEvent));
    }

    int descriptor() const override { return xcb_get_file_descriptor(m_connection.get()); }

    bool changed() override
    {
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection.get())) {
            const int type = event->response_type & 0x7f;
            if (type == XCB_CONFIGURE_NOTIFY || type == m_firstEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                type == m_firstEvent + XCB_RANDR_NOTIFY)
                changed = true;
            std::free(event);
        }
        return changed && !lost();
    }

    bool lost() const override { return xcb_connection_has_error(m_connection.get()) != 0; }

private:
    RandrWatch(Connection connection, std::uint8_t firstEvent)
        : m_connection(std::move(connection))
        , m_firstEvent(firstEvent)
    {
    }

    Connection m_connection;
    std::uint8_t m_firstEvent;
};

class X11Backend final : public LayoutBackend {
public:
    explicit X11Backend(PictureReader reader) : m_reader(std::move(reader)) {}

    void showWallpaper(const std::string& path) override
    {
        paint({path});
    }

    int monitorCount() override { return static_cast<int>(readXMonitors().monitors.size()); }

    bool showWallpapers(const std::vector<std::string>& paths) override
    {
        paint(paths);
        return true;
    }

    std::unique_ptr<MonitorWatch> watchMonitors() override
    {
        return RandrWatch::open();
    }

private:
    PictureReader m_reader;

    // One picture: every monitor shows it. Several: the monitors of
    // ownPictureMonitors() show them in turn (the list repeats when it is
    // shorter), and a monitor that holds others shows the first under them.
    void paint(const std::vector<std::string>& paths)
    {
        int screenNumber = 0;
        Connection connection(xcb_connect(nullptr, &screenNumber));
        const xcb_screen_t* screen = screenOf(connection.get(), screenNumber);
        if (!screen)
            throw Error("Cannot open the X display \"" + environmentValue("DISPLAY") + "\"");
        xcb_connection_t* c = connection.get();
        const xcb_setup_t* setup = xcb_get_setup(c);
        const PixelFormat format = pixelFormatOf(setup, screen);
        const int width = screen->width_in_pixels;
        const int height = screen->height_in_pixels;
        const std::vector<Monitor> monitors = monitorsOf(c, screen);

        int largestWidth = 0;
        int largestHeight = 0;
        for (const Monitor& m : monitors) {
            largestWidth = std::max(largestWidth, m.width);
            largestHeight = std::max(largestHeight, m.height);
        }
        // A picture shown at its own size is read at its own size; each
        // file is read once, however many monitors show it.
        const bool ownSize = layout().fit == FitMode::Center || layout().fit == FitMode::Tile;
        std::map<std::string, Picture> pictures;
        for (const std::string& path : paths) {
            if (pictures.count(path))
                continue;
            Picture picture = ownSize ? m_reader(path, 0, 0) : m_reader(path, largestWidth, largestHeight);
            if (picture.width <= 0 || picture.height <= 0 ||
                picture.rgb.size() != static_cast<std::size_t>(picture.width) * picture.height * 3)
                throw Error("Bitmap image is not valid");
            pictures.emplace(path, std::move(picture));
        }
        const std::vector<const Monitor*> own = ownPictureMonitors(monitors);
        const auto pictureOf = [&](const Monitor& monitor) -> const Picture& {
            const auto at = std::find(own.begin(), own.end(), &monitor);
            const std::size_t i = paths.size() > 1 && at != own.end() ? static_cast<std::size_t>(at - own.begin()) : 0;
            return pictures.at(paths[i % paths.size()]);
        };

        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        checkRequest(c,
                     xcb_create_pixmap_checked(c, screen->root_depth, pixmap, screen->root,
                                               static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)),
                     "the wallpaper's pixmap");
        const xcb_gcontext_t gc = xcb_generate_id(c);
        const std::uint32_t black = 0;
        checkRequest(c, xcb_create_gc_checked(c, gc, pixmap, XCB_GC_FOREGROUND, &black), "a graphics context");
        // Screen left uncovered by the monitors is never seen, but a new
        // pixmap holds whatever the server's memory held.
        const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)};
        checkRequest(c, xcb_poly_fill_rectangle_checked(c, pixmap, gc, 1, &all), "clearing the wallpaper's pixmap");
        for (const Monitor& monitor : monitors)
            putPicture(c, pixmap, gc, format, screen->root_depth, PlacedPicture(pictureOf(monitor), layout().fit,
                       layout().background, monitor.width, monitor.height), monitor);
        xcb_free_gc(c, gc);

        const xcb_atom_t rootPmap = atom(c, "_XROOTPMAP_ID", true);
        const xcb_atom_t esetroot = atom(c, "ESETROOT_PMAP_ID", true);
        const xcb_pixmap_t old = pixmapProperty(c, screen->root, rootPmap);
        if (old != XCB_NONE && old == pixmapProperty(c, screen->root, esetroot))
            xcb_kill_client(c, old);

        for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
            checkRequest(c,
                         xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, screen->root, atom(c, name, false),
                                                     XCB_ATOM_PIXMAP, 32, 1, &pixmap),
                         "the root window's properties");
        checkRequest(c, xcb_change_window_attributes_checked(c, screen->root, XCB_CW_BACK_PIXMAP, &pixmap),
                     "the root window's background");
        checkRequest(c, xcb_clear_area_checked(c, 0, screen->root, 0, 0, 0, 0), "redrawing the root window");
        checkRequest(c, xcb_set_close_down_mode_checked(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT),
                     "keeping the wallpaper");
    }

    static void putPicture(xcb_connection_t* c, xcb_pixmap_t pixmap, xcb_gcontext_t gc, const PixelFormat& format,
                           std::uint8_t depth, const PlacedPicture& picture, const Monitor& monitor)
    {
        const int width = monitor.right - monitor.left;
        const int height = monitor.bottom - monitor.top;
        const int bytesPerPixel = format.bitsPerPixel / 8;
        const int padBytes = format.scanlinePad / 8 > 0 ? format.scanlinePad / 8 : 4;
        const std::size_t stride =
            (static_cast<std::size_t>(width) * bytesPerPixel + padBytes - 1) / static_cast<std::size_t>(padBytes) * padBytes;
        // Requests are limited in size (4-byte units); leave room for the header.
        const std::size_t maxBytes = static_cast<std::size_t>(xcb_get_maximum_request_length(c)) * 4 - 64;
        const int bandRows = static_cast<int>(std::max<std::size_t>(1, maxBytes / stride));
        std::vector<std::uint8_t> band(stride * static_cast<std::size_t>(std::min(bandRows, height)));
        for (int top = 0; top < height; top += bandRows) {
            const int rows = std::min(bandRows, height - top);
            std::fill(band.begin(), band.end(), 0);
            for (int y = 0; y < rows; ++y) {
                std::uint8_t* out = band.data() + static_cast<std::size_t>(y) * stride;
                for (int x = 0; x < width; ++x, out += bytesPerPixel) {
                    std::uint8_t rgb[3];
                    picture.pixel(monitor.left - monitor.x + x, monitor.top - monitor.y + top + y, rgb);
                    const std::uint32_t value =
                        format.red.place(rgb[0]) | format.green.place(rgb[1]) | format.blue.place(rgb[2]);
                    for (int b = 0; b < bytesPerPixel; ++b) {
                        const int shift = format.msbFirst ? 8 * (bytesPerPixel - 1 - b) : 8 * b;
                        out[b] = static_cast<std::uint8_t>(value >> shift);
                    }
                }
            }
            checkRequest(c,
                         xcb_put_image_checked(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(width),
                                               static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(monitor.left),
                                               static_cast<std::int16_t>(monitor.top + top), 0,
                                               depth, static_cast<std::uint32_t>(stride * rows), band.data()),
                         "the wallpaper's pixels");
        }
    }
};

// An atom's name; "" when the server does not know it.
std::string atomName(xcb_connection_t* connection, xcb_atom_t name)
{
    const ReplyPtr<xcb_get_atom_name_reply_t> reply{
        xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, name), nullptr)};
    if (!reply.reply)
        return {};
    return std::string(xcb_get_atom_name_name(reply.reply),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.reply)));
}

} // namespace

ScreenMonitors readXMonitors()
{
    int screenNumber = 0;
    Connection connection(xcb_connect(nullptr, &screenNumber));
    const xcb_screen_t* screen = screenOf(connection.get(), screenNumber);
    if (!screen)
        throw Error("Cannot open the X display \"" + environmentValue("DISPLAY") + "\"");
    ScreenMonitors result;
    result.width = screen->width_in_pixels;
    result.height = screen->height_in_pixels;
    const std::vector<Monitor> monitors = monitorsOf(connection.get(), screen);
    for (const Monitor* m : ownPictureMonitors(monitors)) {
        result.monitors.push_back(
            {m->name == XCB_ATOM_NONE ? std::string() : atomName(connection.get(), m->name),
             PixelRect{m->x, m->y, m->width, m->height}});
    }
    return result;
}

int x11ScreenDepth()
{
    if (environmentValue("DISPLAY").empty())
        return 24;
    int screenNumber = 0;
    Connection connection(xcb_connect(nullptr, &screenNumber));
    const xcb_screen_t* screen = screenOf(connection.get(), screenNumber);
    return screen ? screen->root_depth : 24;
}

std::unique_ptr<DesktopBackend> makeX11Backend()
{
    return makeX11Backend([](const std::string& path, int width, int height) { return loadPicture(path, width, height); });
}

std::unique_ptr<DesktopBackend> makeX11Backend(PictureReader reader)
{
    return std::make_unique<X11Backend>(std::move(reader));
}

} // namespace plimbury::desktop
