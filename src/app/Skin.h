#pragma once
// The artwork built into the program: the skin pictures (JPEG, one per picture
// control, named after the control) and the application icon.

#include <QIcon>
#include <QString>

namespace skin {

// The resource path of the picture of the control `controlName`, e.g. ":/skin/myImage_nb.jpg".
QString picture(const char* controlName);

// The program's icon in all its sizes.
QIcon applicationIcon();

} // namespace skin
