// The skin's colours and the main window's layout, shared by every picture
// so that buttons and background agree to the pixel.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>

namespace makeskin {

// Main window background (bitmap 157).
constexpr QSize kWindowSize(508, 325);
constexpr int kTitleBandHeight = 78;
constexpr int kStripTop = 288;
constexpr QRect kListRect(35, 104, 453, 183);

constexpr QRgb kTitleTop = qRgb(18, 47, 84);
constexpr QRgb kTitleBottom = qRgb(31, 79, 138);
constexpr QRgb kTitleEdge = qRgb(92, 150, 214);
constexpr QRgb kField = qRgb(43, 108, 176);
constexpr QRgb kStrip = qRgb(24, 58, 99);
constexpr QRgb kStripEdge = qRgb(19, 46, 79);

// Words and symbols on the skin.
constexpr QRgb kInk = qRgb(255, 255, 255);
constexpr QRgb kInkLit = qRgb(255, 216, 77);
constexpr QRgb kStripInk = qRgb(220, 231, 245);
constexpr QRgb kStripInkHot = qRgb(255, 84, 84);
constexpr QRgb kVersionInk = qRgb(156, 195, 238);

// The product's blue, used for the note in icons.
constexpr QRgb kNoteBlue = qRgb(34, 104, 210);
constexpr QRgb kNoteHalo = qRgb(246, 249, 255);
constexpr QRgb kIconTop = qRgb(64, 138, 222);
constexpr QRgb kIconBottom = qRgb(26, 78, 150);
constexpr QRgb kIconRim = qRgb(17, 56, 112);

// Menu icons: a fill and a darker rim each, so the shapes hold on any face.
constexpr QRgb kMenuBlue = qRgb(43, 108, 176);
constexpr QRgb kMenuBlueRim = qRgb(21, 58, 102);
constexpr QRgb kMenuGreen = qRgb(46, 160, 68);
constexpr QRgb kMenuGreenRim = qRgb(24, 98, 40);
constexpr QRgb kMenuRed = qRgb(216, 64, 58);
constexpr QRgb kMenuRedRim = qRgb(134, 32, 28);
constexpr QRgb kMenuSteel = qRgb(96, 112, 132);
constexpr QRgb kMenuSteelRim = qRgb(50, 60, 74);
constexpr QRgb kCheckInk = qRgb(30, 30, 30);
constexpr QRgb kProhibitRed = qRgb(229, 40, 46);

// Menu side band (bitmap 151): two greys of a 16-colour picture.
constexpr QRgb kBandStrip = qRgb(128, 128, 128);
constexpr QRgb kBandLight = qRgb(192, 192, 192);
constexpr int kBandStripWidth = 16;

// Top-left corners of the picture buttons; each takes its bitmap's size.
constexpr QPoint kAddPos(29, 83);
constexpr QPoint kDeletePos(93, 83);
constexpr QPoint kRepeatOnePos(287, 84);
constexpr QPoint kRepeatAllPos(393, 84);
constexpr QPoint kFirstPos(9, 137);
constexpr QPoint kPlayPos(14, 162);
constexpr QPoint kStopPos(11, 185);
constexpr QPoint kFinalPos(11, 209);
constexpr QPoint kHelpPos(389, 290);
constexpr QPoint kHidePos(419, 291);
constexpr QPoint kExitPos(446, 290);

// The transport symbols share one vertical axis, whatever the offsets of
// their controls, so the column reads as aligned.
constexpr double kTransportAxisX = 20.5;

}  // namespace makeskin
