#include "pictures.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>

#include "palette.h"
#include "res/resource.h"
#include "shapes.h"

namespace makeskin {
namespace {

constexpr QSize kIconSize(16, 16);

QColor Rgba(QRgb rgb, int alpha) {
    QColor colour = QColor::fromRgb(rgb);
    colour.setAlpha(alpha);
    return colour;
}

void DrawStaffWithNotes(QPainter& painter) {
    const QColor line = Rgba(kInk, 54);
    for (int i = 0; i < 5; ++i) {
        painter.fillRect(QRect(318, 20 + 8 * i, 172, 1), line);
    }
    const QRgb notes = qRgba(255, 255, 255, 235);
    DrawBeamedNotes(painter, QPointF(352, 38), 31, notes, 0, 0);
    DrawBeamedNotes(painter, QPointF(458, 33), 27, notes, 0, 0);

    // A lone quarter note between the two pairs.
    QPainterPath quarter;
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 4.6, 3.3);
    quarter = QTransform().translate(402.5, 48).rotate(-22).map(head);
    quarter = quarter.united([] {
        QPainterPath stem;
        stem.addRect(QRectF(405.6, 21, 2.2, 26));
        return stem;
    }());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(quarter, QColor::fromRgba(notes));
    painter.restore();
}

QImage DrawBackground() {
    QImage image = NewOpaque(kWindowSize, kField);
    QPainter painter(&image);
    const int width = kWindowSize.width();

    QLinearGradient band(0, 0, 0, kTitleBandHeight);
    band.setColorAt(0, QColor::fromRgb(kTitleTop));
    band.setColorAt(1, QColor::fromRgb(kTitleBottom));
    painter.fillRect(QRect(0, 0, width, kTitleBandHeight), band);
    painter.fillRect(QRect(0, kTitleBandHeight - 1, width, 1), QColor::fromRgb(kTitleEdge));

    const QFont nameFont = SkinFont(34, true);
    const QFont versionFont = SkinFont(15, false);
    const double baseline = 50;
    const double nameLeft = 26;
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(nameFont);
    painter.setPen(QColor::fromRgb(kInk));
    const QString name = QStringLiteral("Sonabel");
    painter.drawText(QPointF(nameLeft, baseline), name);
    const double nameRight = nameLeft + QFontMetricsF(nameFont).horizontalAdvance(name);
    painter.setFont(versionFont);
    painter.setPen(QColor::fromRgb(kVersionInk));
    painter.drawText(QPointF(std::round(nameRight + 8), baseline), QStringLiteral("1.0"));

    DrawStaffWithNotes(painter);

    const int stripHeight = kWindowSize.height() - kStripTop;
    painter.fillRect(QRect(0, kStripTop, width, stripHeight), QColor::fromRgb(kStrip));
    painter.fillRect(QRect(0, kStripTop, width, 1), QColor::fromRgb(kStripEdge));
    return image;
}

// One size for every word button, the largest at which "Repeat One" in bold
// still fits its 93 pixels.
constexpr int kWordPixels = 12;

QImage DrawWordButton(QSize size, const QString& words, QRgb ink, bool bold) {
    QImage image = NewOpaque(size, kField);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double middle = size.height() / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(ink));
    painter.drawEllipse(QPointF(6, middle), 2.5, 2.5);
    DrawTextCentred(painter, SkinFont(kWordPixels, bold), 12, middle, words, ink);
    return image;
}

constexpr QSize kAddSize(47, 20);
constexpr QSize kDeleteSize(59, 20);
constexpr QSize kRepeatSize(93, 20);

