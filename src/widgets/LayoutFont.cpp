#include "widgets/LayoutFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace widgets {

namespace {

const QString kFamily = QStringLiteral("MS Sans Serif");

bool layoutFaceAvailable()
{
    static const bool available = [] {
        if (QFontDatabase::families().contains(kFamily, Qt::CaseInsensitive))
            return true;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kLayoutFontFile));
        return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(kFamily, Qt::CaseInsensitive);
    }();
    return available;
}

} // namespace

QFont layoutFont()
{
    if (layoutFaceAvailable()) {
        QFont font(kFamily);
        font.setPixelSize(11);
        if (QFontInfo(font).family().compare(kFamily, Qt::CaseInsensitive) == 0)
            return font;
    }
    // The widest caption of the layout, and its width in the layout font.
    const QString widest = QStringLiteral("hour    (1--24)");
    constexpr int layoutWidth = 63;
    // Tahoma is the layout font's own successor on Windows (and Wine has
    // it); elsewhere the desktop's sans-serif face.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    int pixels = 11;
    font.setPixelSize(pixels);
    while (pixels > 7 && QFontMetrics(font).horizontalAdvance(widest) > layoutWidth)
        font.setPixelSize(--pixels);
    return font;
}

} // namespace widgets
