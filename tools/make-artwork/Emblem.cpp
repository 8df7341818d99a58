#include "Emblem.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <vector>

namespace tessaline::artwork {
namespace {

// Polished tin: bright a third of the way across, dark at both edges.
QLinearGradient Tin(double left, double width) {
    QLinearGradient g(left, 0, left + width, 0);
    g.setColorAt(0.0, QColor(88, 92, 98));
    g.setColorAt(0.3, QColor(244, 246, 248));
    g.setColorAt(0.55, QColor(178, 184, 190));
    g.setColorAt(1.0, QColor(64, 66, 72));
    return g;
}

// One flue pipe standing on its toe at `toeY`: open top, cylindrical body,
// mouth with its upper lip, and a conical foot.
void Pipe(QPainter& p, double centre, double top, double toeY, double width) {
    double left = centre - width / 2;
    double mouthY = toeY - std::max(width * 2.2, (toeY - top) * 0.28);
    p.setPen(Qt::NoPen);
    p.setBrush(Tin(left, width));
    p.drawRect(QRectF(left, top, width, mouthY - top));
    QPolygonF foot({QPointF(left, mouthY), QPointF(left + width, mouthY), QPointF(centre + width * 0.13, toeY),
                    QPointF(centre - width * 0.13, toeY)});
    p.drawPolygon(foot);
    // The open top: the dark inside seen over the rim.
    p.setBrush(QColor(30, 30, 34));
    p.drawEllipse(QRectF(left + 0.5, top - width * 0.12, width - 1.0, width * 0.24));
    // The mouth: a dark slot under an arched, flattened upper lip.
    double mouthWidth = width * 0.62;
    double mouthHeight = std::max(1.5, width * 0.28);
    QPainterPath lip;
    lip.moveTo(centre - mouthWidth / 2, mouthY - mouthHeight);
    lip.quadTo(centre, mouthY - mouthHeight - width * 0.75, centre + mouthWidth / 2, mouthY - mouthHeight);
    lip.closeSubpath();
    p.setBrush(QColor(150, 156, 164));
    p.drawPath(lip);
    p.setBrush(QColor(18, 18, 22));
    p.drawRect(QRectF(centre - mouthWidth / 2, mouthY - mouthHeight, mouthWidth, mouthHeight));
}

// A flat of `count` pipes between `left` and `right`: `peak` < 0 makes the
// tallest pipe stand at the left, > 0 at the right, 0 in the middle.
void Flat(QPainter& p, double left, double right, int count, double tallest, double shortest, double toeY,
          int peak) {
    double pitch = (right - left) / count;
    for (int i = 0; i < count; ++i) {
        double t;
        if (peak < 0) t = double(i) / (count - 1);
        else if (peak > 0) t = double(count - 1 - i) / (count - 1);
        else t = std::fabs(i - (count - 1) / 2.0) / ((count - 1) / 2.0);
        double length = tallest + (shortest - tallest) * t;
        double width = pitch * (0.84 - 0.12 * t);
        Pipe(p, left + pitch * (i + 0.5), toeY - length, toeY, width);
    }
}

void WoodRail(QPainter& p, QRectF rail, QColor wood) {
    QLinearGradient g(0, rail.top(), 0, rail.bottom());
    g.setColorAt(0, wood.lighter(150));
    g.setColorAt(0.35, wood);
    g.setColorAt(1, wood.darker(200));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRect(rail);
}

void GoldText(QPainter& p, QRectF box, const QString& text, QFont font) {
    QPainterPath path;
    QFontMetricsF metrics(font);
    double width = metrics.horizontalAdvance(text);
    path.addText(box.center().x() - width / 2, box.center().y() + metrics.ascent() / 2 - metrics.descent() / 2,
                 font, text);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawPath(path.translated(2, 2));
    QLinearGradient gold(0, box.top(), 0, box.bottom());
    gold.setColorAt(0, QColor(255, 240, 170));
    gold.setColorAt(0.5, QColor(222, 178, 72));
    gold.setColorAt(1, QColor(150, 104, 30));
    p.setBrush(gold);
    p.setPen(QPen(QColor(90, 60, 16), 0.8));
    p.drawPath(path);
}

}  // namespace

QImage MakeSplash(const QImage& background) {
    QImage splash(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
    QPainter p(&splash);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int y = 0; y < kSplashHeight; y += background.height())
        for (int x = 0; x < kSplashWidth; x += background.width()) p.drawImage(x, y, background);
    // Shade the case towards its edges so the façade stands forward.
    QRadialGradient vignette(QPointF(kSplashWidth / 2.0, kSplashHeight * 0.45), kSplashWidth * 0.62);
    vignette.setColorAt(0, QColor(0, 0, 0, 0));
    vignette.setColorAt(1, QColor(0, 0, 0, 170));
    p.fillRect(splash.rect(), vignette);

    // The dark recess behind the pipes.
    const double toeY = 196;
    p.fillRect(QRectF(36, 22, kSplashWidth - 72, toeY - 22), QColor(20, 12, 8));
    Flat(p, 40, 130, 7, 150, 96, toeY, -1);
    Flat(p, 140, 260, 7, 168, 118, toeY, 0);
    Flat(p, 270, 360, 7, 150, 96, toeY, 1);
    // Case: towers' posts, the impost the pipes stand on, and the cornice.
    QColor wood(110, 66, 36);
    for (double x : {28.0, 130.0, 260.0, 360.0}) WoodRail(p, QRectF(x, 16, x == 28.0 || x == 360.0 ? 12 : 10, 184), wood);
    WoodRail(p, QRectF(24, toeY, kSplashWidth - 48, 12), wood);
    WoodRail(p, QRectF(20, 10, kSplashWidth - 40, 9), wood);

    QFont title("DejaVu Serif");
    title.setPixelSize(46);
    title.setBold(true);
    GoldText(p, QRectF(0, 212, kSplashWidth, 52), QStringLiteral("Tessaline"), title);
    QFont subtitle("DejaVu Serif");
    subtitle.setPixelSize(14);
    subtitle.setItalic(true);
    p.setFont(subtitle);
    p.setPen(QColor(236, 222, 190));
    p.drawText(QRectF(0, 266, kSplashWidth, 22), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("virtual pipe organ"));
    return splash;
}

QImage MakeIcon(int size) {
    // Drawn once at 256 pixels and scaled, so every size shows the same design.
    constexpr int kDesign = 256;
    QImage icon(kDesign, kDesign, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        QRectF panel(8, 8, kDesign - 16, kDesign - 16);
        QLinearGradient wood(0, panel.top(), 0, panel.bottom());
        wood.setColorAt(0, QColor(122, 40, 30));
        wood.setColorAt(1, QColor(52, 14, 10));
        p.setPen(QPen(QColor(212, 170, 70), 8));
        p.setBrush(wood);
        p.drawRoundedRect(panel, 40, 40);
        const double toeY = 206;
        Flat(p, 40, 216, 5, 168, 104, toeY, 0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(212, 170, 70));
        p.drawRect(QRectF(36, toeY, 184, 12));
    }
    if (size == kDesign) return icon;
    return icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace tessaline::artwork
