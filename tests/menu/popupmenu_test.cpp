// Menu handles, item changes, and the modal popup: measuring, painting,
// selection, keyboard, mouse, the event loop and placement.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <map>
#include <tuple>

#include "menu_fixture.h"

namespace menutest {
namespace {

TEST(MenuHandles, TrayResourceIsABarWhosePopupHoldsThePlaceholder) {
    const int before = LiveMenuCount();
    const HMENU hBar = LoadMenu(IDR_TRAYMENU);
    ASSERT_NE(hBar, nullptr);
    EXPECT_EQ(LiveMenuCount(), before + 2);
    EXPECT_EQ(GetMenuItemCount(hBar), 1);
    EXPECT_EQ(GetMenuString(hBar, 0, MF_BYPOSITION), "music");
    const HMENU hPopup = GetSubMenu(hBar, 0);
    ASSERT_NE(hPopup, nullptr);
    EXPECT_EQ(GetMenuItemCount(hPopup), 1);
    EXPECT_EQ(GetMenuItemID(hPopup, 0), static_cast<UINT>(ID_MENU_PLACEHOLDER));
    EXPECT_EQ(GetMenuString(hPopup, ID_MENU_PLACEHOLDER, MF_BYCOMMAND), "ggg");
    EXPECT_EQ(LoadMenu(IDB_BAND), nullptr);

    EXPECT_TRUE(DestroyMenu(hBar));
    EXPECT_FALSE(IsMenu(hPopup));
    EXPECT_EQ(LiveMenuCount(), before);
    EXPECT_FALSE(DestroyMenu(hBar));
    EXPECT_FALSE(DestroyMenu(hPopup));
    EXPECT_FALSE(DestroyMenu(nullptr));
    EXPECT_FALSE(DestroyMenu(reinterpret_cast<HMENU>(std::uintptr_t{0x7})));
}

TEST(MenuHandles, HeldMenuIsDestroyedExactlyOnceWhicheverGoesFirst) {
    const int before = LiveMenuCount();
    {
        CMenu bar;
        ASSERT_TRUE(bar.LoadMenu(IDR_TRAYMENU));
        CMenu popup;
        ASSERT_TRUE(popup.Attach(bar.GetSubMenu(0)));
        CMenu other;
        EXPECT_FALSE(other.Attach(bar.GetSubMenu(0)));
        EXPECT_EQ(CMenu::FromHandlePermanent(bar.GetSubMenu(0)), &popup);
    }  // the popup's holder goes first, then the bar
    EXPECT_EQ(LiveMenuCount(), before);
    {
        CMenu popup;
        CMenu bar;
        ASSERT_TRUE(bar.LoadMenu(IDR_TRAYMENU));
        ASSERT_TRUE(popup.Attach(bar.GetSubMenu(0)));
        EXPECT_TRUE(bar.DestroyMenu());
        EXPECT_FALSE(popup.DestroyMenu());
    }
    EXPECT_EQ(LiveMenuCount(), before);
    HMENU hKept = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        hKept = menu.Detach();
    }
    EXPECT_TRUE(IsMenu(hKept));
    EXPECT_TRUE(DestroyMenu(hKept));
}

TEST(MenuItems, InsertingAtPositionZeroReversesTheOrder) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    for (UINT id = 1; id <= 4; ++id) {
        EXPECT_TRUE(menu.InsertMenu(0, MF_BYPOSITION | MF_STRING, id, "x"));
    }
    for (int pos = 0; pos < 4; ++pos) {
        EXPECT_EQ(menu.GetMenuItemID(pos), static_cast<UINT>(4 - pos));
    }
    EXPECT_TRUE(menu.InsertMenu(4, MF_BYPOSITION, 5, "end"));
    EXPECT_FALSE(menu.InsertMenu(9, MF_BYPOSITION, 6, "past the end"));
    EXPECT_EQ(menu.GetMenuItemCount(), 5);
}

