#include "app/Skin.h"

namespace skin {

QString picture(const char* controlName)
{
    return QStringLiteral(":/skin/") + QLatin1String(controlName) + QStringLiteral(".jpg");
}

QPixmap pictureFor(const QString& resourcePath, qreal ratio)
{
    const qsizetype dot = resourcePath.lastIndexOf(u'.');
    // 1.5 and 1.25 take the 2x picture as well: scaled down it stays sharper
    // than the 1x one scaled up.
    if (ratio > 1.0 && dot > resourcePath.lastIndexOf(u'/')) {
        QPixmap dense(resourcePath.left(dot) + QStringLiteral("@2x") + resourcePath.mid(dot));
        if (!dense.isNull()) {
            dense.setDevicePixelRatio(2.0);
            return dense;
        }
    }
    return QPixmap(resourcePath);
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/plimbury-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace skin
