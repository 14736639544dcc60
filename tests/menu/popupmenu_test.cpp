// Menu handles and items, and the modal popup: measuring, painting,
// selection, keyboard, mouse and placement.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <map>
#include <tuple>

#include "menu_fixture.h"

namespace menutest {
namespace {

TEST(MenuHandles, HeldMenuIsDestroyedExactlyOnceWhicheverGoesFirst) {
    const int before = LiveMenuCount();
    {
        CMenu bar;
        LoadTrayMenuBar(bar);
        CMenu popup;
        ASSERT_TRUE(popup.Attach(bar.GetSubMenu(0)));
        CMenu other;
        EXPECT_FALSE(other.Attach(bar.GetSubMenu(0)));
    }  // the popup's holder goes first, then the bar
    EXPECT_EQ(LiveMenuCount(), before);
    {
        CMenu popup;
        CMenu bar;
        LoadTrayMenuBar(bar);
        const HMENU hPopup = bar.GetSubMenu(0);
        ASSERT_TRUE(popup.Attach(hPopup));
        EXPECT_TRUE(bar.DestroyMenu());
        EXPECT_FALSE(IsMenu(hPopup));
        EXPECT_EQ(popup.GetSafeHmenu(), nullptr);
        EXPECT_FALSE(popup.DestroyMenu());
    }
    EXPECT_EQ(LiveMenuCount(), before);
    EXPECT_FALSE(DestroyMenu(reinterpret_cast<HMENU>(std::uintptr_t{0x7})));
}

TEST(MenuItems, InsertingAtPositionZeroReversesTheOrder) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    for (UINT id = 1; id <= 4; ++id) {
        EXPECT_TRUE(menu.InsertMenu(0, MF_BYPOSITION | MF_OWNERDRAW, id, ULONG_PTR{0}));
    }
    for (int pos = 0; pos < 4; ++pos) {
        EXPECT_EQ(menu.GetMenuItemID(pos), static_cast<UINT>(4 - pos));
    }
    EXPECT_TRUE(menu.InsertMenu(4, MF_BYPOSITION | MF_OWNERDRAW, 5, ULONG_PTR{0}));
    EXPECT_FALSE(menu.InsertMenu(9, MF_BYPOSITION | MF_OWNERDRAW, 6, ULONG_PTR{0}));
    EXPECT_FALSE(menu.AppendMenu(0x0001, 3, "unknown flag"));
    EXPECT_EQ(menu.GetMenuItemCount(), 5);
}

TEST(MenuItems, PopupGoesIntoOneMenuOnlyAndNeverIntoItself) {
    CMenu bar;
    CMenu popup;
    ASSERT_TRUE(bar.CreateMenu() && popup.CreatePopupMenu());
    const auto handle = [](const CMenu& menu) {
        return reinterpret_cast<UINT_PTR>(menu.GetSafeHmenu());
    };
    EXPECT_FALSE(bar.AppendMenu(MF_POPUP, handle(bar), "itself"));
    EXPECT_TRUE(bar.AppendMenu(MF_POPUP, handle(popup), "popup"));
    EXPECT_FALSE(bar.AppendMenu(MF_POPUP, handle(popup), "twice"));
    EXPECT_FALSE(popup.AppendMenu(MF_POPUP, handle(bar), "its holder"));
    EXPECT_EQ(bar.GetSubMenu(0), popup.GetSafeHmenu());
    EXPECT_EQ(bar.GetMenuItemCount(), 1);
    EXPECT_EQ(popup.GetMenuItemCount(), 0);
    popup.Detach();  // the bar destroys it
}

TEST(PopupPlacement, FlipsAwayFromTheScreenEdgeAndStaysOnScreen) {
    const QRect screen(0, 0, 800, 600);
    const QSize size(120, 200);
    EXPECT_EQ(PlacePopup(QPoint(100, 100), size, screen, 0), QPoint(100, 100));
    EXPECT_EQ(PlacePopup(QPoint(750, 100), size, screen, 0), QPoint(630, 100));
    EXPECT_EQ(PlacePopup(QPoint(100, 590), size, screen, 0), QPoint(100, 390));
    EXPECT_EQ(PlacePopup(QPoint(50, 100), size, screen, TPM_RIGHTALIGN), QPoint(50, 100));
    EXPECT_EQ(PlacePopup(QPoint(10, 10), QSize(900, 700), screen, 0), QPoint(0, 0));
}

using Calls = std::vector<std::tuple<UINT, UINT, UINT>>;  // id, action (0: measure), state

// Records the hooks' calls; an item's data word is the width it measures.
class RecordingMenu : public CMenu {
public:
    Calls calls;
    std::map<UINT, CRect> rects;  // of each item's latest full paint