TEST(MenuItems, ChangesFindItemsByPositionOrByCommandAndRefuseBadInput) {
    const int before = LiveMenuCount();
    CMenu bar;
    ASSERT_TRUE(bar.LoadMenu(IDR_TRAYMENU));
    const HMENU hPopup = bar.GetSubMenu(0);
    // By command, items are found inside the popup of the bar.
    EXPECT_TRUE(bar.InsertMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND | MF_OWNERDRAW, 7, ULONG_PTR{77}));
    EXPECT_EQ(GetMenuItemID(hPopup, 0), 7u);
    EXPECT_EQ(GetMenuItemData(hPopup, 7, MF_BYCOMMAND), 77u);
    EXPECT_TRUE(ModifyMenu(hPopup, 0, MF_BYPOSITION | MF_OWNERDRAW, 8, ULONG_PTR{88}));
    EXPECT_EQ(GetMenuState(hPopup, 8, MF_BYCOMMAND), MF_OWNERDRAW);
    EXPECT_FALSE(ModifyMenu(hPopup, 5, MF_BYPOSITION | MF_OWNERDRAW, 9, ULONG_PTR{0}));
    EXPECT_TRUE(bar.RemoveMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND));
    EXPECT_FALSE(bar.RemoveMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(hPopup), 1);

    EXPECT_FALSE(AppendMenu(hPopup, 0x0001, 3, CString("greyed")));  // unknown flag
    EXPECT_FALSE(AppendMenu(hPopup, MF_POPUP, reinterpret_cast<UINT_PTR>(bar.GetSafeHmenu()),
                            CString("loop")));
    EXPECT_EQ(GetMenuItemCount(hPopup), 1);

    // Removing a popup's item leaves the popup alive; deleting it destroys it.
    EXPECT_TRUE(bar.RemoveMenu(0, MF_BYPOSITION));
    EXPECT_TRUE(IsMenu(hPopup));
    EXPECT_TRUE(bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(hPopup), "music"));
    EXPECT_TRUE(bar.DeleteMenu(0, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(hPopup));
    bar.DestroyMenu();
    EXPECT_EQ(LiveMenuCount(), before);
}

// Records the hooks' calls; an item's data word is the width it measures.
class RecordingMenu : public CMenu {
public:
    struct Call {
        UINT id;
        UINT action;  // 0 for a measure request
        UINT state;
        CRect rc;
    };
    std::vector<Call> calls;

    void MeasureItem(LPMEASUREITEMSTRUCT m) override {
        calls.push_back({m->itemID, 0, 0, CRect()});
        m->itemWidth = static_cast<UINT>(m->itemData);
        m->itemHeight = m->itemID == 13 ? 30 : 20;
    }
    void DrawItem(LPDRAWITEMSTRUCT d) override {
        calls.push_back({d->itemID, d->itemAction, d->itemState, d->rcItem});
    }
    std::vector<std::tuple<UINT, UINT, UINT>> Take() {
        std::vector<std::tuple<UINT, UINT, UINT>> taken;
        for (const Call& call : calls) {
            taken.emplace_back(call.id, call.action, call.state);
        }
        calls.clear();
        return taken;
    }
};

void Mouse(QWidget* popup, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, QPointF(pos), QPointF(popup->mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(popup, &event);
}

void Click(QWidget* popup, QPoint pos, Qt::MouseButton button) {
    Mouse(popup, QEvent::MouseButtonPress, pos, button);
    Mouse(popup, QEvent::MouseButtonRelease, pos, button);
}

class TrackingTest : public MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        menu.CreatePopupMenu();
        menu.AppendMenu(MF_OWNERDRAW, 11, ULONG_PTR{70});
        menu.AppendMenu(MF_OWNERDRAW, 12, ULONG_PTR{90});
        menu.AppendMenu(MF_SEPARATOR);
        menu.AppendMenu(MF_OWNERDRAW, 13, ULONG_PTR{50});
    }

    UINT Track(UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON) {
        const UINT id = menu.TrackPopupMenu(flags, 100, 100, ToHwnd(&owner));
        QCoreApplication::sendPostedEvents(&owner);
        return id;
    }

    // Centre of item `id` in the popup, from the rectangle of its first paint.
    QPoint Centre(UINT id) const { return centres.at(id); }

    void RememberRects() {
        for (const auto& call : menu.calls) {
            if (call.action == ODA_DRAWENTIRE) {
                centres[call.id] =
                    QPoint((call.rc.left + call.rc.right) / 2, (call.rc.top + call.rc.bottom) / 2);
            }
        }
    }

    RecordingMenu menu;
    Owner owner;
    std::map<UINT, QPoint> centres;
};

using Calls = std::vector<std::tuple<UINT, UINT, UINT>>;