QImage DrawAdd() {
    return DrawWordButton(kAddSize, QStringLiteral("Add"), kInk, false);
}
QImage DrawAddHot() {
    return DrawWordButton(kAddSize, QStringLiteral("Add"), kInkLit, false);
}
QImage DrawDelete() {
    return DrawWordButton(kDeleteSize, QStringLiteral("Delete"), kInk, false);
}
QImage DrawDeleteHot() {
    return DrawWordButton(kDeleteSize, QStringLiteral("Delete"), kInkLit, false);
}
QImage DrawRepeatOneOff() {
    return DrawWordButton(kRepeatSize, QStringLiteral("Repeat One"), kInk, false);
}
QImage DrawRepeatOneOn() {
    return DrawWordButton(kRepeatSize, QStringLiteral("Repeat One"), kInkLit, true);
}
QImage DrawRepeatAllOff() {
    return DrawWordButton(kRepeatSize, QStringLiteral("Repeat All"), kInk, false);
}
QImage DrawRepeatAllOn() {
    return DrawWordButton(kRepeatSize, QStringLiteral("Repeat All"), kInkLit, true);
}

QImage DrawExitWord(QSize size, QRgb ink) {
    QImage image = NewOpaque(size, kStrip);
    QPainter painter(&image);
    DrawTextCentred(painter, SkinFont(11, true), 4, size.height() / 2.0, QStringLiteral("Exit"),
                    ink);
    return image;
}

QImage DrawExit() {
    return DrawExitWord(QSize(36, 13), kStripInk);
}
QImage DrawExitHot() {
    return DrawExitWord(QSize(37, 13), kStripInkHot);
}

QImage DrawHide() {
    QImage image = NewOpaque(QSize(14, 12), kStrip);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(Polygon({{2, 3}, {12, 3}, {7, 9}}), QColor::fromRgb(kStripInk));
    return image;
}

// A light disc with the question mark cut out of it: bolder at this size
// than a ring and a glyph.
QImage DrawHelp() {
    QImage image = NewOpaque(QSize(15, 15), kStrip);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(kStripInk));
    painter.drawEllipse(QPointF(7.5, 7.5), 6.4, 6.4);
    const QFont font = SkinFont(11, true);
    const QString mark = QStringLiteral("?");
    const double left = 7.5 - QFontMetricsF(font).horizontalAdvance(mark) / 2;
    DrawTextCentred(painter, font, left, 7.5, mark, kStrip);
    return image;
}

// The symbols are laid out in window coordinates around one axis and each
// button's picture is the window cut at its own rectangle.
QImage DrawTransport(QPoint pos, QSize size, const QPainterPath& symbol, QRgb ink) {
    QImage image = NewOpaque(size, kField);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(-pos);
    painter.fillPath(symbol, QColor::fromRgb(ink));
    return image;
}

constexpr QSize kTransportSize(19, 21);

// Bar and a triangle pointing at it; `towardsStart` points it left.
QPainterPath BarAndTriangle(double centreY, bool towardsStart) {
    const double c = kTransportAxisX;
    QPainterPath shape;
    if (towardsStart) {
        shape.addRect(QRectF(c - 5.5, centreY - 5.5, 3, 11));
        shape.addPath(
            Polygon({{c - 2, centreY}, {c + 5.5, centreY - 5.5}, {c + 5.5, centreY + 5.5}}));
    } else {
        shape.addRect(QRectF(c + 2.5, centreY - 5.5, 3, 11));
        shape.addPath(
            Polygon({{c + 2, centreY}, {c - 5.5, centreY - 5.5}, {c - 5.5, centreY + 5.5}}));
    }
    return shape;
}

QImage DrawFirstGlyph(QRgb ink) {
    const double centreY = kFirstPos.y() + kTransportSize.height() / 2.0;
    return DrawTransport(kFirstPos, kTransportSize, BarAndTriangle(centreY, true), ink);
}

QImage DrawFinalGlyph(QRgb ink) {
    const double centreY = kFinalPos.y() + kTransportSize.height() / 2.0;
    return DrawTransport(kFinalPos, kTransportSize, BarAndTriangle(centreY, false), ink);
}

