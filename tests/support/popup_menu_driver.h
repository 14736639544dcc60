// Finds the open tray popup and presses keys in it, for tests that drive the
// modal menu from a timer while it tracks.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "wincompat/popupmenu.h"

namespace test {

// The open popup window, or null.
inline QWidget* OpenPopup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(platform::POPUP_MENU_OBJECT_NAME) &&
            widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

inline void Key(QWidget* popup, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(popup, &event);
}

}  // namespace test