TEST_F(TrackingTest, MeasuresEveryItemThenPaintsEachOnceTopToBottomInAColumn) {
    QRect popupRect;
    WhileOpen([&](QWidget* popup) {
        EXPECT_EQ(popup->windowTitle(), QStringLiteral("melvane menu"));
        EXPECT_TRUE(popup->windowFlags().testFlag(Qt::Popup));
        popupRect = popup->rect();
    });
    EXPECT_EQ(Track(), 0u);
    ASSERT_EQ(menu.calls.size(), 6u);
    EXPECT_EQ(menu.Take(), (Calls{{11, 0, 0},
                                  {12, 0, 0},
                                  {13, 0, 0},
                                  {11, ODA_DRAWENTIRE, 0},
                                  {12, ODA_DRAWENTIRE, 0},
                                  {13, ODA_DRAWENTIRE, 0}}));
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(TrackingTest, ItemRectanglesStackAndShareTheWidestWidth) {
    std::vector<CRect> rects;
    QSize size;
    WhileOpen([&](QWidget* popup) {
        size = popup->size();
        for (const auto& call : menu.calls) {
            if (call.action == ODA_DRAWENTIRE) {
                rects.push_back(call.rc);
            }
        }
    });
    Track();
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0].Height(), 20);
    EXPECT_EQ(rects[2].Height(), 30);
    EXPECT_EQ(rects[1].top, rects[0].bottom);
    EXPECT_GT(rects[2].top, rects[1].bottom);  // the separator lies between
    for (const CRect& rc : rects) {
        EXPECT_EQ(rc.left, rects[0].left);
        EXPECT_GE(rc.Width(), 90);
        EXPECT_LE(rc.Width(), 90 + 16);
    }
    EXPECT_LE(size.width() - rects[0].Width(), 8);
    EXPECT_LE(size.height() - (rects[2].bottom - rects[0].top), 8);
}

TEST_F(TrackingTest, SelectionChangeRepaintsOnlyTheItemsLosingAndGainingIt) {
    Calls first, second, toSeparator, again;
    WhileOpen([&](QWidget* popup) {
        RememberRects();
        menu.calls.clear();
        Mouse(popup, QEvent::MouseMove, Centre(12), Qt::NoButton);
        first = menu.Take();
        Mouse(popup, QEvent::MouseMove, Centre(13), Qt::NoButton);
        Mouse(popup, QEvent::MouseMove, Centre(13) + QPoint(1, 1), Qt::NoButton);
        second = menu.Take();
        Mouse(popup, QEvent::MouseMove, QPoint(Centre(13).x(), Centre(13).y() - 17), Qt::NoButton);
        toSeparator = menu.Take();
    });
    Track();
    EXPECT_EQ(first, (Calls{{12, ODA_SELECT, ODS_SELECTED}}));
    EXPECT_EQ(second, (Calls{{12, ODA_SELECT, 0}, {13, ODA_SELECT, ODS_SELECTED}}));
    EXPECT_EQ(toSeparator, (Calls{{13, ODA_SELECT, 0}}));
}

TEST_F(TrackingTest, WhatNoHookPaintsShowsTheFaceColour) {
    QImage shown;
    WhileOpen([&](QWidget* popup) {
        RememberRects();
        shown = popup->grab().toImage();
    });
    Track();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(Pixel(shown, Centre(11).x(), Centre(11).y()), kFace);
    EXPECT_EQ(Pixel(shown, 4, Centre(13).y()), kFace);
}

TEST_F(TrackingTest, KeyboardWalksTheItemsSkippingSeparatorsAndEnterChooses) {
    std::vector<Calls> steps;
    WhileOpen([&](QWidget* popup) {
        menu.calls.clear();
        for (const int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up,
                              Qt::Key_Home, Qt::Key_End}) {
            Key(popup, key);
            steps.push_back(menu.Take());
        }
        Key(popup, Qt::Key_Return);
    });
    EXPECT_EQ(Track(), 13u);
    const auto gained = [&](std::size_t step) { return std::get<0>(steps.at(step).back()); };
    ASSERT_EQ(steps.size(), 7u);
    EXPECT_EQ(gained(0), 11u);
    EXPECT_EQ(gained(1), 12u);
    EXPECT_EQ(gained(2), 13u);
    EXPECT_EQ(gained(3), 11u);  // wraps around
    EXPECT_EQ(gained(4), 13u);
    EXPECT_EQ(gained(5), 11u);
    EXPECT_EQ(gained(6), 13u);
    EXPECT_EQ(owner.commands, std::vector<int>{13});
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