QImage DrawStopGlyph(QRgb ink) {
    const double centreY = kStopPos.y() + kTransportSize.height() / 2.0;
    QPainterPath square;
    square.addRect(QRectF(kTransportAxisX - 4.5, centreY - 4.5, 9, 9));
    return DrawTransport(kStopPos, kTransportSize, square, ink);
}

// The play triangle in its own picture's coordinates. The hover picture is
// larger and anchored at the same top-left corner, so the triangle is the
// same one scaled about that corner, its upright edge kept on a pixel edge.
QImage DrawPlayGlyph(QSize size, QRgb ink) {
    const double sx = size.width() / 16.0;
    const double sy = size.height() / 18.0;
    const double base = std::round(3 * sx);
    const double tip = base + 9.5 * sx;
    const double middle = 9 * sy;
    const double half = 5.5 * sy;
    const QPainterPath triangle =
        Polygon({{base, middle - half}, {tip, middle}, {base, middle + half}});
    return DrawTransport(QPoint(0, 0), size, triangle, ink);
}

QImage DrawFirst() {
    return DrawFirstGlyph(kInk);
}
QImage DrawFirstHot() {
    return DrawFirstGlyph(kInkLit);
}
QImage DrawPlay() {
    return DrawPlayGlyph(QSize(16, 18), kInk);
}
QImage DrawPlayHot() {
    return DrawPlayGlyph(QSize(19, 21), kInkLit);
}
QImage DrawFinal() {
    return DrawFinalGlyph(kInk);
}
QImage DrawFinalHot() {
    return DrawFinalGlyph(kInkLit);
}
QImage DrawStop() {
    return DrawStopGlyph(kInk);
}
QImage DrawStopHot() {
    return DrawStopGlyph(kInkLit);
}

QImage DrawAppIcon() {
    QImage image = NewTransparent(QSize(48, 48));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient face(0, 3, 0, 45);
    face.setColorAt(0, QColor::fromRgb(kIconTop));
    face.setColorAt(1, QColor::fromRgb(kIconBottom));
    painter.setPen(QPen(QColor::fromRgb(kIconRim), 1.0));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(2.5, 2.5, 43, 43), 9, 9);
    DrawBeamedNotes(painter, QPointF(24, 24.5), 28, kInk, 0, 0);
    return image;
}

// Tray frames: the note centred and shrinking frame by frame, so that
// cycling them makes it pulse. The light halo keeps it legible on dark panels.
QImage DrawTrayNote(double height) {
    QImage image = NewTransparent(kIconSize);
    QPainter painter(&image);
    DrawBeamedNotes(painter, QPointF(8, 8), height, kNoteBlue, kNoteHalo, 1.0);
    return image;
}

QImage DrawAnim1() {
    return DrawTrayNote(14);
}
QImage DrawAnim2() {
    return DrawTrayNote(12);
}
QImage DrawAnim3() {
    return DrawTrayNote(10);
}
QImage DrawAnim4() {
    return DrawTrayNote(8);
}

