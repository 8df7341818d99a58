#include "Controls.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "organ/Constants.h"

namespace tessaline::artwork {
namespace {

// Partly covered edge pixels are laid over this dark brown, so the hard 1-bit
// outline reads as a shadowed rim rather than a jagged edge.
constexpr QRgb kRimShadow = 0xFF28190F;

QImage Canvas(int width, int height) {
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    return canvas;
}

// The mask of a painted picture: white where it is at least half covered.
QImage MaskFromCoverage(const QImage& painted) {
    QImage mask(painted.size(), QImage::Format_Mono);
    mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mask.fill(0);  // also clears the padding bits at the ends of the lines
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x) mask.setPixel(x, y, qAlpha(painted.pixel(x, y)) >= 128 ? 1 : 0);
    return mask;
}

// The picture through `mask`: painted pixels laid over the rim shadow where
// the mask is white, black where it is black.
QImage Flatten(const QImage& painted, const QImage& mask) {
    QImage picture(painted.size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    QImage under(painted.size(), QImage::Format_ARGB32_Premultiplied);
    under.fill(QColor::fromRgba(kRimShadow));
    {
        QPainter p(&under);
        p.drawImage(0, 0, painted);
    }
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x)
            if (mask.pixelIndex(x, y) == 1) picture.setPixel(x, y, under.pixel(x, y) | 0xFF000000U);
    return picture;
}

QImage UniteMasks(const QImage& a, const QImage& b) {
    QImage mask = a;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (b.pixelIndex(x, y) == 1) mask.setPixel(x, y, 1);
    return mask;
}

void Disc(QPainter& p, QPointF centre, double radius, const QBrush& brush) {
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawEllipse(centre, radius, radius);
}

void Ring(QPainter& p, QPointF centre, double radius, QColor colour, double width) {
    p.setPen(QPen(colour, width));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
}

// A surface lit from the upper left: lighter towards the top-left edge.
QLinearGradient LitAcross(QPointF centre, double radius, QColor light, QColor dark) {
    QLinearGradient g(centre - QPointF(radius, radius) * 0.7, centre + QPointF(radius, radius) * 0.7);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    return g;
}

// A domed face: a highlight up and to the left, falling off to the edge.
QRadialGradient Dome(QPointF centre, double radius, QColor highlight, QColor body, QColor edge) {
    QRadialGradient g(centre, radius, centre - QPointF(radius, radius) * 0.38);
    g.setColorAt(0, highlight);
    g.setColorAt(0.55, body);
    g.setColorAt(1, edge);
    return g;
}

// The side of a round knob or shank running from `back` to `front` with
// `radius`: the hull of the two end circles, shaded across its axis.
void Cylinder(QPainter& p, QPointF back, QPointF front, double radius, QColor light, QColor dark) {
    QPointF axis = front - back;
    double length = std::hypot(axis.x(), axis.y());
    QPointF across = length > 0 ? QPointF(-axis.y(), axis.x()) / length * radius : QPointF(radius, 0);
    QPainterPath hull;
    hull.setFillRule(Qt::WindingFill);
    hull.addEllipse(back, radius, radius);
    hull.addEllipse(front, radius, radius);
    hull.addPolygon(QPolygonF({back + across, front + across, front - across, back - across}));
    hull.closeSubpath();
    QLinearGradient g(back - across, back + across);
    g.setColorAt(0, light);
    g.setColorAt(0.45, dark.lighter(135));
    g.setColorAt(1, dark);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(hull);
}

struct DrawstopLook {
    QColor woodLight, woodDark;    // rosette and knob head
    QColor faceLight, face, faceEdge;
    QColor inlay;                  // a thin line round the face, or invalid
};

DrawstopLook LookOf(int set) {
    if (set == 0)
        return {QColor(150, 98, 60), QColor(62, 36, 20), QColor(255, 252, 240), QColor(242, 232, 206),
                QColor(206, 190, 154), QColor()};
    return {QColor(92, 70, 58), QColor(22, 16, 13), QColor(255, 255, 255), QColor(236, 239, 243),
            QColor(190, 198, 210), QColor(212, 172, 74)};
}

// The turned boss the stop passes through; both states share it, so one mask
// serves both pictures.
void Rosette(QPainter& p, QPointF c, const DrawstopLook& look) {
    Disc(p, c, 32.0, LitAcross(c, 32.0, look.woodLight, look.woodDark.darker(130)));
    Disc(p, c, 30.0, LitAcross(c, 30.0, look.woodDark, look.woodLight));
    Ring(p, c, 30.7, QColor(0, 0, 0, 70), 0.8);
}

// `light` below 1 dims the face, as a knob pushed home sits in the jamb's shade.
void KnobHead(QPainter& p, QPointF c, double radius, const DrawstopLook& look, double light = 1.0) {
    auto dim = [light](QColor colour) {
        return QColor::fromRgbF(colour.redF() * light, colour.greenF() * light, colour.blueF() * light);
    };
    Disc(p, c, radius, LitAcross(c, radius, look.woodLight.lighter(110), look.woodDark));
    Ring(p, c, radius - 1.6, QColor(0, 0, 0, 60), 0.8);
    double face = radius - 3.2;
    if (look.inlay.isValid()) {
        Disc(p, c, face + 1.2, LitAcross(c, face + 1.2, look.inlay.lighter(130), look.inlay.darker(140)));
    }
    Disc(p, c, face, Dome(c, face, dim(look.faceLight), dim(look.face), dim(look.faceEdge)));
    // A fine shadow where the face sits in the head, heavier at the lower right.
    QLinearGradient edge(c - QPointF(face, face), c + QPointF(face, face));
    edge.setColorAt(0, QColor(255, 255, 255, 90));
    edge.setColorAt(1, QColor(0, 0, 0, 110));
    p.setPen(QPen(QBrush(edge), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, face - 0.5, face - 0.5);
}

// Turning lines round a cylinder's side, seen where the head does not hide them.
void TurningLines(QPainter& p, QPointF back, QPointF front, double radius, int lines) {
    for (int i = 1; i <= lines; ++i) {
        QPointF at = back + (front - back) * (double(i) / (lines + 1));
        Ring(p, at, radius - 0.3, QColor(0, 0, 0, 80), 0.7);
    }
}

QImage PaintDrawstop(const DrawstopLook& look, bool engaged) {
    QImage canvas = Canvas(kDrawstopPictureSize, kDrawstopPictureSize);
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(kDrawstopPictureSize / 2.0, kDrawstopPictureSize / 2.0);
    Rosette(p, c, look);
    if (engaged) {
        // Drawn out towards the player: the head is larger and up to the left,
        // and the turned side of the knob shows at the lower right.
        const QPointF front = c - QPointF(2.6, 2.6), back = c + QPointF(2.4, 2.4);
        Disc(p, back + QPointF(0.5, 0.5), 28.8, QColor(10, 6, 4));
        Cylinder(p, back, front, 28.5, look.woodLight.lighter(135), look.woodDark);
        TurningLines(p, back, front, 28.5, 2);
        KnobHead(p, front, 28.5, look);
    } else {
        // Home against the boss: the dark gap of the hole round a flush head.
        Disc(p, c + QPointF(0.8, 0.8), 28.6, QColor(10, 6, 4));
        Cylinder(p, c + QPointF(0.6, 0.6), c - QPointF(0.6, 0.6), 27.0, look.woodLight, look.woodDark);
        KnobHead(p, c - QPointF(0.6, 0.6), 27.0, look, 0.94);
    }
    return canvas;
}

}  // namespace

DrawstopSet MakeDrawstopSet(int set) {
    DrawstopLook look = LookOf(set);
    QImage off = PaintDrawstop(look, false);
    QImage on = PaintDrawstop(look, true);
    QImage mask = UniteMasks(MaskFromCoverage(off), MaskFromCoverage(on));
    return {Flatten(off, mask), Flatten(on, mask), mask};
}

MaskedPicture MakeButton(int set) {
    QImage canvas = Canvas(kButtonPictureWidth, kButtonPictureHeight);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c(kButtonPictureWidth / 2.0, kButtonPictureHeight / 2.0);
        bool ivory = set == 0;
        QColor collarLight = ivory ? QColor(250, 224, 140) : QColor(236, 238, 240);
        QColor collarDark = ivory ? QColor(120, 84, 26) : QColor(70, 74, 80);
        Disc(p, c, 14.3, LitAcross(c, 14.3, collarLight, collarDark));
        Disc(p, c, 12.6, LitAcross(c, 12.6, collarDark, collarLight));
        Disc(p, c, 11.6, QColor(16, 10, 6));
        QPointF dome = c - QPointF(0.5, 0.5);
        if (ivory) {
            Disc(p, dome, 10.6, Dome(dome, 10.6, QColor(255, 253, 244), QColor(240, 229, 200), QColor(190, 172, 132)));
        } else {
            Disc(p, dome, 10.6, Dome(dome, 10.6, QColor(120, 120, 124), QColor(34, 32, 32), QColor(8, 8, 8)));
            QRadialGradient gleam(dome - QPointF(4, 4), 4.0);
            gleam.setColorAt(0, QColor(255, 255, 255, 150));
            gleam.setColorAt(1, QColor(255, 255, 255, 0));
            Disc(p, dome - QPointF(4, 4), 4.0, gleam);
        }
    }
    QImage mask = MaskFromCoverage(canvas);
    return {Flatten(canvas, mask), mask};
}