TEST_F(TrackingTest, ClickOnAnItemChoosesItAndPostsItsCommandToTheOwner) {
    WhileOpen([&](QWidget* popup) {
        RememberRects();
        Click(popup, Centre(12), Qt::LeftButton);
    });
    EXPECT_EQ(Track(), 12u);
    EXPECT_EQ(owner.commands, std::vector<int>{12});
}

TEST_F(TrackingTest, ReleaseOfThePressThatOpenedTheMenuChoosesNothing) {
    bool openAfterRelease = false;
    WhileOpen([&](QWidget* popup) {
        RememberRects();
        Mouse(popup, QEvent::MouseButtonRelease, Centre(11), Qt::RightButton);
        openAfterRelease = OpenPopup() != nullptr;
        Click(popup, Centre(11), Qt::RightButton);
    });
    EXPECT_EQ(Track(TPM_RIGHTBUTTON), 11u);
    EXPECT_TRUE(openAfterRelease);

    WhileOpen([&](QWidget* popup) { Click(popup, Centre(11), Qt::RightButton); });
    EXPECT_EQ(Track(TPM_LEFTBUTTON), 0u);
    EXPECT_EQ(owner.commands, std::vector<int>{11});
}

TEST_F(TrackingTest, ReturnCmdReturnsTheChoiceWithoutPostingIt) {
    WhileOpen([](QWidget* popup) {
        Key(popup, Qt::Key_End);
        Key(popup, Qt::Key_Enter);
    });
    EXPECT_EQ(Track(TPM_RETURNCMD), 13u);
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(TrackingTest, TimersKeepFiringWhileTheMenuIsOpen) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 3) {
            Key(OpenPopup(), Qt::Key_Escape);
        }
    });
    timer.start(5);
    EXPECT_EQ(Track(), 0u);
    EXPECT_GE(ticks, 3);
}

TEST_F(TrackingTest, DestroyingTheMenuWhileOpenClosesThePopup) {
    WhileOpen([&](QWidget*) {
        EXPECT_TRUE(menu.DestroyMenu());
        EXPECT_EQ(OpenPopup(), nullptr);
    });
    EXPECT_EQ(Track(), 0u);
}

TEST_F(TrackingTest, OnlyOnePopupIsTrackedAtATime) {
    UINT nested = 1;
    WhileOpen([&](QWidget*) { nested = Track(); });
    Track();
    EXPECT_EQ(nested, 0u);
}

TEST_F(TrackingTest, EmptyOrDestroyedMenusAreNotShown) {
    CMenu empty;
    ASSERT_TRUE(empty.CreatePopupMenu());
    EXPECT_EQ(empty.TrackPopupMenu(0, 10, 10, ToHwnd(&owner)), 0u);
    EXPECT_EQ(TrackPopupMenu(reinterpret_cast<HMENU>(std::uintptr_t{0x7}), 0, 10, 10, nullptr), 0u);
    EXPECT_TRUE(menu.calls.empty());
}

TEST_F(TrackingTest, PlainTextItemsArePaintedAndChosenByTheMenuItself) {
    CMenu bar;
    ASSERT_TRUE(bar.LoadMenu(IDR_TRAYMENU));
    QImage shown;
    WhileOpen([&](QWidget* popup) {
        Key(popup, Qt::Key_Down);
        shown = popup->grab().toImage();
        Key(popup, Qt::Key_Return);
    });
    EXPECT_EQ(TrackPopupMenu(bar.GetSubMenu(0), 0, 100, 100, ToHwnd(&owner)),
              static_cast<UINT>(ID_MENU_PLACEHOLDER));
    ASSERT_FALSE(shown.isNull());
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    EXPECT_EQ(Pixel(shown, 4, 4), highlight);  // the selected item's own fill
    int textPixels = 0;
    for (int x = 0; x < shown.width(); ++x) {
        textPixels += Pixel(shown, x, shown.height() / 2) != highlight ? 1 : 0;
    }
    EXPECT_GT(textPixels, 6 + 2);  // more than the frame: the text "ggg"
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

TEST_F(TrackingTest, PopupNearTheScreenCornerOpensUpAndLeftOfThePoint) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    const QPoint corner = area.bottomRight() - QPoint(5, 5);
    QRect placed;
    WhileOpen([&](QWidget* popup) { placed = popup->frameGeometry(); });
    menu.TrackPopupMenu(0, corner.x(), corner.y(), ToHwnd(&owner));
    EXPECT_TRUE(area.contains(placed));
    EXPECT_LE(placed.right(), corner.x());
    EXPECT_LE(placed.bottom(), corner.y());
}

}  // namespace
}  // namespace menutest
