#pragma once
// The font the three windows are laid out for: "MS Sans Serif" at 8 points
// (11 pixels high, 13 with its leading). Every control's position and size
// was chosen for its widths, so another face at the same size cuts captions.

#include <QFont>

class QWidget;

namespace widgets {

// The layout font for a screen of `devicePixelRatio` device pixels to a
// window pixel. "MS Sans Serif" where the system has it (Windows) or where
// Debian's fonts-wine package installs its bitmap twin, but only at ratio 1:
// the bitmap face has glyphs at its own pixel sizes alone, and elsewhere Qt
// would space its small glyphs at the scaled advances. Otherwise Tahoma or
// the desktop's sans-serif face, at the largest pixel size up to 11 that
// keeps the widest caption of the layout as narrow as the layout font draws it.
QFont layoutFont(qreal devicePixelRatio);

// Gives `window` (a top-level widget; not owned) the layout font for the
// ratio of the screen it is on, and again whenever it is shown or moves to a
// screen of another ratio.
void useLayoutFont(QWidget* window);

// Where fonts-wine keeps the face, tried when fontconfig does not list it.
inline constexpr const char* kLayoutFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

} // namespace widgets
