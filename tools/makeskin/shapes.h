// Drawing helpers shared by the pictures: canvases, the skin's font, and the
// shapes that recur (the beamed note, outlined symbols).
#pragma once

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QString>

#include <initializer_list>

class QPainter;

namespace makeskin {

// An opaque canvas filled with one colour.
QImage NewOpaque(QSize size, QRgb fill);

// A fully transparent canvas for icons.
QImage NewTransparent(QSize size);

// DejaVu Sans at a pixel size, with fallbacks when it is missing.
QFont SkinFont(int pixelSize, bool bold);

// The family the skin's font actually resolves to on this machine.
QString ResolvedSkinFamily();

// Two eighth notes joined by a beam, in a 16 x 16 design box.
QPainterPath BeamedNotesPath();

// Paints the beamed note with its visible extent centred on `centre` and
// `height` pixels tall, optionally ringed by a halo `haloWidth` pixels wide.
void DrawBeamedNotes(QPainter& painter, QPointF centre, double height, QRgb fill, QRgb halo,
                     double haloWidth);

QPainterPath Polygon(std::initializer_list<QPointF> points);

// Fills `shape` and gives it a one-pixel rim, drawn centred on the outline.
void DrawRimmed(QPainter& painter, const QPainterPath& shape, QRgb fill, QRgb rim);

// Paints `text` with its left end at x and its capital letters centred on
// centreY, the baseline snapped to a whole pixel so the strokes stay sharp.
void DrawTextCentred(QPainter& painter, const QFont& font, double x, double centreY,
                     const QString& text, QRgb ink);

}  // namespace makeskin
