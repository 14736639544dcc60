// CQMenu: the tray menu's order and sizes, how its items and band look, and
// whole showings of it.
#include "menu_fixture.h"
#include "support/resident_memory.h"

namespace menutest {
namespace {

using CQMenuTest = MenuTest;

int CountYellow(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = Pixel(image, x, y);
            count += c.red() > 200 && c.green() > 200 && c.blue() < 100 ? 1 : 0;
        }
    }
    return count;
}

MEASUREITEMSTRUCT Measure(CQMenu& menu, const CQMenuItem& item, UINT proposedWidth = 0) {
    MEASUREITEMSTRUCT m{ODT_MENU, 0, 0, proposedWidth, 0, reinterpret_cast<ULONG_PTR>(&item)};
    menu.MeasureItem(&m);
    return m;
}

TEST_F(CQMenuTest, TrayMenuEndsInItsFinalOrder) {
    TrayMenu tray;
    const UINT expected[] = {1041, 1045, 1040, 1039, 1038, 1037, 1036, 1035, 1044, 1034};
    ASSERT_EQ(tray.menu.GetMenuItemCount(), 10);
    for (int pos = 0; pos < 10; ++pos) {
        EXPECT_EQ(tray.menu.GetMenuItemID(pos), expected[pos]) << pos;
    }
}

TEST_F(CQMenuTest, TextItemsMeasureTheirTextAndSeparatorsFivePixels) {
    TrayMenu tray;
    const CSize extent = CClientDC(nullptr).GetTextExtent(" First");
    ASSERT_LT(extent.cy, 20);
    const MEASUREITEMSTRUCT first = Measure(tray.menu, tray.items[6]);
    EXPECT_EQ(first.itemHeight, 24u);
    EXPECT_EQ(first.itemWidth, static_cast<UINT>(extent.cx + 42));
    const MEASUREITEMSTRUCT separator = Measure(tray.menu, tray.items[8], 77);
    EXPECT_EQ(separator.itemHeight, 5u);
    EXPECT_EQ(separator.itemWidth, 77u);
    EXPECT_EQ(tray.menu.m_nMenuHeight, 240);
}

// One text item of the tray menu painted in R = (10, 40, 200, 64).
class ItemPaintTest : public CQMenuTest {
protected:
    void Draw(UINT action, UINT state = 0) {
        DrawOn(tray.menu, surface.dc.get(), R, item, action, state);
    }
    const CRect R{10, 40, 200, 64};
    std::unique_ptr<Picture> icon = MakeIcon(Qt::red);
    CQMenuItem item;
    TrayMenu tray;
    Surface surface;
};

TEST_F(ItemPaintTest, ItemIsNormalThenHotThenNormalAgain) {
    item.SetIcon(icon.get());
    item.SetText("HHH");
    const QImage& image = surface.image;
    const auto expectNormal = [&](const QColor& frameColumn) {
        EXPECT_EQ(Pixel(image, 34, 46), ToQColor(MONO_ICON_COLOR));  // icon at R.left + 21
        EXPECT_EQ(Pixel(image, 33, 46), kUntouched);
        EXPECT_EQ(Pixel(image, 10, 50), kUntouched);  // the band column is left alone
        EXPECT_EQ(Pixel(image, 55, 40), kFace);
        EXPECT_EQ(Pixel(image, 199, 41), kFace);
        // The text starts at R.left + 45, vertically centred in R.
        QRect ink;
        for (int x = 55; x < 200; ++x) {
            for (int y = 40; y < 64; ++y) {
                ink |= Pixel(image, x, y) != kFace ? QRect(x, y, 1, 1) : QRect();
            }
        }
        EXPECT_GE(ink.left(), 55);
        EXPECT_LE(ink.left(), 57);
        EXPECT_LE(std::abs(ink.center().y() - 52), 2) << ink.top() << ".." << ink.bottom();
        EXPECT_EQ(CountYellow(image, QRect(55, 40, 145, 24)), 0);
        for (const int y : {41, 50, 61}) {
            EXPECT_EQ(Pixel(image, 54, y), frameColumn) << y;
        }
    };
    Draw(ODA_DRAWENTIRE);
    expectNormal(kUntouched);  // a fresh paint leaves the frame's column alone

    Draw(ODA_SELECT, ODS_SELECTED);
    EXPECT_EQ(Pixel(image, 34, 46), QColor(Qt::red));
    EXPECT_GT(CountYellow(image, QRect(55, 40, 145, 24)), 10);
    // Frame from (R.left + 44, R.top + 1) to (R.right, R.bottom - 2).
    EXPECT_EQ(Pixel(image, 54, 41), kDarkShadow);
    EXPECT_EQ(Pixel(image, 198, 41), kDarkShadow);
    EXPECT_EQ(Pixel(image, 54, 60), kDarkShadow);
    EXPECT_EQ(Pixel(image, 199, 41), kHilight);  // top right
    EXPECT_EQ(Pixel(image, 54, 61), kHilight);   // bottom left
    EXPECT_EQ(Pixel(image, 199, 61), kHilight);
    EXPECT_EQ(Pixel(image, 54, 62), kUntouched);
    EXPECT_EQ(Pixel(image, 53, 41), kUntouched);

    Draw(ODA_SELECT, 0);
    expectNormal(kFace);  // the mouse left: the frame is cleared
}

