#pragma once
// The artwork built into the program: the skin pictures (JPEG, one per picture
// control, named after the control, each also at twice the pixels as
// <control>@2x.jpg) and the application icon.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace skin {

// The resource path of the picture of the control `controlName`, e.g. ":/skin/myImage_nb.jpg".
QString picture(const char* controlName);

// The picture at `resourcePath` for a window of device pixel ratio `ratio`.
// Above 1, its "@2x" variant (":/skin/a.jpg" -> ":/skin/a@2x.jpg") where there
// is one, with device pixel ratio 2 so that it covers the same window
// coordinates as the picture itself; otherwise the picture itself. A null
// pixmap when neither can be read.
QPixmap pictureFor(const QString& resourcePath, qreal ratio);

// The program's icon in all its sizes; at a device pixel ratio of 2 a size
// is served from the file of twice its pixels (16 from the 32 one).
QIcon applicationIcon();

} // namespace skin
