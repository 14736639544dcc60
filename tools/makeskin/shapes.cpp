#include "shapes.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QStringList>
#include <QTransform>

#include <cmath>

namespace makeskin {

QImage NewOpaque(QSize size, QRgb fill) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QImage NewTransparent(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont SkinFont(int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Bitstream Vera Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("sans-serif")});
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    // Grey antialiasing only: colour fringes would tint the words.
    font.setStyleStrategy(
        static_cast<QFont::StyleStrategy>(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    font.setKerning(true);
    return font;
}

QString ResolvedSkinFamily() {
    return QFontInfo(SkinFont(12, false)).family();
}

QPainterPath BeamedNotesPath() {
    // Joining shapes turns curves into straight pieces; joining them at a
    // large scale keeps those pieces too short to see.
    constexpr double kWork = 64;
    const QTransform up = QTransform::fromScale(kWork, kWork);
    const auto head = [&up](QPointF centre) {
        QPainterPath ellipse;
        ellipse.addEllipse(QPointF(0, 0), 2.75, 1.95);
        QTransform tilt;
        tilt.translate(centre.x(), centre.y());
        tilt.rotate(-22);
        return (tilt * up).map(ellipse);
    };
    QPainterPath stems;
    stems.addRect(QRectF(5.55, 4.4, 1.45, 8.2));
    stems.addRect(QRectF(12.85, 2.9, 1.45, 8.2));
    const QPainterPath beam = Polygon({{5.55, 3.7}, {14.3, 1.7}, {14.3, 4.5}, {5.55, 6.5}});

    QPainterPath notes = head(QPointF(4.25, 12.7));
    notes = notes.united(head(QPointF(11.55, 11.2)));
    notes = notes.united(up.map(stems));
    notes = notes.united(up.map(beam));
    return QTransform::fromScale(1 / kWork, 1 / kWork).map(notes.simplified());
}

void DrawBeamedNotes(QPainter& painter, QPointF centre, double height, QRgb fill, QRgb halo,
                     double haloWidth) {
    const QPainterPath design = BeamedNotesPath();
    const QRectF extent = design.boundingRect();
    const double scale = height / extent.height();
    QTransform place;
    place.translate(centre.x(), centre.y());
    place.scale(scale, scale);
    place.translate(-extent.center().x(), -extent.center().y());
    const QPainterPath notes = place.map(design);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (haloWidth > 0) {
        painter.strokePath(notes, QPen(QColor::fromRgba(halo), 2 * haloWidth, Qt::SolidLine,
                                       Qt::RoundCap, Qt::RoundJoin));
    }
    painter.fillPath(notes, QColor::fromRgba(fill));
    painter.restore();
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first) {
            path.moveTo(point);
            first = false;
        } else {
            path.lineTo(point);
        }
    }
    path.closeSubpath();
    return path;
}

void DrawRimmed(QPainter& painter, const QPainterPath& shape, QRgb fill, QRgb rim) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor::fromRgb(rim), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(QColor::fromRgb(fill));
    painter.drawPath(shape);
    painter.restore();
}

void DrawTextCentred(QPainter& painter, const QFont& font, double x, double centreY,
                     const QString& text, QRgb ink) {
    const QFontMetricsF metrics(font);
    const double baseline = std::round(centreY + metrics.capHeight() / 2);
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(ink));
    painter.drawText(QPointF(x, baseline), text);
    painter.restore();
}

}  // namespace makeskin
