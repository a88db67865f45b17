#pragma once
// The font the three windows are laid out for: "MS Sans Serif" at 8 points
// (11 pixels high, 13 with its leading). Every control's position and size
// was chosen for its widths, so another face at the same size cuts captions.

#include <QFont>

namespace widgets {

// "MS Sans Serif" where the system has it (Windows) or where Debian's
// fonts-wine package installs its bitmap twin; otherwise Tahoma or the
// desktop's sans-serif face, at the largest pixel size up to 11 that keeps
// the widest caption of the layout as narrow as the layout font draws it.
QFont layoutFont();

// Where fonts-wine keeps the face, tried when fontconfig does not list it.
inline constexpr const char* kLayoutFontFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

} // namespace widgets