    void MeasureItem(LPMEASUREITEMSTRUCT m) override {
        calls.emplace_back(m->itemID, 0, 0);
        m->itemWidth = static_cast<UINT>(m->itemData);
        m->itemHeight = 20;
    }
    void DrawItem(LPDRAWITEMSTRUCT d) override {
        calls.emplace_back(d->itemID, d->itemAction, d->itemState);
        if (d->itemAction == ODA_DRAWENTIRE) {
            rects[d->itemID] = d->rcItem;
        }
    }
    Calls Take() { return std::exchange(calls, {}); }
    QPoint Centre(UINT id) const {
        const CRect& rc = rects.at(id);
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
};

void Mouse(QWidget* popup, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, QPointF(pos), QPointF(popup->mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(popup, &event);
}

// Items 11, 12 and 13.
class TrackingTest : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        menu.CreatePopupMenu();
        menu.AppendMenu(MF_OWNERDRAW, 11, ULONG_PTR{70});
        menu.AppendMenu(MF_OWNERDRAW, 12, ULONG_PTR{90});
        menu.AppendMenu(MF_OWNERDRAW, 13, ULONG_PTR{50});
    }
    UINT Track(UINT flags = TPM_RIGHTBUTTON, QPoint at = QPoint(100, 100)) {
        const UINT id = menu.TrackPopupMenu(flags, at.x(), at.y(), ToHwnd(&owner));
        QCoreApplication::sendPostedEvents(&owner);
        return id;
    }

