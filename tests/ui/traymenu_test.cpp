#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "dlg_fixture.h"
#include "platform/paintdc.h"
#include "platform/popupmenu.h"

namespace {

// Keeps the commands posted to the window for the test instead of letting the
// window act on them.
class CommandTrap : public QObject {
public:
    std::vector<int> ids;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == platform::CommandEvent::Type()) {
            ids.push_back(static_cast<platform::CommandEvent*>(event)->Id());
            return true;
        }
        return false;
    }
};

QWidget* OpenPopup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(platform::POPUP_MENU_OBJECT_NAME) &&
            widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

void Press(QWidget* popup, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(popup, &event);
}

class TrayMenuTest : public DlgTest {
protected:
    // Opens the menu as a right press on the icon does, walks `downs` items
    // down and chooses; returns the command that reached the window.
    int Choose(int downs) {
        CommandTrap trap;
        m_dlg->installEventFilter(&trap);
        QTimer::singleShot(0, [downs] {
            QWidget* popup = OpenPopup();
            ASSERT_NE(popup, nullptr);
            for (int i = 0; i < downs; ++i) {
                Press(popup, Qt::Key_Down);
            }
            Press(popup, Qt::Key_Return);
        });
        m_dlg->DefWindowProc(WM_TRAYNOTIFY, 100, platform::WM_RBUTTONDOWN);
        QCoreApplication::processEvents();
        m_dlg->removeEventFilter(&trap);
        // 0 when nothing was chosen, -n when n commands arrived.
        if (trap.ids.size() == 1) {
            return trap.ids[0];
        }
        return -static_cast<int>(trap.ids.size());
    }
};

TEST_F(TrayMenuTest, ItemsComeInTheirFinalOrderWithTheirIds) {
    Start();
    std::vector<int> ids;
    for (int downs = 1; downs <= 10; ++downs) {
        ids.push_back(Choose(downs));
    }
    EXPECT_EQ(ids, (std::vector<int>{ID_TRAY_OPTION, ID_TRAY_SEP1, ID_TRAY_FIRST, ID_TRAY_LAST,
                                     ID_TRAY_PLAY, ID_TRAY_STOP, ID_TRAY_NEXT, ID_TRAY_FINAL,
                                     ID_TRAY_SEP2, ID_TRAY_EXIT}));
}

TEST_F(TrayMenuTest, EveryShowingReleasesItsMenusIconsAndBand) {
    Start();
    const int menus = platform::LiveMenuCount();
    for (int i = 0; i < 30; ++i) {
        Choose(0);
    }
    EXPECT_EQ(platform::LiveMenuCount(), menus);
    // Return with nothing selected chooses nothing.
    EXPECT_EQ(Choose(0), 0);
}

TEST_F(TrayMenuTest, ChosenCommandsActThroughTheWindow) {
    WritePlaylist({"/m/0.mid", "/m/1.mid", "/m/2.mid"});
    Start();
    Clear();
    QTimer::singleShot(0, [] {
        QWidget* popup = OpenPopup();
        ASSERT_NE(popup, nullptr);
        for (int i = 0; i < 6; ++i) {
            Press(popup, Qt::Key_Down);
        }
        Press(popup, Qt::Key_Return);
    });
    m_dlg->DefWindowProc(WM_TRAYNOTIFY, 100, platform::WM_RBUTTONDOWN);
    QCoreApplication::processEvents();
    // " Stop" was the sixth item.
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    EXPECT_EQ(m_dlg->m_bPlaying, 0);
}

}  // namespace