QImage DrawStill() {
    QImage image = NewTransparent(kIconSize);
    QPainter painter(&image);
    DrawBeamedNotes(painter, QPointF(8, 8), 11, kNoteBlue, kNoteHalo, 1.0);

    const QPointF centre(7.5, 7.5);
    const double radius = 6.4;
    QPainterPath ring;
    ring.addEllipse(centre, radius, radius);
    const double reach = radius * std::sqrt(0.5);
    QPainterPath bar;
    bar.moveTo(centre + QPointF(-reach, -reach));
    bar.lineTo(centre + QPointF(reach, reach));
    QPainterPathStroker stroker;
    stroker.setWidth(1.7);
    stroker.setCapStyle(Qt::FlatCap);
    const QPainterPath sign = stroker.createStroke(ring).united(stroker.createStroke(bar));

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.strokePath(sign,
                       QPen(Rgba(kNoteHalo, 200), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(sign, QColor::fromRgb(kProhibitRed));
    return image;
}

QImage DrawCheck() {
    QImage image = NewTransparent(kIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath tick;
    tick.moveTo(3.5, 8.5);
    tick.lineTo(6.5, 11.5);
    tick.lineTo(12.5, 4.5);
    // A faint light rim keeps the mark visible on a dark menu face.
    painter.strokePath(tick,
                       QPen(Rgba(kNoteHalo, 150), 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.strokePath(
        tick, QPen(QColor::fromRgb(kCheckInk), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    return image;
}

// The menu's transport icons are drawn pointing at the start; those that
// point at the end are their mirror images.
QPainterPath Mirrored(const QPainterPath& path) {
    return QTransform(-1, 0, 0, 1, 16, 0).map(path);
}

QImage DrawMenuIcon(const QPainterPath& shape, QRgb fill, QRgb rim) {
    QImage image = NewTransparent(kIconSize);
    QPainter painter(&image);
    DrawRimmed(painter, shape, fill, rim);
    return image;
}

QPainterPath BarAndLeftTriangle() {
    QPainterPath shape;
    shape.addRect(QRectF(2.5, 3.5, 3, 9));
    shape.addPath(Polygon({{7, 8}, {13.5, 3.5}, {13.5, 12.5}}));
    return shape;
}

QPainterPath TwoLeftTriangles() {
    QPainterPath shape = Polygon({{1.5, 8}, {8.5, 3.5}, {8.5, 12.5}});
    shape.addPath(Polygon({{7.5, 8}, {14.5, 3.5}, {14.5, 12.5}}));
    return shape;
}

QImage DrawMenuFirst() {
    return DrawMenuIcon(BarAndLeftTriangle(), kMenuBlue, kMenuBlueRim);
}
QImage DrawMenuLast() {
    return DrawMenuIcon(TwoLeftTriangles(), kMenuBlue, kMenuBlueRim);
}
QImage DrawMenuNext() {
    return DrawMenuIcon(Mirrored(TwoLeftTriangles()), kMenuBlue, kMenuBlueRim);
}
QImage DrawMenuFinal() {
    return DrawMenuIcon(Mirrored(BarAndLeftTriangle()), kMenuBlue, kMenuBlueRim);
}
QImage DrawMenuPlay() {
    return DrawMenuIcon(Polygon({{4.5, 2.5}, {13.5, 8}, {4.5, 13.5}}), kMenuGreen, kMenuGreenRim);
}
QImage DrawMenuStop() {
    QPainterPath square;
    square.addRoundedRect(QRectF(3.5, 3.5, 9, 9), 1.5, 1.5);
    return DrawMenuIcon(square, kMenuRed, kMenuRedRim);
}

// A gear with a hole through it, so its one-colour silhouette stays a gear.
QImage DrawMenuOption() {
    constexpr int kTeeth = 8;
    constexpr double kPi = 3.14159265358979323846;
    const QPointF centre(8, 8);
    QPainterPath gear;
    for (int i = 0; i < kTeeth; ++i) {
        const double mid = 2 * kPi * i / kTeeth;
        const std::array<std::pair<double, double>, 4> outline = {
            {{mid - 0.30, 5.0}, {mid - 0.17, 7.3}, {mid + 0.17, 7.3}, {mid + 0.30, 5.0}}};
        for (const auto& [angle, radius] : outline) {
            const QPointF point =
                centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
            if (gear.elementCount() == 0) {
                gear.moveTo(point);
            } else {
                gear.lineTo(point);
            }
        }
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 2.2, 2.2);
    return DrawMenuIcon(gear.subtracted(hole), kMenuSteel, kMenuSteelRim);
}

// A power symbol: an open ring and a stroke through its gap.
QImage DrawMenuExit() {
    const QPointF centre(8, 8.7);
    const double radius = 4.9;
    QPainterPath ring;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    // From one side of the gap at the top, clockwise round to the other.
    ring.arcMoveTo(box, 55);
    ring.arcTo(box, 55, -290);
    QPainterPath stroke;
    stroke.moveTo(8, 2.0);
    stroke.lineTo(8, 8.0);
    QPainterPathStroker stroker;
    stroker.setWidth(2.4);
    stroker.setCapStyle(Qt::RoundCap);
    const QPainterPath symbol =
        stroker.createStroke(ring).united(stroker.createStroke(stroke)).simplified();
    return DrawMenuIcon(symbol, kMenuRed, kMenuRedRim);
}

// A pointing hand, pixel by pixel: '#' outline, '.' fill, ' ' transparent.
// The finger tip is at (5, 0), the cursor's hot spot.
QImage DrawHandCursor() {
    static const char* const kRows[] = {
        "    ###            ",  //
        "   #...#           ",  //
        "   #...#           ",  //
        "   #...#           ",  //
        "   #...#           ",  //
        "   #...#           ",  //
        "   #...####        ",  //
        "   #...#...####    ",  //
        "   #...#...#...### ",  //
        "   #...#...#...#..#",  //
        " ###...#...#...#..#",  //
        "#..#...#...#...#..#",  //
        "#.................#",  //
        " #................#",  //
        "  #...............#",  //
        "   #..............#",  //
        "    #............# ",  //
        "    #............# ",  //
        "     #..........#  ",  //
        "     #..........#  ",  //
        "     ############  ",  //
    };
    QImage image(QSize(32, 32), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    int y = 0;
    for (const char* row : kRows) {
        for (int x = 0; row[x] != '\0'; ++x) {
            if (row[x] == '#') {
                image.setPixel(x, y, qRgba(0, 0, 0, 255));
            } else if (row[x] == '.') {
                image.setPixel(x, y, qRgba(255, 255, 255, 255));
            }
        }
        ++y;
    }
    return image;
}

// A 16-colour picture: the name is drawn smooth, then every pixel of the strip
// is snapped to one of eight greys between the strip and the letters.
QImage DrawBand() {
    QImage image = NewOpaque(QSize(38, 219), kBandLight);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, kBandStripWidth, image.height()), QColor::fromRgb(kBandStrip));

    const QFont font = SkinFont(12, true);
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(kBandLight));
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Turned a quarter to the left, the letters stand on a baseline that runs
    // up the strip, with their tops towards the left edge.
    const double baseline = std::round(kBandStripWidth / 2.0 + metrics.capHeight() / 2);
    painter.translate(baseline, 210);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), QStringLiteral("Sonabel"));
    painter.end();

    constexpr int kLevels = 8;
    const int dark = qGray(kBandStrip);
    const int light = qGray(kBandLight);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < kBandStripWidth; ++x) {
            const int grey = qGray(image.pixel(x, y));
            const int step = std::clamp(
                static_cast<int>(std::lround(1.0 * (grey - dark) * (kLevels - 1) / (light - dark))),
                0, kLevels - 1);
            const int level = dark + (light - dark) * step / (kLevels - 1);
            image.setPixel(x, y, qRgb(level, level, level));
        }
    }
    return image;
}

}  // namespace

