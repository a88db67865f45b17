// Draws the main window's skin and the application icon.
//
//   cmake --build <build> --target make_skin
//   QT_QPA_PLATFORM=offscreen <build>/src/app/make_skin assets
//
// writes assets/skin/<control>.jpg (the background, the idle and lit picture
// of every hover pair, the two editor buttons), the same at twice the pixels
// as assets/skin/<control>@2x.jpg for screens of device pixel ratio 2, and
// assets/icons/plimbury-<n>.png. The title is set in URW Gothic (Debian's
// fonts-urw-base35); without it the background comes out in another face.
// Everything is drawn on one canvas in window coordinates, and each button is
// cut from it at its own place, so the pictures join without a seam. The 2x
// canvas is painted through the same code in the same window coordinates, its
// device pixel ratio doubling every stroke and glyph, so the two sets agree
// picture for picture.

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 790;
constexpr int kHeight = 574;   // the background reaches below the client
const QRect kBackground(71, 79, 700, 495);
const QRectF kVisible(80, 80, 680, 480);

const QColor kNight("#0d1631");
const QColor kDusk("#173b63");
const QColor kAmber("#ffc24d");
const QColor kAmberDeep("#ff8f3a");
const QColor kIdleGlyph("#c3d2ea");
const QColor kLitGlyph("#1a2342");
const QColor kText("#dfe8f7");
const QColor kMuted("#8ea3c6");

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