MaskedPicture MakeLabelPlate() {
    QImage canvas = Canvas(kLabelPlateWidth, kLabelPlateHeight);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::Antialiasing);
        QRectF plate(0.5, 0.5, kLabelPlateWidth - 1.0, kLabelPlateHeight - 1.0);
        QLinearGradient body(0, 0, 0, kLabelPlateHeight);
        body.setColorAt(0, QColor(252, 246, 228));
        body.setColorAt(0.5, QColor(240, 229, 200));
        body.setColorAt(1, QColor(214, 198, 160));
        p.setPen(QPen(QColor(92, 70, 40), 1.0));
        p.setBrush(body);
        p.drawRoundedRect(plate, 3.5, 3.5);
        // Bevel: light along the top and left, shade along the bottom and right.
        p.setPen(QPen(QColor(255, 255, 250, 200), 1.0));
        p.drawLine(QPointF(3.5, 1.5), QPointF(kLabelPlateWidth - 4.0, 1.5));
        p.setPen(QPen(QColor(120, 96, 60, 160), 1.0));
        p.drawLine(QPointF(3.5, kLabelPlateHeight - 2.0), QPointF(kLabelPlateWidth - 4.0, kLabelPlateHeight - 2.0));
        // The engraved border line, cut dark with a light lower lip.
        QRectF groove = plate.adjusted(2.5, 2.5, -2.5, -2.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 245, 170), 0.8));
        p.drawRoundedRect(groove.translated(0.6, 0.6), 2.0, 2.0);
        p.setPen(QPen(QColor(96, 72, 40, 220), 0.8));
        p.drawRoundedRect(groove, 2.0, 2.0);
    }
    QImage mask = MaskFromCoverage(canvas);
    return {Flatten(canvas, mask), mask};
}

}  // namespace tessaline::artwork
