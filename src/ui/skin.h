// The skin's pictures, cursor and tray icons: process-wide handles loaded by
// the main window's constructor and kept until the process ends, so hover
// feedback and mode switches only hand over a picture that is already there.
#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QPixmap>

extern QPixmap* g_hbmAdd;
extern QPixmap* g_hbmAddHot;
extern QPixmap* g_hbmDelete;
extern QPixmap* g_hbmDeleteHot;
extern QPixmap* g_hbmRepeatOneOff;
extern QPixmap* g_hbmRepeatOneOn;
extern QPixmap* g_hbmRepeatAllOff;
extern QPixmap* g_hbmRepeatAllOn;
extern QPixmap* g_hbmExit;
extern QPixmap* g_hbmExitHot;
extern QPixmap* g_hbmFirst;
extern QPixmap* g_hbmFirstHot;
extern QPixmap* g_hbmPlay;
extern QPixmap* g_hbmPlayHot;
extern QPixmap* g_hbmFinal;
extern QPixmap* g_hbmFinalHot;
extern QPixmap* g_hbmStop;
extern QPixmap* g_hbmStopHot;
extern QCursor* g_hCursorHand;
extern QIcon* g_hIconAnim1;
extern QIcon* g_hIconAnim2;
extern QIcon* g_hIconAnim3;
extern QIcon* g_hIconAnim4;
extern QIcon* g_hIconStill;

// Loads `picture` into the handle, creating it on first use. Handles are
// never freed: they live as long as the process.
void LoadSkinHandle(QPixmap*& handle, QPixmap picture);
void LoadSkinHandle(QCursor*& handle, QCursor cursor);
void LoadSkinHandle(QIcon*& handle, QIcon icon);

// The dialogs were laid out in dialog units, 1.5 pixels each, in this font.
constexpr int Dlu(int units) {
    return (units * 3 + 1) / 2;
}
QFont DialogFont();
