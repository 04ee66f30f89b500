// Draws the skin's images. The PNG files in skin/res are this program's output; run it again
// after changing a drawing:  talvora_skin_art <skin/res folder>
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cstdio>
#include <functional>

namespace {

const QColor kBlue(0x1D, 0x97, 0xE4);
const QColor kBlueHot(0x3A, 0xA8, 0xF0);
const QColor kBluePushed(0x14, 0x79, 0xB8);
const QColor kGlyph(0x5A, 0x62, 0x6B);
const QColor kGlyphHot(0x2C, 0x33, 0x3A);

QString g_folder;
int g_failures = 0;

void Save(const char* name, int width, int height, const std::function<void(QPainter&)>& draw)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        draw(painter);
    }
    const QString path = g_folder + QLatin1Char('/') + QLatin1String(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

QPen Stroke(const QColor& color, qreal width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A cross in a square of `size`, optionally on a filled disc.
void DrawClose(QPainter& p, int size, const QColor& glyph, const QColor& disc)
{
    if (disc.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(disc);
        p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    }
    const qreal m = size * 0.32;
    p.setPen(Stroke(glyph, size / 10.5));
    p.drawLine(QPointF(m, m), QPointF(size - m, size - m));
    p.drawLine(QPointF(size - m, m), QPointF(m, size - m));
}

void DrawHoverBack(QPainter& p, int size, const QColor& color)
{
    if (!color.isValid())
        return;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(0, 0, size, size), 3, 3);
}

void DrawMinimize(QPainter& p, int size, const QColor& glyph, const QColor& back)
{
    DrawHoverBack(p, size, back);
    p.setPen(Stroke(glyph, 2));
    p.drawLine(QPointF(size * 0.27, size * 0.62), QPointF(size * 0.73, size * 0.62));
}

void DrawMaximize(QPainter& p, int size, const QColor& glyph, const QColor& back)
{
    DrawHoverBack(p, size, back);
    p.setPen(Stroke(glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(size * 0.27, size * 0.27, size * 0.46, size * 0.46));
}

void DrawRestore(QPainter& p, int size, const QColor& glyph, const QColor& back)
{
    DrawHoverBack(p, size, back);
    p.setPen(Stroke(glyph, 1.5));
    p.setBrush(Qt::NoBrush);
    const qreal s = size * 0.36;
    p.drawPolyline(QPolygonF({QPointF(size * 0.40, size * 0.30), QPointF(size * 0.40 + 0, size * 0.24),
                              QPointF(size * 0.76, size * 0.24), QPointF(size * 0.76, size * 0.60),
                              QPointF(size * 0.70, size * 0.60)}));
    p.drawRect(QRectF(size * 0.24, size * 0.40, s, s));
}

// A shaded disc with a white "i", with a darker ring when asked.
void DrawInfoDisc(QPainter& p, int size, const QColor& disc, bool ring)
{
    QRadialGradient shade(QPointF(size * 0.35, size * 0.3), size * 0.8);
    shade.setColorAt(0, disc.lighter(125));
    shade.setColorAt(1, disc);
    p.setPen(ring ? QPen(disc.darker(120), 1) : Qt::NoPen);
    p.setBrush(shade);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const qreal w = size * 0.13;
    p.drawEllipse(QPointF(size / 2.0, size * 0.29), w * 0.62, w * 0.62);
    p.drawRoundedRect(QRectF(size / 2.0 - w / 2, size * 0.42, w, size * 0.34), w / 2, w / 2);
}

// The same shaded disc with a white gear: eight teeth around a ring.
void DrawGearDisc(QPainter& p, int size, const QColor& disc)
{
    QRadialGradient shade(QPointF(size * 0.35, size * 0.3), size * 0.8);
    shade.setColorAt(0, disc.lighter(125));
    shade.setColorAt(1, disc);
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    const QPointF centre(size / 2.0, size / 2.0);
    QPainterPath gear;
    gear.setFillRule(Qt::WindingFill);
    gear.addEllipse(centre, size * 0.25, size * 0.25);
    const qreal toothWidth = size * 0.13;
    const qreal toothReach = size * 0.345;
    for (int i = 0; i < 8; ++i) {
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(45.0 * i);
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-toothWidth / 2, -toothReach, toothWidth, toothReach), size * 0.03, size * 0.03);
        gear.addPath(turn.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(centre, size * 0.11, size * 0.11);
    p.setBrush(Qt::white);
    p.drawPath(gear.simplified().subtracted(hole));
}

void DrawBlueButton(QPainter& p, int width, int height, const QColor& top, const QColor& bottom)
{
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(bottom.darker(115), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 4, 4);
}

void DrawArrow(QPainter& p, int size, bool up, const QColor& glyph, const QColor& back)
{
    if (back.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(back);
        p.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), 3, 3);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(glyph);
    const qreal c = size / 2.0;
    const qreal h = size * 0.18;
    if (up)
        p.drawPolygon(QPolygonF({QPointF(c - 3.5, c + h), QPointF(c + 3.5, c + h), QPointF(c, c - h - 1)}));
    else
        p.drawPolygon(QPolygonF({QPointF(c - 3.5, c - h), QPointF(c + 3.5, c - h), QPointF(c, c + h + 1)}));
}

void DrawThumb(QPainter& p, int width, int height, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(3, 1, width - 6, height - 2), (width - 6) / 2.0, (width - 6) / 2.0);
}

