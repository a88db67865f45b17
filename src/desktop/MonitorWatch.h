#pragma once
// Where this program paints the wallpaper itself (the plain X11 desktop), the
// picture is stretched over the monitors as they were when it was painted: a
// monitor plugged in, unplugged or set to another resolution leaves it
// smeared or missing until it is painted again. The watch says when that is
// due. Desktops that keep their own wallpaper, and Windows, need none.

namespace plimbury {

class MonitorWatch {
public:
    virtual ~MonitorWatch() = default;
    // Becomes readable when the display server has sent something; poll it
    // with the program's event loop and call changed() then.
    virtual int descriptor() const = 0;
    // Reads everything that arrived, without waiting; true when it says the
    // monitors or the screen's size changed.
    virtual bool changed() = 0;
    // True once the connection to the display is lost: the descriptor then
    // stays readable for good and must no longer be polled.
    virtual bool lost() const = 0;
};

} // namespace plimbury