QFont font(const char* family, double pixels, int weight = QFont::Normal)
{
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(static_cast<int>(std::lround(pixels)));
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// --- Glyphs: each fills the square `r` (centred), stroked in `c` -----------------

QPen strokePen(const QColor& c, double width)
{
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void glyphNew(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    const double w = s * 0.62, h = s * 0.80, fold = s * 0.22;
    const QPointF o(r.center().x() - w / 2 - s * 0.04, r.center().y() - h / 2);
    QPainterPath page;
    page.moveTo(o);
    page.lineTo(o.x() + w - fold, o.y());
    page.lineTo(o.x() + w, o.y() + fold);
    page.lineTo(o.x() + w, o.y() + h);
    page.lineTo(o.x(), o.y() + h);
    page.closeSubpath();
    p.setPen(strokePen(c, s * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({QPointF(o.x() + w - fold, o.y()), QPointF(o.x() + w - fold, o.y() + fold),
                              QPointF(o.x() + w, o.y() + fold)}));
    // the plus badge
    const QPointF b(o.x() + w + s * 0.02, o.y() + h - s * 0.06);
    const double br = s * 0.2;
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawEllipse(b, br, br);
    const QColor hole = c.lightness() > 128 ? QColor(kNight) : QColor(kAmber);
    p.setPen(strokePen(hole, s * 0.07));
    p.drawLine(QPointF(b.x() - br * 0.55, b.y()), QPointF(b.x() + br * 0.55, b.y()));
    p.drawLine(QPointF(b.x(), b.y() - br * 0.55), QPointF(b.x(), b.y() + br * 0.55));
}

void glyphOpen(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    const double w = s * 0.84, h = s * 0.62;
    const QPointF o(r.center().x() - w / 2, r.center().y() - h / 2);
    QPainterPath back;
    back.moveTo(o.x(), o.y() + h);
    back.lineTo(o.x(), o.y());
    back.lineTo(o.x() + w * 0.34, o.y());
    back.lineTo(o.x() + w * 0.44, o.y() + h * 0.16);
    back.lineTo(o.x() + w * 0.86, o.y() + h * 0.16);
    back.lineTo(o.x() + w * 0.86, o.y() + h * 0.34);
    p.setPen(strokePen(c, s * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawPath(back);
    QPainterPath flap;
    flap.moveTo(o.x(), o.y() + h);
    flap.lineTo(o.x() + w * 0.16, o.y() + h * 0.34);
    flap.lineTo(o.x() + w, o.y() + h * 0.34);
    flap.lineTo(o.x() + w * 0.86, o.y() + h);
    flap.closeSubpath();
    QColor fill = c;
    fill.setAlpha(90);
    p.setBrush(fill);
    p.drawPath(flap);
}

void glyphSave(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    const double w = s * 0.74;
    const QRectF body(r.center().x() - w / 2, r.center().y() - w / 2, w, w);
    QPainterPath disk;
    disk.moveTo(body.topLeft());
    disk.lineTo(body.right() - w * 0.18, body.top());
    disk.lineTo(body.right(), body.top() + w * 0.18);
    disk.lineTo(body.bottomRight());
    disk.lineTo(body.bottomLeft());
    disk.closeSubpath();
    p.setPen(strokePen(c, s * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawPath(disk);
    // shutter and label
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(body.left() + w * 0.24, body.top() + s * 0.02, w * 0.42, w * 0.26));
    p.setPen(strokePen(c, s * 0.06));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(body.left() + w * 0.18, body.top() + w * 0.54, w * 0.64, w * 0.36), s * 0.03, s * 0.03);
}

void glyphHelp(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    p.setPen(strokePen(c, s * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.center(), s * 0.4, s * 0.4);
    p.setFont(font("DejaVu Sans", s * 0.56, QFont::Bold));
    p.setPen(c);
    p.drawText(r.adjusted(0, s * 0.02, 0, 0), Qt::AlignCenter, QStringLiteral("?"));
}

void glyphWallpaper(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    const QRectF frame(r.center().x() - s * 0.44, r.center().y() - s * 0.34, s * 0.88, s * 0.68);
    p.setPen(strokePen(c, s * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame, s * 0.06, s * 0.06);
    QPainterPath hills;
    hills.moveTo(frame.left() + s * 0.04, frame.bottom() - s * 0.04);
    hills.lineTo(frame.left() + frame.width() * 0.36, frame.top() + frame.height() * 0.42);
    hills.lineTo(frame.left() + frame.width() * 0.56, frame.top() + frame.height() * 0.68);
    hills.lineTo(frame.left() + frame.width() * 0.72, frame.top() + frame.height() * 0.52);
    hills.lineTo(frame.right() - s * 0.04, frame.bottom() - s * 0.04);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(hills);
    p.drawEllipse(QPointF(frame.left() + frame.width() * 0.74, frame.top() + frame.height() * 0.28), s * 0.08,
                  s * 0.08);
}

void glyphScreenSaver(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    const QRectF screen(r.center().x() - s * 0.44, r.top() + s * 0.14, s * 0.88, s * 0.58);
    p.setPen(strokePen(c, s * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(screen, s * 0.06, s * 0.06);
    p.drawLine(QPointF(r.center().x(), screen.bottom()), QPointF(r.center().x(), screen.bottom() + s * 0.12));
    p.drawLine(QPointF(r.center().x() - s * 0.2, screen.bottom() + s * 0.14),
               QPointF(r.center().x() + s * 0.2, screen.bottom() + s * 0.14));
    // crescent moon and a star
    QPainterPath moon;
    const QPointF m(screen.left() + screen.width() * 0.38, screen.center().y());
    moon.addEllipse(m, s * 0.17, s * 0.17);
    QPainterPath bite;
    bite.addEllipse(QPointF(m.x() + s * 0.08, m.y() - s * 0.06), s * 0.15, s * 0.15);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(moon.subtracted(bite));
    const QPointF star(screen.left() + screen.width() * 0.74, screen.top() + screen.height() * 0.34);
    QPainterPath sparkle;
    const double a = s * 0.1, b = s * 0.03;
    sparkle.moveTo(star.x(), star.y() - a);
    sparkle.lineTo(star.x() + b, star.y() - b);
    sparkle.lineTo(star.x() + a, star.y());
    sparkle.lineTo(star.x() + b, star.y() + b);
    sparkle.lineTo(star.x(), star.y() + a);
    sparkle.lineTo(star.x() - b, star.y() + b);
    sparkle.lineTo(star.x() - a, star.y());
    sparkle.lineTo(star.x() - b, star.y() - b);
    sparkle.closeSubpath();
    p.drawPath(sparkle);
}

void glyphRun(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    QPainterPath play;
    const QPointF o = r.center();
    play.moveTo(o.x() - s * 0.22, o.y() - s * 0.3);
    play.lineTo(o.x() + s * 0.32, o.y());
    play.lineTo(o.x() - s * 0.22, o.y() + s * 0.3);
    play.closeSubpath();
    p.setPen(strokePen(c, s * 0.06));
    p.setBrush(c);
    p.drawPath(play);
}

void glyphExit(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    const QPointF o = r.center();
    const double radius = s * 0.3;
    p.setPen(strokePen(c, s * 0.1));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(o.x() - radius, o.y() - radius + s * 0.04, 2 * radius, 2 * radius);
    p.drawArc(ring, 120 * 16, 300 * 16);   // open at the top
    p.drawLine(QPointF(o.x(), o.y() - s * 0.36), QPointF(o.x(), o.y() - s * 0.02));
}

// --- The canvas --------------------------------------------------------------------

QPainterPath windowShape()
{
    QPainterPath shape;
    shape.addRoundedRect(kVisible, 35, 35);
    return shape;
}

bool textFits = true;   // false once a text could not be made to fit its box

// Draws `text` in `box`, the font made smaller until the text fits the box:
// a caption never runs past the edge of the picture it belongs to.
void drawLabel(QPainter& p, const QRectF& box, const QString& text, const QFont& f, const QColor& c,
               Qt::Alignment align = Qt::AlignCenter)
{
    QFont fitted = f;
    const auto fits = [&] { return QFontMetricsF(fitted).horizontalAdvance(text) <= box.width(); };
    while (!fits() && fitted.pixelSize() > 7)
        fitted.setPixelSize(fitted.pixelSize() - 1);
    if (!fits()) {
        std::fprintf(stderr, "make_skin: \"%s\" does not fit %g pixels\n", qPrintable(text), box.width());
        textFits = false;
    }
    p.setFont(fitted);
    p.setPen(c);
    p.drawText(box, align, text);
}

QImage drawBackground(int scale)
{
    QImage canvas(kWidth * scale, kHeight * scale, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(kNight);
    const QRect all(0, 0, kWidth, kHeight);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 80, 0, 560);
    sky.setColorAt(0.0, kNight);
    sky.setColorAt(0.55, QColor("#13284d"));
    sky.setColorAt(1.0, kDusk);
    p.fillRect(all, sky);

    // Two soft lights: dawn behind the title, a cool glow low on the right.
    QRadialGradient warm(QPointF(170, 60), 330);
    warm.setColorAt(0.0, QColor(255, 170, 80, 70));
    warm.setColorAt(1.0, QColor(255, 170, 80, 0));
    p.fillRect(all, warm);
    QRadialGradient cool(QPointF(700, 560), 420);
    cool.setColorAt(0.0, QColor(60, 200, 210, 70));
    cool.setColorAt(1.0, QColor(60, 200, 210, 0));
    p.fillRect(all, cool);

    // A scatter of faint stars in the header.
    QRandomGenerator stars(2024);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 70; ++i) {
        const QPointF at(90 + stars.bounded(660), 86 + stars.bounded(90));
        const double size = 0.5 + stars.bounded(10) / 10.0;
        p.setBrush(QColor(255, 255, 255, 40 + stars.bounded(90)));
        p.drawEllipse(at, size, size);
    }

    // A gentle wave dividing the header from the working area.
    QPainterPath wave;
    wave.moveTo(80, 196);
    wave.cubicTo(260, 176, 480, 214, 760, 186);
    wave.lineTo(760, 560);
    wave.lineTo(80, 560);
    wave.closeSubpath();
    QLinearGradient body(0, 180, 0, 560);
    body.setColorAt(0.0, QColor(255, 255, 255, 16));
    body.setColorAt(1.0, QColor(255, 255, 255, 6));
    p.setBrush(body);
    p.drawPath(wave);
    p.setPen(QPen(QColor(255, 194, 77, 70), 1.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath crest;
    crest.moveTo(80, 196);
    crest.cubicTo(260, 176, 480, 214, 760, 186);
    p.drawPath(crest);

    // Title
    const QFont title = font("URW Gothic", 31, QFont::DemiBold);
    drawLabel(p, QRectF(104, 88, 240, 40), QStringLiteral("Plimbury"), title, kText, Qt::AlignLeft | Qt::AlignVCenter);
    const double titleWidth = QFontMetricsF(title).horizontalAdvance(QStringLiteral("Plimbury"));
    drawLabel(p, QRectF(104 + titleWidth + 4, 94, 40, 18), QStringLiteral("2.1"), font("DejaVu Sans", 11, QFont::Bold),
              kAmber, Qt::AlignLeft | Qt::AlignTop);
    drawLabel(p, QRectF(370, 96, 365, 22), QStringLiteral("your desktop, on a schedule"),
              font("URW Gothic", 15), kMuted, Qt::AlignRight | Qt::AlignVCenter);

    // Captions under the buttons
    const QFont small = font("DejaVu Sans", 10);
    drawLabel(p, QRectF(118, 170, 80, 15), QStringLiteral("Wallpaper"), small, kMuted);
    drawLabel(p, QRectF(254, 170, 90, 15), QStringLiteral("Screen saver"), small, kMuted);
    const std::pair<int, const char*> commands[] = {{370, "New"}, {432, "Open"}, {496, "Save"}, {559, "Help"}};
    for (const auto& [left, text] : commands)
        drawLabel(p, QRectF(left - 10, 171, 65, 14), QString::fromLatin1(text), small, kMuted);
    const QFont caption = font("DejaVu Sans", 10.5, QFont::DemiBold);
    drawLabel(p, QRectF(124, 506, 100, 16), QStringLiteral("Save and Run"), caption, kText);
    drawLabel(p, QRectF(220, 506, 100, 16), QStringLiteral("Exit"), caption, kText);

    // The frame around the working list
    QPainterPath listFrame;
    listFrame.addRoundedRect(QRectF(350.5, 185.5, 391, 343), 10, 10);
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    p.setBrush(QColor(8, 14, 32, 120));
    p.drawPath(listFrame);

    // Where the interval group sits, a soft shadow so the card lifts off the sky.
    for (int i = 6; i >= 1; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(QRectF(112 - i + 2, 272 - i + 4, 233 + 2 * i, 145 + 2 * i), 4 + i, 4 + i);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 12));
        p.drawPath(shadow);
    }
    // the same under the list editor button
    for (int i = 5; i >= 1; --i) {
        QPainterPath shadow;
        shadow.addRoundedRect(QRectF(160 - i + 1, 200 - i + 3, 133 + 2 * i, 38 + 2 * i), 19 + i, 19 + i);
        p.setBrush(QColor(0, 0, 0, 14));
        p.drawPath(shadow);
    }

    drawLabel(p, QRectF(104, 244, 240, 22), QStringLiteral("Change it every"), font("DejaVu Sans", 11), kMuted,
              Qt::AlignLeft | Qt::AlignVCenter);

    // A rim along the window's rounded edge gives the cut-out shape a border.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    p.drawPath(windowShape());
    p.setPen(QPen(QColor(255, 194, 77, 110), 1));
    QPainterPath inner;
    inner.addRoundedRect(kVisible.adjusted(3, 3, -3, -3), 32, 32);
    p.drawPath(inner);
    return canvas;
}

// The part of `canvas` at `place` in window coordinates, at the canvas's own ratio.
QImage cut(const QImage& canvas, const QRect& place)
{
    const int scale = static_cast<int>(canvas.devicePixelRatio());
    return canvas.copy(QRect(place.topLeft() * scale, place.size() * scale));
}

// --- Buttons ---------------------------------------------------------------------------

void drawTile(QPainter& p, const QRectF& box, bool lit)
{
    const QRectF tile = box.adjusted(2, 2, -2, -2);
    if (lit) {
        for (int i = 3; i >= 1; --i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 194, 77, 40));
            p.drawRoundedRect(tile.adjusted(-i * 0.7, -i * 0.7, i * 0.7, i * 0.7), 10, 10);
        }
        QLinearGradient g(tile.topLeft(), tile.bottomLeft());
        g.setColorAt(0.0, QColor("#ffe08a"));
        g.setColorAt(1.0, kAmberDeep);
        p.setBrush(g);
        p.setPen(QPen(QColor(255, 246, 214), 1));
    } else {
        QLinearGradient g(tile.topLeft(), tile.bottomLeft());
        g.setColorAt(0.0, QColor(255, 255, 255, 34));
        g.setColorAt(1.0, QColor(255, 255, 255, 12));
        p.setBrush(g);
        p.setPen(QPen(QColor(255, 255, 255, 55), 1));
    }
    p.drawRoundedRect(tile, 9, 9);
}

QImage drawTileButton(const QImage& canvas, const QRect& place, const Glyph& glyph, bool lit)
{
    QImage out = cut(canvas, place);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box(0, 0, place.width(), place.height());
    drawTile(p, box, lit);
    const double side = std::min(box.width(), box.height()) * 0.66;
    const QRectF square(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    glyph(p, square, lit ? kLitGlyph : kIdleGlyph);
    return out;
}

QImage drawRoundButton(const QImage& canvas, const QRect& place, const Glyph& glyph, const QColor& tone, bool lit)
{
    QImage out = cut(canvas, place);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(place.width() / 2.0, place.height() / 2.0);
    const double r = std::min(place.width(), place.height()) / 2.0 - 4;
    if (lit) {
        QRadialGradient halo(c, r + 4);
        halo.setColorAt(0.75, QColor(tone.red(), tone.green(), tone.blue(), 120));
        halo.setColorAt(1.0, QColor(tone.red(), tone.green(), tone.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, r + 4, r + 4);
        QLinearGradient g(c.x(), c.y() - r, c.x(), c.y() + r);
        g.setColorAt(0.0, tone.lighter(150));
        g.setColorAt(1.0, tone);
        p.setBrush(g);
        p.setPen(QPen(tone.lighter(175), 1.5));
        p.drawEllipse(c, r, r);
    } else {
        QLinearGradient g(c.x(), c.y() - r, c.x(), c.y() + r);
        g.setColorAt(0.0, QColor(255, 255, 255, 30));
        g.setColorAt(1.0, QColor(255, 255, 255, 8));
        p.setBrush(g);
        p.setPen(QPen(tone, 2.5));
        p.drawEllipse(c, r, r);
    }
    const double side = r * 1.25;
    const QRectF square(c.x() - side / 2, c.y() - side / 2, side, side);
    glyph(p, square, lit ? QColor(Qt::white) : tone.lighter(120));
    return out;
}

QImage drawPillButton(const QImage& canvas, const QRect& place, const Glyph& glyph, const QString& text)
{
    QImage out = cut(canvas, place);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF pill(1.5, 1.5, place.width() - 3, place.height() - 3);
    QLinearGradient g(pill.topLeft(), pill.bottomLeft());
    g.setColorAt(0.0, QColor("#ffd977"));
    g.setColorAt(1.0, kAmberDeep);
    p.setBrush(g);
    p.setPen(QPen(QColor(255, 240, 200), 1));
    p.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    const double side = 22;
    glyph(p, QRectF(11, (place.height() - side) / 2, side, side), kLitGlyph);
    drawLabel(p, QRectF(36, 0, place.width() - 42, place.height()), text, font("DejaVu Sans", 12, QFont::Bold),
              kLitGlyph, Qt::AlignLeft | Qt::AlignVCenter);
    return out;
}

void drawList(QPainter& p, const QRectF& r, const QColor& c)
{
    const double s = r.width();
    p.setPen(strokePen(c, s * 0.1));
    for (int i = 0; i < 3; ++i) {
        const double y = r.top() + s * (0.22 + 0.28 * i);
        p.drawPoint(QPointF(r.left() + s * 0.12, y));
        p.drawLine(QPointF(r.left() + s * 0.34, y), QPointF(r.right() - s * 0.06, y));
    }
}

// --- The icon ----------------------------------------------------------------------

QImage drawIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient sky(tile.topLeft(), tile.bottomLeft());
    sky.setColorAt(0.0, QColor("#1b2c57"));
    sky.setColorAt(1.0, QColor("#1f5c82"));
    p.setPen(size >= 32 ? QPen(QColor(255, 194, 77), s / 40.0) : Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);
    // the sun and the hills of a wallpaper
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(s * 0.68, s * 0.34), s * 0.13, s * 0.13);
    QPainterPath hills;
    hills.moveTo(tile.left(), s * 0.78);
    hills.cubicTo(s * 0.3, s * 0.5, s * 0.45, s * 0.56, s * 0.6, s * 0.66);
    hills.cubicTo(s * 0.72, s * 0.58, s * 0.85, s * 0.6, tile.right(), s * 0.7);
    hills.lineTo(tile.right(), tile.bottom() - s * 0.2);
    hills.quadTo(tile.right(), tile.bottom(), tile.right() - s * 0.2, tile.bottom());
    hills.lineTo(tile.left() + s * 0.2, tile.bottom());
    hills.quadTo(tile.left(), tile.bottom(), tile.left(), tile.bottom() - s * 0.2);
    hills.closeSubpath();
    p.setBrush(QColor("#3fc6b4"));
    p.drawPath(hills);
    // a clock badge: the schedule
    if (size >= 24) {
        const QPointF c(s * 0.3, s * 0.32);
        const double r = s * 0.17;
        p.setBrush(QColor("#f4f7fc"));
        p.setPen(QPen(QColor("#1b2c57"), s / 32.0));
        p.drawEllipse(c, r, r);
        p.setPen(strokePen(QColor("#1b2c57"), std::max(1.0, s / 22.0)));
        p.drawLine(c, QPointF(c.x(), c.y() - r * 0.62));
        p.drawLine(c, QPointF(c.x() + r * 0.5, c.y() + r * 0.2));
    }
    return icon;
}

bool save(const QImage& image, const QString& path, const QSize& expected)
{
    if (image.size() != expected) {
        std::fprintf(stderr, "%s: wrong size\n", qPrintable(path));
        return false;
    }
    const bool jpeg = path.endsWith(QLatin1String(".jpg"));
    if (!image.save(path, jpeg ? "JPG" : "PNG", jpeg ? 93 : -1)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Every skin picture at `scale` (1 or 2), the 2x ones named <control>@2x.jpg
// as Qt names the variants of a picture for denser screens.
bool writeSkin(const QDir& assets, int scale)
{
    const QImage canvas = drawBackground(scale);
    const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
    const auto put = [&](const QImage& picture, const char* control, const QRect& place) {
        const QString name = QStringLiteral("skin/%1%2.jpg").arg(QLatin1String(control), suffix);
        return save(picture, assets.filePath(name), place.size() * scale);
    };
    bool ok = put(cut(canvas, kBackground), "Image_bg", kBackground);

    struct Tile {
        const char* idle;
        const char* lit;
        QRect place;
        Glyph glyph;
    };
    const Tile tiles[] = {
        {"myImage_nb", "myImage_n", QRect(370, 129, 45, 41), glyphNew},
        {"myImage_ob", "myImage_o", QRect(432, 129, 45, 41), glyphOpen},
        {"myImage_sb", "myImage_s", QRect(496, 129, 45, 41), glyphSave},
        {"myImage_faqb", "myImage_faq", QRect(559, 129, 45, 41), glyphHelp},
        {"myImage_ww", "myImage_wr", QRect(138, 134, 39, 35), glyphWallpaper},
        {"myImage_sw", "myImage_sr", QRect(279, 132, 39, 35), glyphScreenSaver},
    };
    for (const Tile& t : tiles) {
        ok &= put(drawTileButton(canvas, t.place, t.glyph, false), t.idle, t.place);
        ok &= put(drawTileButton(canvas, t.place, t.glyph, true), t.lit, t.place);
    }

    const QRect run(144, 440, 59, 64), leave(240, 440, 59, 64);
    const QColor green("#2fc48a"), coral("#ff6b5a");
    ok &= put(drawRoundButton(canvas, run, glyphRun, green, false), "myImage_done", run);
    ok &= put(drawRoundButton(canvas, run, glyphRun, green, true), "myImage_donet", run);
    ok &= put(drawRoundButton(canvas, leave, glyphExit, coral, false), "myImage_exit", leave);
    ok &= put(drawRoundButton(canvas, leave, glyphExit, coral, true), "myImage_exitt", leave);

    const QRect editor(160, 200, 133, 38);
    ok &= put(drawPillButton(canvas, editor, glyphWallpaper, QStringLiteral("Pictures…")), "myImage_sel_wall", editor);
    ok &= put(drawPillButton(canvas, editor, drawList, QStringLiteral("Screen savers…")), "myImage_sel_scr", editor);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skin <assets folder>\n");
        return 2;
    }
    const QDir assets(QString::fromLocal8Bit(argv[1]));
    assets.mkpath(QStringLiteral("skin"));
    assets.mkpath(QStringLiteral("icons"));

    bool ok = writeSkin(assets, 1) && writeSkin(assets, 2);
    // The icon's 2x is its next size up: 32 for 16, 48 for 24, 64 for 32.
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok &= save(drawIcon(size), assets.filePath(QStringLiteral("icons/plimbury-%1.png").arg(size)), QSize(size, size));
    return ok && textFits ? 0 : 1;
}