    RecordingMenu menu;
    Owner owner;
};

TEST_F(TrackingTest, MeasuresThenPaintsEachOnceAndRepaintsOnlySelectionChanges) {
    Calls opening, first, second, toFrame;
    WhileOpen([&](QWidget* popup) {
        opening = menu.Take();
        Mouse(popup, QEvent::MouseMove, menu.Centre(12), Qt::NoButton);
        first = menu.Take();
        Mouse(popup, QEvent::MouseMove, menu.Centre(13), Qt::NoButton);
        Mouse(popup, QEvent::MouseMove, menu.Centre(13) + QPoint(1, 1), Qt::NoButton);
        second = menu.Take();
        Mouse(popup, QEvent::MouseMove, QPoint(1, 1), Qt::NoButton);
        toFrame = menu.Take();
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_EQ(opening, (Calls{{11, 0, 0},
                              {12, 0, 0},
                              {13, 0, 0},
                              {11, ODA_DRAWENTIRE, 0},
                              {12, ODA_DRAWENTIRE, 0},
                              {13, ODA_DRAWENTIRE, 0}}));
    EXPECT_EQ(first, (Calls{{12, ODA_SELECT, ODS_SELECTED}}));
    EXPECT_EQ(second, (Calls{{12, ODA_SELECT, 0}, {13, ODA_SELECT, ODS_SELECTED}}));
    EXPECT_EQ(toFrame, (Calls{{13, ODA_SELECT, 0}}));
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(TrackingTest, KeyboardWalksTheItemsRoundAndEnterChooses) {
    std::vector<UINT> gained;
    WhileOpen([&](QWidget* popup) {
        menu.Take();
        for (const int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up,
                              Qt::Key_Home, Qt::Key_End}) {
            Key(popup, key);
            const Calls step = menu.Take();
            gained.push_back(step.empty() ? 0 : std::get<0>(step.back()));
        }
        Key(popup, Qt::Key_Return);
    });
    // With TPM_RETURNCMD the choice is returned, not posted.
    EXPECT_EQ(Track(TPM_RETURNCMD), 13u);
    EXPECT_EQ(gained, (std::vector<UINT>{11, 12, 13, 11, 13, 11, 13}));  // Down wraps round
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(TrackingTest, EscapeAndAClickOutsideChooseNothing) {
    WhileOpen([](QWidget* popup) { Key(popup, Qt::Key_Escape); });
    EXPECT_EQ(Track(), 0u);
    WhileOpen([](QWidget* popup) {
        Key(popup, Qt::Key_Down);
        Mouse(popup, QEvent::MouseButtonPress, QPoint(-30, 10), Qt::LeftButton);
        EXPECT_EQ(OpenPopup(), nullptr);
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(TrackingTest, ReleaseOfThePressThatOpenedTheMenuChoosesNothing) {
    bool openAfterRelease = false;
    const auto rightClick = [this](QWidget* popup) {
        Mouse(popup, QEvent::MouseButtonPress, menu.Centre(11), Qt::RightButton);
        Mouse(popup, QEvent::MouseButtonRelease, menu.Centre(11), Qt::RightButton);
    };
    WhileOpen([&](QWidget* popup) {
        Mouse(popup, QEvent::MouseButtonRelease, menu.Centre(11), Qt::RightButton);
        openAfterRelease = OpenPopup() != nullptr;
        rightClick(popup);
    });
    EXPECT_EQ(Track(TPM_RIGHTBUTTON), 11u);
    EXPECT_TRUE(openAfterRelease);
    WhileOpen(rightClick);  // the right button does not choose without TPM_RIGHTBUTTON
    EXPECT_EQ(Track(TPM_LEFTBUTTON), 0u);
    EXPECT_EQ(owner.commands, std::vector<int>{11});
}

TEST_F(TrackingTest, NestedEmptyAndDestroyedMenusAreNotShown) {
    UINT nested = 1;
    WhileOpen([&](QWidget*) {
        nested = Track();
        EXPECT_TRUE(menu.DestroyMenu());
        EXPECT_EQ(OpenPopup(), nullptr);
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_EQ(nested, 0u);
    CMenu empty;
    ASSERT_TRUE(empty.CreatePopupMenu());
    EXPECT_EQ(empty.TrackPopupMenu(0, 10, 10, ToHwnd(&owner)), 0u);
    EXPECT_EQ(Track(), 0u);
    // A plain item has nothing to paint it: such a menu does not open.
    CMenu plain;
    ASSERT_TRUE(plain.CreatePopupMenu());
    ASSERT_TRUE(plain.AppendMenu(MF_OWNERDRAW, 11, ULONG_PTR{70}));
    ASSERT_TRUE(plain.AppendMenu(MF_STRING, 12, "plain"));
    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        if (QWidget* popup = OpenPopup()) {
            opened = true;
            Key(popup, Qt::Key_Escape);
        }
    });
    EXPECT_EQ(plain.TrackPopupMenu(0, 10, 10, ToHwnd(&owner)), 0u);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
}

TEST_F(TrackingTest, PopupNearTheScreenCornerOpensUpAndLeftOfThePoint) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    const QPoint corner = area.bottomRight() - QPoint(5, 5);
    QRect placed;
    WhileOpen([&](QWidget* popup) { placed = popup->frameGeometry(); });
    Track(0, corner);
    EXPECT_TRUE(area.contains(placed));
    EXPECT_LE(placed.right(), corner.x());
    EXPECT_LE(placed.bottom(), corner.y());
}

}  // namespace
}  // namespace menutest
