#include "ui/skin.h"

#include <utility>

QPixmap* g_hbmAdd = nullptr;
QPixmap* g_hbmAddHot = nullptr;
QPixmap* g_hbmDelete = nullptr;
QPixmap* g_hbmDeleteHot = nullptr;
QPixmap* g_hbmRepeatOneOff = nullptr;
QPixmap* g_hbmRepeatOneOn = nullptr;
QPixmap* g_hbmRepeatAllOff = nullptr;
QPixmap* g_hbmRepeatAllOn = nullptr;
QPixmap* g_hbmExit = nullptr;
QPixmap* g_hbmExitHot = nullptr;
QPixmap* g_hbmFirst = nullptr;
QPixmap* g_hbmFirstHot = nullptr;
QPixmap* g_hbmPlay = nullptr;
QPixmap* g_hbmPlayHot = nullptr;
QPixmap* g_hbmFinal = nullptr;
QPixmap* g_hbmFinalHot = nullptr;
QPixmap* g_hbmStop = nullptr;
QPixmap* g_hbmStopHot = nullptr;
QCursor* g_hCursorHand = nullptr;
QIcon* g_hIconAnim1 = nullptr;
QIcon* g_hIconAnim2 = nullptr;
QIcon* g_hIconAnim3 = nullptr;
QIcon* g_hIconAnim4 = nullptr;
QIcon* g_hIconStill = nullptr;

namespace {

template <typename T>
void Load(T*& handle, T value) {
    if (handle == nullptr) {
        handle = new T(std::move(value));
    } else {
        *handle = std::move(value);
    }
}

}  // namespace

void LoadSkinHandle(QPixmap*& handle, QPixmap picture) {
    Load(handle, std::move(picture));
}
void LoadSkinHandle(QCursor*& handle, QCursor cursor) {
    Load(handle, std::move(cursor));
}
void LoadSkinHandle(QIcon*& handle, QIcon icon) {
    Load(handle, std::move(icon));
}

QFont DialogFont() {
    return QFont(QStringLiteral("宋体"), 9);
}