void DrawLogo(QPainter& p)
{
    // A rounded tile with sound bars, then the product's name.
    const QRectF tile(4, 6, 48, 48);
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0, QColor(0x3A, 0xB8, 0xF5));
    fill.setColorAt(1, QColor(0x12, 0x6F, 0xC8));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(tile, 11, 11);
    const qreal bars[] = {0.30, 0.55, 0.85, 0.55, 0.30};
    p.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
        const qreal h = 34 * bars[i];
        const qreal x = tile.left() + 9 + i * 6.6;
        p.drawRoundedRect(QRectF(x, tile.center().y() - h / 2, 3.6, h), 1.8, 1.8);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x2B, 0x3A, 0x4A));
    p.drawText(QRectF(58, 0, 115, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quenby"));
}

// The program's icon: the logo's tile with its sound bars, filling a square of `size`.
void DrawAppIcon(QPainter& p, int size)
{
    const qreal unit = size / 64.0;
    const QRectF tile(2 * unit, 2 * unit, 60 * unit, 60 * unit);
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0, QColor(0x3A, 0xB8, 0xF5));
    fill.setColorAt(1, QColor(0x12, 0x6F, 0xC8));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(tile, 14 * unit, 14 * unit);
    const qreal bars[] = {0.30, 0.55, 0.85, 0.55, 0.30};
    p.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
        const qreal h = 44 * unit * bars[i];
        const qreal x = tile.left() + 11 * unit + i * 8.4 * unit;
        p.drawRoundedRect(QRectF(x, tile.center().y() - h / 2, 4.6 * unit, h), 2.3 * unit, 2.3 * unit);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);

    const QColor none;
    const QColor hotBack(0, 0, 0, 0x22);
    const QColor downBack(0, 0, 0, 0x3A);
    const QColor red(0xE8, 0x11, 0x23);

    Save("close_normal.png", 21, 21, [&](QPainter& p) { DrawClose(p, 21, kGlyph, none); });
    Save("close_over.png", 21, 21, [&](QPainter& p) { DrawClose(p, 21, Qt::white, red); });
    Save("close_down.png", 21, 21, [&](QPainter& p) { DrawClose(p, 21, Qt::white, red.darker(125)); });
    Save("min_normal.png", 21, 21, [&](QPainter& p) { DrawMinimize(p, 21, kGlyph, none); });
    Save("min_over.png", 21, 21, [&](QPainter& p) { DrawMinimize(p, 21, kGlyphHot, hotBack); });
    Save("max_normal.png", 21, 21, [&](QPainter& p) { DrawMaximize(p, 21, kGlyph, none); });
    Save("max_over.png", 21, 21, [&](QPainter& p) { DrawMaximize(p, 21, kGlyphHot, hotBack); });
    Save("max_down.png", 21, 21, [&](QPainter& p) { DrawMaximize(p, 21, kGlyphHot, downBack); });
    Save("restore_normal.png", 21, 21, [&](QPainter& p) { DrawRestore(p, 21, kGlyph, none); });
    Save("restore_over.png", 21, 21, [&](QPainter& p) { DrawRestore(p, 21, kGlyphHot, hotBack); });
    Save("about.png", 28, 28, [&](QPainter& p) { DrawInfoDisc(p, 28, kBlue, false); });
    Save("settings.png", 28, 28, [&](QPainter& p) { DrawGearDisc(p, 28, kBlue); });
    Save("tip.png", 46, 46, [&](QPainter& p) { DrawInfoDisc(p, 46, kBlue, true); });

    Save("bluebutton.png", 120, 33, [&](QPainter& p) { DrawBlueButton(p, 120, 33, kBlueHot, kBlue); });
    Save("bluebutton2.png", 120, 33, [&](QPainter& p) { DrawBlueButton(p, 120, 33, kBlueHot.lighter(110), kBlueHot); });
    Save("bluebutton3.png", 120, 33, [&](QPainter& p) { DrawBlueButton(p, 120, 33, kBluePushed, kBluePushed.darker(110)); });
    Save("blueClose.png", 26, 26, [&](QPainter& p) { DrawClose(p, 26, kGlyph, none); });
    Save("blueClose2.png", 26, 26, [&](QPainter& p) { DrawClose(p, 26, Qt::white, kBlue); });
    Save("blueClose3.png", 26, 26, [&](QPainter& p) { DrawClose(p, 26, Qt::white, kBluePushed); });
    Save("applogo.png", 173, 60, [&](QPainter& p) { DrawLogo(p); });
    Save("app_icon.png", 256, 256, [&](QPainter& p) { DrawAppIcon(p, 256); });

    Save("list_header_bg.png", 8, 24, [&](QPainter& p) {
        QLinearGradient fill(0, 0, 0, 24);
        fill.setColorAt(0, QColor(0xFB, 0xFC, 0xFD));
        fill.setColorAt(1, QColor(0xE4, 0xE9, 0xEF));
        p.fillRect(QRect(0, 0, 8, 24), fill);
        p.fillRect(QRect(0, 23, 8, 1), QColor(0xC9, 0xD3, 0xDD));
    });
    Save("list_header_sep.png", 1, 24, [&](QPainter& p) {
        QLinearGradient line(0, 0, 0, 24);
        line.setColorAt(0, QColor(0xC0, 0xC8, 0xD2, 0));
        line.setColorAt(0.5, QColor(0xB0, 0xBA, 0xC6));
        line.setColorAt(1, QColor(0xC0, 0xC8, 0xD2, 0));
        p.fillRect(QRect(0, 3, 1, 18), line);
    });

    const QColor arrow(0x7A, 0x84, 0x90);
    const QColor arrowHot(0x3F, 0x48, 0x52);
    Save("v2scrollbar_arrowup_normal.png", 14, 14, [&](QPainter& p) { DrawArrow(p, 14, true, arrow, none); });
    Save("v2scrollbar_arrowup_highlight.png", 14, 14,
         [&](QPainter& p) { DrawArrow(p, 14, true, arrowHot, QColor(0xDD, 0xE2, 0xE8)); });
    Save("v2scrollbar_arrowup_down.png", 14, 14,
         [&](QPainter& p) { DrawArrow(p, 14, true, arrowHot, QColor(0xC6, 0xCD, 0xD6)); });
    Save("v2scrollbar_down_normal.png", 14, 14, [&](QPainter& p) { DrawArrow(p, 14, false, arrow, none); });
    Save("v2scrollbar_down_highlight.png", 14, 14,
         [&](QPainter& p) { DrawArrow(p, 14, false, arrowHot, QColor(0xDD, 0xE2, 0xE8)); });
    Save("v2scrollbar_down_down.png", 14, 14,
         [&](QPainter& p) { DrawArrow(p, 14, false, arrowHot, QColor(0xC6, 0xCD, 0xD6)); });
    Save("v2scrollbar_bar_normal.png", 14, 40, [&](QPainter& p) { DrawThumb(p, 14, 40, QColor(0xC3, 0xCA, 0xD3)); });
    Save("v2scrollbar_bar_highlight.png", 14, 40, [&](QPainter& p) { DrawThumb(p, 14, 40, QColor(0xA6, 0xB0, 0xBC)); });
    Save("v2scrollbar_bar_down.png", 14, 40, [&](QPainter& p) { DrawThumb(p, 14, 40, QColor(0x8A, 0x96, 0xA4)); });
    Save("v2scrollbar_bkg.png", 14, 40, [&](QPainter& p) { p.fillRect(QRect(0, 0, 14, 40), QColor(0xF1, 0xF3, 0xF6)); });

    return g_failures == 0 ? 0 : 1;
}