const std::vector<PictureEntry>& Pictures() {
    static const std::vector<PictureEntry> kPictures = {
        {IDR_MAINFRAME, QSize(48, 48), true, DrawAppIcon},
        {IDI_MENU_FIRST, kIconSize, true, DrawMenuFirst},
        {IDI_MENU_LAST, kIconSize, true, DrawMenuLast},
        {IDI_MENU_STOP, kIconSize, true, DrawMenuStop},
        {IDI_MENU_PLAY, kIconSize, true, DrawMenuPlay},
        {IDI_MENU_FINAL, kIconSize, true, DrawMenuFinal},
        {IDI_MENU_NEXT, kIconSize, true, DrawMenuNext},
        {IDI_ANIM1, kIconSize, true, DrawAnim1},
        {IDI_STILL, kIconSize, true, DrawStill},
        {IDI_ANIM2, kIconSize, true, DrawAnim2},
        {IDI_ANIM3, kIconSize, true, DrawAnim3},
        {IDI_CHECK, kIconSize, true, DrawCheck},
        {IDB_BAND, QSize(38, 219), false, DrawBand},
        {IDB_BACKGROUND, kWindowSize, false, DrawBackground},
        {IDB_ADD, kAddSize, false, DrawAdd},
        {IDB_DELETE, kDeleteSize, false, DrawDelete},
        {IDC_HAND, QSize(32, 32), true, DrawHandCursor},
        {IDB_ADD_HOT, kAddSize, false, DrawAddHot},
        {IDB_DELETE_HOT, kDeleteSize, false, DrawDeleteHot},
        {IDB_REPEATONE_OFF, kRepeatSize, false, DrawRepeatOneOff},
        {IDB_REPEATONE_ON, kRepeatSize, false, DrawRepeatOneOn},
        {IDB_REPEATALL_OFF, kRepeatSize, false, DrawRepeatAllOff},
        {IDB_REPEATALL_ON, kRepeatSize, false, DrawRepeatAllOn},
        {IDB_EXIT, QSize(36, 13), false, DrawExit},
        {IDB_EXIT_HOT, QSize(37, 13), false, DrawExitHot},
        {IDB_FIRST, kTransportSize, false, DrawFirst},
        {IDB_FIRST_HOT, kTransportSize, false, DrawFirstHot},
        {IDB_PLAY, QSize(16, 18), false, DrawPlay},
        {IDB_PLAY_HOT, QSize(19, 21), false, DrawPlayHot},
        {IDB_FINAL, kTransportSize, false, DrawFinal},
        {IDB_FINAL_HOT, kTransportSize, false, DrawFinalHot},
        {IDB_HIDE, QSize(14, 12), false, DrawHide},
        {IDB_STOP, kTransportSize, false, DrawStop},
        {IDB_STOP_HOT, kTransportSize, false, DrawStopHot},
        {IDI_ANIM4, kIconSize, true, DrawAnim4},
        {IDI_MENU_OPTION, kIconSize, true, DrawMenuOption},
        {IDI_MENU_EXIT, kIconSize, true, DrawMenuExit},
        {IDB_HELP, QSize(15, 15), false, DrawHelp},
    };
    return kPictures;
}

