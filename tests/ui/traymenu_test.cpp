#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <iterator>

#include "dlg_fixture.h"
#include "res/traymenu.h"
#include "support/popup_menu_driver.h"
#include "wincompat/popupmenu.h"

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

using test::Key;
using test::OpenPopup;

class TrayMenuTest : public DlgTest {
protected:
    // Opens the menu as a right press on the icon does, walks `downs` items
    // down and chooses. Trapped, the command is kept from the window and
    // returned: 0 when nothing was chosen, -n when n commands arrived.
    int Choose(int downs, bool trapped = true) {
        CommandTrap trap;
        if (trapped) {
            m_dlg->installEventFilter(&trap);
        }
        QTimer::singleShot(0, [downs] {
            QWidget* popup = OpenPopup();
            ASSERT_NE(popup, nullptr);
            for (int i = 0; i < downs; ++i) {
                Key(popup, Qt::Key_Down);
            }
            Key(popup, Qt::Key_Return);
        });
        m_dlg->DefWindowProc(WM_TRAYNOTIFY, 100, platform::WM_RBUTTONDOWN);
        QCoreApplication::processEvents();
        m_dlg->removeEventFilter(&trap);
        return trap.ids.size() == 1 ? trap.ids[0] : -static_cast<int>(trap.ids.size());
    }
};

// Tray hosts that draw menus themselves get the plain list; it must offer
// what the owner-drawn menu offers, in its order.
TEST_F(TrayMenuTest, ItemsComeInTheirFinalOrderAndEveryShowingReleasesItsMenus) {
    Start();
    const int menus = platform::LiveMenuCount();
    const std::vector<platform::HostMenuEntry> entries = CMelvaneDlg::TrayMenuEntries();
    ASSERT_EQ(entries.size(), std::size(kTrayMenuSteps));
    std::vector<int> ids;
    for (std::size_t pos = 0; pos < entries.size(); ++pos) {
        SCOPED_TRACE(pos);
        const int chosen = Choose(static_cast<int>(pos) + 1);
        ids.push_back(chosen);
        const platform::HostMenuEntry& entry = entries[pos];
        if (entry.id == 0) {
            EXPECT_TRUE(chosen == ID_TRAY_SEP1 || chosen == ID_TRAY_SEP2) << chosen;
            EXPECT_TRUE(entry.text.isEmpty());
            continue;
        }
        EXPECT_EQ(chosen, entry.id);
        // The owner-drawn item of that command shows its step's text.
        const auto step = std::find_if(std::begin(kTrayMenuSteps), std::end(kTrayMenuSteps),
                                       [&](const TrayMenuStep& s) { return s.id == chosen; });
        ASSERT_NE(step, std::end(kTrayMenuSteps));
        EXPECT_EQ(entry.text, QString::fromUtf8(step->text));
    }
    EXPECT_EQ(ids, (std::vector<int>{ID_TRAY_OPTION, ID_TRAY_SEP1, ID_TRAY_FIRST, ID_TRAY_LAST,
                                     ID_TRAY_PLAY, ID_TRAY_STOP, ID_TRAY_NEXT, ID_TRAY_FINAL,
                                     ID_TRAY_SEP2, ID_TRAY_EXIT}));
    // Return with nothing selected chooses nothing.
    EXPECT_EQ(Choose(0), 0);
    EXPECT_EQ(platform::LiveMenuCount(), menus);
}

TEST_F(TrayMenuTest, ChosenCommandsActThroughTheWindow) {
    WritePlaylist(Tunes(3));
    Start();
    Clear();
    Choose(6, false);  // " Stop"
    EXPECT_EQ(MciCalls(), (Calls{"stop themidi", "close themidi"}));
    EXPECT_EQ(m_dlg->m_bPlaying, 0);
}

}  // namespace