TEST_F(ItemPaintTest, ItemWithoutIconOrCheckMarkKeepsTheIconColumn) {
    item.SetText("HHH");
    Draw(ODA_DRAWENTIRE);
    const QImage& image = surface.Done();
    EXPECT_EQ(Pixel(image, 34, 46), kUntouched);
    EXPECT_EQ(Pixel(image, 54, 50), kUntouched);
    EXPECT_EQ(Pixel(image, 55, 41), kFace);
}

TEST_F(ItemPaintTest, FocusOnlyRequestPaintsNothingButCounts) {
    item.SetIcon(icon.get());
    const int before = tray.menu.m_nDrawCount;
    Draw(ODA_FOCUS, ODS_SELECTED);
    EXPECT_EQ(tray.menu.m_nDrawCount, before + 1);
    QImage blank(surface.image.size(), surface.image.format());
    blank.fill(kUntouched);
    EXPECT_EQ(surface.Done(), blank);
}

TEST_F(ItemPaintTest, SeparatorLineStartsRightOfTheBandOnlyWhenThereIsAPicture) {
    item.SetSeparator(true);
    TestMenu bare;
    bare.SetBandSize(CSize(16, 218));
    DrawOn(tray.menu, surface.dc.get(), CRect(10, 100, 200, 105), item, ODA_DRAWENTIRE,
           ODS_SELECTED);
    DrawOn(bare, surface.dc.get(), CRect(10, 120, 200, 125), item, ODA_DRAWENTIRE);
    EXPECT_EQ(tray.menu.m_nSepCount, 1);
    const QImage& image = surface.Done();
    EXPECT_EQ(Pixel(image, 25, 100), kUntouched);
    EXPECT_EQ(Pixel(image, 26, 100), kShadow);
    EXPECT_EQ(Pixel(image, 26, 101), kHilight);
    EXPECT_EQ(Pixel(image, 120, 102), kUntouched);  // nothing else, even when hot
    EXPECT_EQ(Pixel(image, 10, 120), kShadow);
    EXPECT_EQ(Pixel(image, 10, 121), kHilight);
}

// The tray's items painted top to bottom as the popup's first paint does, the
// column at x = 10 from y = 60; with or without a band picture.
TEST_F(CQMenuTest, BandPictureSitsAtTheFootOfTheColumnWithTheColourAboveIt) {
    for (const bool withPicture : {true, false}) {
        TrayMenu tray(withPicture ? MakeBandBitmap() : nullptr);
        Surface surface;
        int top = 60;
        for (int pos = 0; pos < 10; ++pos) {
            EXPECT_EQ(Pixel(surface.image, 10, 200), kUntouched);  // not before the tenth paint
            const CQMenuItem& item = tray.items[kTrayRecords[pos]];
            const int height = static_cast<int>(Measure(tray.menu, item).itemHeight);
            DrawOn(tray.menu, surface.dc.get(), CRect(10, top, 200, top + height), item,
                   ODA_DRAWENTIRE);
            top += height;
        }
        EXPECT_EQ(tray.menu.m_nDrawCount, 0);
        const int bottom = top;
        ASSERT_EQ(bottom, 60 + 8 * 24 + 2 * 5);
        const QImage& image = surface.Done();
        if (!withPicture) {
            for (int y = 0; y < bottom; ++y) {  // the separators' lines, nothing else
                const QColor c = Pixel(image, 12, y);
                ASSERT_TRUE(c == kUntouched || c == kShadow || c == kHilight) << y;
            }
            continue;
        }
        for (const int row : {0, 1, 100, 216, 217}) {
            EXPECT_EQ(Pixel(image, 10, bottom - 218 + row), BandRowColour(row)) << row;
            EXPECT_EQ(Pixel(image, 25, bottom - 218 + row), BandRowColour(row)) << row;
        }
        EXPECT_EQ(Pixel(image, 26, bottom - 100), kUntouched);  // only the left 16 columns
        EXPECT_EQ(Pixel(image, 10, bottom - 240), QColor(100, 100, 100));
        EXPECT_EQ(Pixel(image, 25, bottom - 219), QColor(100, 100, 100));
        EXPECT_EQ(Pixel(image, 10, bottom - 241), kUntouched);
        EXPECT_EQ(Pixel(image, 10, bottom), kUntouched);
    }
}