const PictureEntry* FindPicture(int id) {
    const auto& pictures = Pictures();
    const auto found = std::find_if(pictures.begin(), pictures.end(),
                                    [id](const PictureEntry& entry) { return entry.id == id; });
    return found == pictures.end() ? nullptr : &*found;
}

QImage Render(const PictureEntry& entry) {
    const QImage drawn = entry.draw();
    return drawn.convertToFormat(entry.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
}

const std::vector<ButtonPlacement>& Buttons() {
    static const std::vector<ButtonPlacement> kButtons = {
        {IDB_ADD, IDB_ADD_HOT, kAddPos},
        {IDB_DELETE, IDB_DELETE_HOT, kDeletePos},
        {IDB_REPEATONE_OFF, IDB_REPEATONE_ON, kRepeatOnePos},
        {IDB_REPEATALL_OFF, IDB_REPEATALL_ON, kRepeatAllPos},
        {IDB_FIRST, IDB_FIRST_HOT, kFirstPos},
        {IDB_PLAY, IDB_PLAY_HOT, kPlayPos},
        {IDB_STOP, IDB_STOP_HOT, kStopPos},
        {IDB_FINAL, IDB_FINAL_HOT, kFinalPos},
        {IDB_HELP, IDB_HELP, kHelpPos},
        {IDB_HIDE, IDB_HIDE, kHidePos},
        {IDB_EXIT, IDB_EXIT_HOT, kExitPos},
    };
    return kButtons;
}

}  // namespace makeskin
