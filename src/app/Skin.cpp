#include "app/Skin.h"

namespace skin {

QString picture(const char* controlName)
{
    return QStringLiteral(":/skin/") + QLatin1String(controlName) + QStringLiteral(".jpg");
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/plimbury-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace skin