// Counts the band paints and records the full paints.
class CountingMenu : public TestMenu {
public:
    int bandPaints = 0;
    UINT bandItem = 0;
    CRect bandRect;
    struct FullPaint {
        CRect rect;
        const CQMenuItem* record;
    };
    std::vector<FullPaint> fullPaints;

    void DrawItem(LPDRAWITEMSTRUCT d) override {
        if ((d->itemAction & ODA_DRAWENTIRE) != 0) {
            fullPaints.push_back({d->rcItem, reinterpret_cast<const CQMenuItem*>(d->itemData)});
        }
        const int before = m_nDrawCount;
        CQMenu::DrawItem(d);
        if (before + 1 == m_nItemCount && m_nDrawCount == 0 && m_bmpBand.GetSafeHandle()) {
            ++bandPaints;
            bandItem = d->itemID;
            bandRect = d->rcItem;
        }
    }
};

class TrayShowingTest : public CQMenuTest {
protected:
    UINT Show(CQMenu& menu) {
        const UINT id = menu.TrackPopupMenu(TPM_RIGHTBUTTON, 40, 40, ToHwnd(&owner));
        QCoreApplication::sendPostedEvents(&owner);
        return id;
    }
    Owner owner;
};

TEST_F(TrayShowingTest, BandIsPaintedOnceDespiteSelectionChangesAndChoiceIsPosted) {
    BasicTrayMenu<CountingMenu> tray;
    CountingMenu& counting = tray.menu;
    QImage shown;
    WhileOpen([&](QWidget* popup) {
        for (int i = 0; i < 23; ++i) {
            Key(popup, Qt::Key_Down);
        }
        Key(popup, Qt::Key_Home);
        Key(popup, Qt::Key_End);
        shown = popup->grab().toImage();
        Key(popup, Qt::Key_Return);
    });
    // The bottom item is chosen and reaches the owner as its command.
    EXPECT_EQ(Show(counting), 1034u);
    EXPECT_EQ(owner.commands, std::vector<int>{1034});
    EXPECT_EQ(counting.bandPaints, 1);
    EXPECT_EQ(counting.bandItem, 1034u);
    // The column is 202 pixels high, so its top shows picture row 16.
    const CRect& r = counting.bandRect;
    EXPECT_EQ(Pixel(shown, r.left, r.bottom - 1), BandRowColour(217));
    EXPECT_EQ(Pixel(shown, r.left + 15, r.bottom - 202), BandRowColour(16));
    EXPECT_NE(Pixel(shown, r.left, r.bottom - 203), QColor(100, 100, 100));
    // Every item is owner-drawn, painted from its own record top to bottom,
    // and wide enough for its text.
    ASSERT_EQ(counting.fullPaints.size(), 10u);
    const CClientDC dc(ToHwnd(&owner));
    for (std::size_t pos = 0; pos < 10; ++pos) {
        const auto& [rc, record] = counting.fullPaints[pos];
        EXPECT_EQ(record, &tray.items[kTrayRecords[pos]]) << pos;
        EXPECT_LE(rc.left + 45 + dc.GetTextExtent(record->m_strText).cx, rc.right) << pos;
    }
}

TEST_F(TrayShowingTest, ManyShowingsLeaveNoMenusIconsBitmapsOrMemoryBehind) {
    const auto testIcon = MakeIcon(Qt::blue);
    const int menus = LiveMenuCount();
    const int pictures = Picture::LiveCount();
    const auto showOnce = [&](int i) {
        auto tray = std::make_unique<TrayMenu>();
        tray->items[7].SetIcon(testIcon.get());  // replaces a loaded icon
        tray->items[6].SetIcon(nullptr);
        tray->items[6].SetChecked(true);
        WhileOpen([i](QWidget* popup) {
            Key(popup, Qt::Key_Down);
            Key(popup, i % 2 == 0 ? Qt::Key_Up : Qt::Key_Down);
        });
        Show(tray->menu);
        if (i % 2 == 0) {
            tray->menu.DestroyMenu();  // the menu destroys its popup before the bar goes
        }
    };
    for (int i = 0; i < 20; ++i) {
        showOnce(i);
    }
    const long rssBefore = ResidentKiB();
    for (int i = 0; i < 400; ++i) {
        showOnce(i);
    }
    const long growth = ResidentKiB() - rssBefore;
    EXPECT_EQ(LiveMenuCount(), menus);
    EXPECT_EQ(Picture::LiveCount(), pictures);
    if (!kFreedMemoryIsHeldBack) {
        EXPECT_LT(growth, 4096) << "KiB";
    }
    EXPECT_TRUE(owner.commands.empty());
}

}  // namespace
}  // namespace menutest
