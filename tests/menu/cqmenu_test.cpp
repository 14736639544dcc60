// CQMenu: building, measuring, painting items and the band, and whole
// showings of the tray menu.
#include <QFile>

#include <unistd.h>

#include <fstream>

#include "menu_fixture.h"

namespace menutest {
namespace {

using CQMenuTest = MenuTest;

// Counts the band paints and remembers the rectangle of the item that made one.
class CountingMenu : public TestMenu {
public:
    int bandPaints = 0;
    UINT bandItem = 0;
    CRect bandRect;
    std::vector<std::pair<CRect, CString>> fullPaints;

    void DrawItem(LPDRAWITEMSTRUCT d) override {
        if ((d->itemAction & ODA_DRAWENTIRE) != 0) {
            fullPaints.emplace_back(d->rcItem,
                                    reinterpret_cast<const CQMenuItem*>(d->itemData)->m_strText);
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

TEST_F(CQMenuTest, EveryNewMenuStartsFromTheSameInitialValues) {
    for (int i = 0; i < 2; ++i) {
        TestMenu menu;
        EXPECT_EQ(menu.m_nSepCount, 0);
        EXPECT_EQ(menu.m_nMaxRight, 50);
        EXPECT_EQ(menu.m_nItemHeight, 20);
        EXPECT_EQ(menu.m_nDrawCount, 0);
        EXPECT_EQ(menu.m_nMenuHeight, 16);
        EXPECT_EQ(menu.m_nItemCount, 0);
        EXPECT_EQ(menu.m_crBand, 0x00FF0000u);
        EXPECT_EQ(menu.m_sizeBand, CSize(20, 60));
        EXPECT_EQ(menu.m_bmpBand.GetSafeHandle(), nullptr);
        EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
        menu.SetItemCount(10);
        EXPECT_EQ(menu.GetMenuSize(), CSize(124, 232));
        menu.SetBandSize(CSize(1, 2));  // changes that the next menu must not see
        menu.m_nDrawCount = 7;
    }
}

TEST_F(CQMenuTest, MenuWithoutAHandleIgnoresItemChanges) {
    const int before = LiveMenuCount();
    TestMenu menu;
    CQMenuItem item;
    menu.AppendItem(1, &item);
    menu.InsertItem(2, &item, 0);
    menu.ModifyItem(0, 3, &item);
    EXPECT_EQ(menu.GetMenuItemCount(), -1);
    EXPECT_EQ(LiveMenuCount(), before);
}

TEST_F(CQMenuTest, TrayMenuEndsInItsFinalOrderWithOwnerDrawnRecords) {
    TrayMenu tray;
    const UINT expected[] = {1041, 1045, 1040, 1039, 1038, 1037, 1036, 1035, 1044, 1034};
    const int records[] = {7, 8, 6, 5, 4, 3, 2, 1, 9, 0};
    ASSERT_EQ(tray.menu.GetMenuItemCount(), 10);
    const HMENU hMenu = tray.menu.GetSafeHmenu();
    for (int pos = 0; pos < 10; ++pos) {
        EXPECT_EQ(tray.menu.GetMenuItemID(pos), expected[pos]) << pos;
        EXPECT_EQ(GetMenuState(hMenu, static_cast<UINT>(pos), MF_BYPOSITION), MF_OWNERDRAW);
        EXPECT_EQ(GetMenuItemData(hMenu, static_cast<UINT>(pos), MF_BYPOSITION),
                  reinterpret_cast<ULONG_PTR>(&tray.items[records[pos]]));
    }
}

TEST_F(CQMenuTest, TextItemsMeasureTheirTextAndSeparatorsFivePixels) {
    TrayMenu tray;
    const CSize extent = CClientDC(nullptr).GetTextExtent(" First");
    ASSERT_LT(extent.cy, 20);
    const MEASUREITEMSTRUCT first = Measure(tray.menu, tray.items[6]);
    EXPECT_EQ(first.itemHeight, 24u);
    EXPECT_EQ(first.itemWidth, static_cast<UINT>(extent.cx + 42));
    EXPECT_EQ(tray.menu.m_nMenuHeight, 240);

    const MEASUREITEMSTRUCT separator = Measure(tray.menu, tray.items[8], 77);
    EXPECT_EQ(separator.itemHeight, 5u);
    EXPECT_EQ(separator.itemWidth, 77u);
    EXPECT_EQ(tray.menu.m_nMenuHeight, 240);

    CQMenuItem empty;
    EXPECT_EQ(Measure(tray.menu, empty).itemWidth, 42u);

    QFont tall = QApplication::font();
    tall.setPixelSize(26);
    QApplication::setFont(tall);
    const int tallHeight = CClientDC(nullptr).GetTextExtent(" First").cy;
    ASSERT_GT(tallHeight, 20);
    EXPECT_EQ(Measure(tray.menu, tray.items[6]).itemHeight, static_cast<UINT>(tallHeight + 4));
    EXPECT_EQ(tray.menu.m_nMenuHeight, 10 * (tallHeight + 4));
}

// One text item of the tray menu (band 16 wide) painted in R = (10, 40, 200, 64).
class ItemPaintTest : public CQMenuTest {
protected:
    void SetUp() override {
        CQMenuTest::SetUp();
        item.SetIcon(icon.get());
        item.SetText("HHH");
    }
    void Draw(UINT action, UINT state = 0) {
        DRAWITEMSTRUCT d = DrawRequest(surface.dc.get(), R, &item, action, state);
        tray.menu.DrawItem(&d);
    }

    const CRect R{10, 40, 200, 64};
    std::unique_ptr<IconImage> icon = MakeIcon(Qt::red);
    CQMenuItem item;
    TrayMenu tray;
    Surface surface;
};

TEST_F(ItemPaintTest, FullPaintShowsTheSilhouetteAndTextRightOfTheBandColumn) {
    Draw(ODA_DRAWENTIRE);
    const QImage& image = surface.Done();
    EXPECT_EQ(Pixel(image, 31 + 3, 43 + 3), ToQColor(MONO_ICON_COLOR));  // icon at R.left + 21
    EXPECT_EQ(Pixel(image, 31 + 2, 43 + 3), kUntouched);
    EXPECT_EQ(Pixel(image, 10, 50), kUntouched);  // the band column is left alone
    EXPECT_EQ(Pixel(image, 54, 50), kUntouched);
    EXPECT_EQ(Pixel(image, 55, 40), kFace);
    EXPECT_EQ(Pixel(image, 199, 63), kFace);
    int firstInk = -1;
    for (int x = 55; x < 200 && firstInk < 0; ++x) {
        for (int y = 40; y < 64; ++y) {
            if (Pixel(image, x, y) != kFace) {
                firstInk = x;
                break;
            }
        }
    }
    EXPECT_GE(firstInk, 55);  // text at R.left + 45
    EXPECT_LE(firstInk, 57);
    EXPECT_EQ(CountYellow(image, QRect(55, 40, 145, 24)), 0);
}

TEST_F(ItemPaintTest, HotItemShowsColourIconYellowTextAndASunkenFrame) {
    Draw(ODA_DRAWENTIRE);
    Draw(ODA_SELECT, ODS_SELECTED);
    const QImage& image = surface.Done();
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
}

TEST_F(ItemPaintTest, ItemLosingTheMouseReturnsToItsNormalLook) {
    Draw(ODA_DRAWENTIRE, ODS_SELECTED);
    Draw(ODA_SELECT, 0);
    const QImage& image = surface.Done();
    EXPECT_EQ(Pixel(image, 34, 46), ToQColor(MONO_ICON_COLOR));
    EXPECT_EQ(CountYellow(image, QRect(55, 40, 145, 24)), 0);
    for (const QPoint p : {QPoint(54, 41), QPoint(199, 41), QPoint(54, 61), QPoint(199, 61)}) {
        EXPECT_EQ(Pixel(image, p.x(), p.y()), kFace) << p.x() << "," << p.y();
    }
}

TEST_F(ItemPaintTest, ItemWithoutIconOrCheckMarkKeepsTheIconColumn) {
    item.SetIcon(nullptr);
    Draw(ODA_DRAWENTIRE);
    const QImage& image = surface.Done();
    EXPECT_EQ(Pixel(image, 34, 46), kUntouched);
    EXPECT_EQ(Pixel(image, 54, 50), kUntouched);
    EXPECT_EQ(Pixel(image, 55, 41), kFace);
}

TEST_F(ItemPaintTest, FocusOnlyRequestPaintsNothingButCounts) {
    const int before = tray.menu.m_nDrawCount;
    Draw(ODA_FOCUS, ODS_SELECTED);
    EXPECT_EQ(tray.menu.m_nDrawCount, before + 1);
    const QImage& image = surface.Done();
    QImage blank(image.size(), image.format());
    blank.fill(kUntouched);
    EXPECT_EQ(image, blank);
}

TEST_F(ItemPaintTest, SeparatorLineStartsRightOfTheBandOnlyWhenThereIsAPicture) {
    CQMenuItem separator;
    separator.SetSeparator(true);
    TestMenu bare;
    bare.SetBandSize(CSize(16, 218));
    DRAWITEMSTRUCT withBand = DrawRequest(surface.dc.get(), CRect(10, 100, 200, 105), &separator,
                                          ODA_DRAWENTIRE, ODS_SELECTED);
    tray.menu.DrawItem(&withBand);
    DRAWITEMSTRUCT without =
        DrawRequest(surface.dc.get(), CRect(10, 120, 200, 125), &separator, ODA_DRAWENTIRE);
    bare.DrawItem(&without);
    EXPECT_EQ(tray.menu.m_nSepCount, 1);
    const QImage& image = surface.Done();
    EXPECT_EQ(Pixel(image, 25, 100), kUntouched);
    EXPECT_EQ(Pixel(image, 26, 100), kShadow);
    EXPECT_EQ(Pixel(image, 26, 101), kHilight);
    EXPECT_EQ(Pixel(image, 120, 102), kUntouched);  // nothing else, even when hot
    EXPECT_EQ(Pixel(image, 10, 120), kShadow);
    EXPECT_EQ(Pixel(image, 10, 121), kHilight);
}

// Paints tray items one after another as the popup's first paint does, the
// column starting at y = 60 and x = 10.
struct TrayColumn {
    explicit TrayColumn(HBITMAP hBand = MakeBandBitmap(), CSize band = CSize(16, 218))
        : tray(hBand, band) {}

    void Paint(int count) {
        const int records[] = {7, 8, 6, 5, 4, 3, 2, 1, 9, 0};
        for (int i = 0; i < count; ++i, ++pos) {
            const CQMenuItem& item = tray.items[records[pos]];
            const int height = static_cast<int>(Measure(tray.menu, item).itemHeight);
            last = CRect(10, top, 200, top + height);
            DRAWITEMSTRUCT d = DrawRequest(surface.dc.get(), last, &item, ODA_DRAWENTIRE);
            tray.menu.DrawItem(&d);
            top += height;
        }
    }

    TrayMenu tray;
    Surface surface;
    int top = 60;
    int pos = 0;
    CRect last;
};

TEST_F(CQMenuTest, BandPictureSitsAtTheFootOfTheColumnWithTheColourAboveIt) {
    TrayColumn column;
    column.Paint(9);
    EXPECT_EQ(Pixel(column.surface.image, 10, 200), kUntouched);  // not before the tenth paint
    column.Paint(1);
    EXPECT_EQ(column.tray.menu.m_nDrawCount, 0);
    const int bottom = column.last.bottom;
    ASSERT_EQ(bottom, 60 + 8 * 24 + 2 * 5);
    const QImage& image = column.surface.Done();
    for (const int row : {0, 1, 100, 216, 217}) {
        EXPECT_EQ(Pixel(image, 10, bottom - 218 + row), BandRowColour(row)) << row;
        EXPECT_EQ(Pixel(image, 25, bottom - 218 + row), BandRowColour(row)) << row;
    }
    EXPECT_EQ(Pixel(image, 26, bottom - 100), kUntouched);  // only the left 16 columns
    const QColor fill(100, 100, 100);
    EXPECT_EQ(Pixel(image, 10, bottom - 240), fill);
    EXPECT_EQ(Pixel(image, 25, bottom - 219), fill);
    EXPECT_EQ(Pixel(image, 10, bottom - 241), kUntouched);
    EXPECT_EQ(Pixel(image, 10, bottom), kUntouched);
}

TEST_F(CQMenuTest, ColumnNoTallerThanThePictureShowsOnlyItsTopRows) {
    TrayColumn column(MakeBandBitmap(38, 300), CSize(16, 240));
    column.Paint(10);
    const int bottom = column.last.bottom;
    const QImage& image = column.surface.Done();
    EXPECT_EQ(Pixel(image, 10, bottom - 240), BandRowColour(0));
    EXPECT_EQ(Pixel(image, 10, bottom - 1), BandRowColour(239));
    EXPECT_EQ(Pixel(image, 10, bottom - 241), kUntouched);
}

TEST_F(CQMenuTest, WithoutAPictureTheBandIsSkippedButTheCountStillResets) {
    TrayMenu tray(nullptr);
    EXPECT_EQ(tray.menu.m_bmpBand.GetSafeHandle(), nullptr);
    Surface surface;
    const CQMenuItem& exit = tray.items[0];
    for (int i = 0; i < 10; ++i) {
        DRAWITEMSTRUCT d =
            DrawRequest(surface.dc.get(), CRect(10, 300, 200, 324), &exit, ODA_DRAWENTIRE);
        tray.menu.DrawItem(&d);
    }
    EXPECT_EQ(tray.menu.m_nDrawCount, 0);
    for (int y = 0; y < 324; y += 3) {
        ASSERT_EQ(Pixel(surface.image, 12, y), kUntouched) << y;
    }
}

TEST_F(CQMenuTest, MenuOwnsOneBandPictureAndReleasesAnyOther) {
    const int before = BitmapImage::LiveCount();
    {
        TestMenu menu;
        menu.SetBandBitmap(nullptr);
        EXPECT_EQ(menu.m_bmpBand.GetSafeHandle(), nullptr);
        const HBITMAP hFirst = MakeBandBitmap();
        menu.SetBandBitmap(hFirst);
        menu.SetBandBitmap(hFirst);
        menu.SetBandBitmap(MakeBandBitmap());
        EXPECT_EQ(menu.m_bmpBand.GetSafeHandle(), hFirst);
        EXPECT_EQ(BitmapImage::LiveCount(), before + 1);
    }
    EXPECT_EQ(BitmapImage::LiveCount(), before);
}

TEST_F(CQMenuTest, RecordsReleaseOnlyTheIconsTheyLoadedThemselves) {
    const int before = IconImage::LiveCount();
    const auto own = MakeIcon(Qt::green);
    {
        CQMenuItem item;
        item.LoadIcon(60000);
        EXPECT_EQ(item.m_hIcon, nullptr);
        item.SetIcon(own.get());
    }
    EXPECT_EQ(IconImage::LiveCount(), before + 1);
    if (!QFile::exists(QStringLiteral(":/res/194.png"))) {
        GTEST_SKIP() << "icon resource 194 is not built in";
    }
    {
        CQMenuItem item;
        item.LoadIcon(IDI_MENU_EXIT);
        EXPECT_NE(item.m_hIcon, nullptr);
        item.LoadIcon(IDI_MENU_EXIT);
        EXPECT_EQ(IconImage::LiveCount(), before + 2);
    }
    EXPECT_EQ(IconImage::LiveCount(), before + 1);
}

TEST_F(CQMenuTest, CheckMarkIsLoadedOncePerMenuAndGoesWithIt) {
    if (!QFile::exists(QStringLiteral(":/res/149.png"))) {
        GTEST_SKIP() << "icon resource 149 is not built in";
    }
    const int before = IconImage::LiveCount();
    {
        TestMenu menu;
        CQMenuItem item;
        item.SetChecked(true);
        Surface surface;
        for (int i = 0; i < 5; ++i) {
            DRAWITEMSTRUCT d =
                DrawRequest(surface.dc.get(), CRect(0, 0, 100, 24), &item, ODA_DRAWENTIRE);
            menu.DrawItem(&d);
        }
        EXPECT_EQ(IconImage::LiveCount(), before + 1);
        const QImage& image = surface.Done();
        bool painted = false;
        for (int y = 3; y < 19; ++y) {
            for (int x = 25; x < 41; ++x) {
                painted = painted || Pixel(image, x, y) != kUntouched;
            }
        }
        EXPECT_TRUE(painted);
    }
    EXPECT_EQ(IconImage::LiveCount(), before);
}

class TrayShowingTest : public CQMenuTest {
protected:
    UINT Show(CQMenu& menu, UINT flags = TPM_RIGHTBUTTON) {
        const UINT id = menu.TrackPopupMenu(flags, 40, 40, ToHwnd(&owner));
        QCoreApplication::sendPostedEvents(&owner);
        return id;
    }
    Owner owner;
};

TEST_F(TrayShowingTest, BandIsPaintedOnceFromTheBottomItemDespiteSelectionChanges) {
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
    });
    EXPECT_EQ(Show(counting), 0u);
    EXPECT_EQ(counting.bandPaints, 1);
    EXPECT_EQ(counting.bandItem, 1034u);
    // The column is 202 pixels high, so its top shows picture row 16.
    const CRect& r = counting.bandRect;
    EXPECT_EQ(Pixel(shown, r.left, r.bottom - 1), BandRowColour(217));
    EXPECT_EQ(Pixel(shown, r.left + 15, r.bottom - 202), BandRowColour(16));
    EXPECT_NE(Pixel(shown, r.left, r.bottom - 203), QColor(100, 100, 100));
}

TEST_F(TrayShowingTest, EveryTextEndsInsideItsItem) {
    BasicTrayMenu<CountingMenu> tray;
    WhileOpen([](QWidget*) {});
    Show(tray.menu);
    ASSERT_EQ(tray.menu.fullPaints.size(), 10u);
    const CClientDC dc(ToHwnd(&owner));
    for (const auto& [rc, text] : tray.menu.fullPaints) {
        EXPECT_LE(rc.left + 45 + dc.GetTextExtent(text).cx, rc.right) << text;
    }
}

TEST_F(TrayShowingTest, ChosenItemsReachTheOwnerAsCommandsSeparatorsIncluded) {
    TrayMenu tray;
    WhileOpen([](QWidget* popup) {
        Key(popup, Qt::Key_Down);
        Key(popup, Qt::Key_Return);
    });
    EXPECT_EQ(Show(tray.menu), 1041u);
    WhileOpen([](QWidget* popup) {
        Key(popup, Qt::Key_Down);
        Key(popup, Qt::Key_Down);
        Key(popup, Qt::Key_Return);
    });
    EXPECT_EQ(Show(tray.menu), 1045u);
    EXPECT_EQ(owner.commands, (std::vector<int>{1041, 1045}));
}

// AddressSanitizer keeps freed memory in quarantine, so there the resident
// size says nothing about leaks; the live counts still do.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentSizeTellsLeaks = false;
#else
constexpr bool kResidentSizeTellsLeaks = true;
#endif

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST_F(TrayShowingTest, ManyShowingsLeaveNoMenusIconsBitmapsOrMemoryBehind) {
    const auto testIcon = MakeIcon(Qt::blue);
    const int menus = LiveMenuCount();
    const int icons = IconImage::LiveCount();
    const int bitmaps = BitmapImage::LiveCount();
    const auto showOnce = [&](int i) {
        auto tray = std::make_unique<TrayMenu>();
        tray->items[7].SetIcon(testIcon.get());
        tray->items[6].SetIcon(nullptr);
        tray->items[6].SetChecked(true);
        WhileOpen([i](QWidget* popup) {
            Key(popup, Qt::Key_Down);
            Key(popup, i % 2 == 0 ? Qt::Key_Up : Qt::Key_Down);
        });
        Show(tray->menu);
        if (i % 2 == 0) {
            // The other way round: the menu destroys its popup, then the bar goes.
            tray->menu.DestroyMenu();
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
    EXPECT_EQ(IconImage::LiveCount(), icons);
    EXPECT_EQ(BitmapImage::LiveCount(), bitmaps);
    if (kResidentSizeTellsLeaks) {
        EXPECT_LT(growth, 4096) << "KiB";
    }
    EXPECT_TRUE(owner.commands.empty());
}

}  // namespace
}  // namespace menutest
