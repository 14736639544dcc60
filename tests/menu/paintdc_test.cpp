// The painting context: fills, text, icons, frames, edges and block copies.
#include <QFontMetrics>

#include "menu_fixture.h"

namespace menutest {
namespace {

using PaintDcTest = MenuTest;

// The columns in which a row holds any pixel of `colour`-ish ink (not the
// untouched or background colour).
std::vector<int> InkColumns(const QImage& image, const QRect& area, const QColor& background) {
    std::vector<int> columns;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (Pixel(image, x, y) != background && Pixel(image, x, y) != kUntouched) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST_F(PaintDcTest, SystemColoursAreReadFromThePaletteAtEveryUse) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(200, 200, 190));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(30, 0, 0));
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    QApplication::setPalette(palette);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
    EXPECT_EQ(GetSysColor(999), 0u);
}

TEST_F(PaintDcTest, TextIsOneLineCentredLeftAlignedOnItsBackground) {
    Surface s;
    s.dc->SetTextColor(RGB(0, 0, 0));
    s.dc->SetBkColor(RGB(0, 200, 0));
    CRect rc(20, 10, 60, 50);
    const int height = s.dc->DrawText("HHHHHHHHHH", &rc, DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    const QImage& image = s.Done();
    const QFontMetrics metrics(QApplication::font());
    EXPECT_EQ(height, metrics.height());
    const int top = (10 + 50 - height) / 2;
    // The background fills the text's cell, which starts at the left edge and
    // runs past the rectangle because nothing is clipped.
    EXPECT_EQ(Pixel(image, 20, top), QColor(0, 200, 0));
    EXPECT_EQ(Pixel(image, 20, top - 1), kUntouched);
    EXPECT_EQ(Pixel(image, 20, top + height), kUntouched);
    const auto ink = InkColumns(image, QRect(0, top, 200, height), QColor(0, 200, 0));
    ASSERT_FALSE(ink.empty());
    EXPECT_LE(ink.front(), 22);
    EXPECT_GT(ink.back(), 60);
}

TEST_F(PaintDcTest, TextIsClippedWithoutNoClip) {
    Surface s;
    s.dc->SetBkMode(TRANSPARENT);
    CRect rc(20, 10, 40, 40);
    s.dc->DrawText("HHHHHHHHHH", &rc, DT_VCENTER | DT_SINGLELINE);
    const auto ink = InkColumns(s.Done(), QRect(0, 0, 200, 60), kUntouched);
    ASSERT_FALSE(ink.empty());
    EXPECT_LT(ink.back(), 40);
}

TEST_F(PaintDcTest, AmpersandUnderlinesTheNextCharacterAndDoubledIsLiteral) {
    const auto draw = [](const char* text, UINT extra) {
        Surface s;
        s.dc->SetBkMode(TRANSPARENT);
        CRect rc(10, 0, 100, 30);
        s.dc->DrawText(text, &rc, DT_SINGLELINE | extra);
        return s.Done();
    };
    EXPECT_EQ(draw("A&&B", 0), draw("A&B", DT_NOPREFIX));
    const QImage plain = draw("HxH", 0);
    const QImage marked = draw("H&xH", 0);
    ASSERT_NE(plain, marked);
    // Only pixels under the 'x' differ, and they are all below the baseline.
    const QFontMetrics metrics(QApplication::font());
    const int left = 10 + metrics.horizontalAdvance(QStringLiteral("H"));
    const int right = left + metrics.horizontalAdvance(QStringLiteral("x"));
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            if (plain.pixel(x, y) != marked.pixel(x, y)) {
                EXPECT_GE(x, left);
                EXPECT_LT(x, right);
                EXPECT_GE(y, metrics.ascent());
            }
        }
    }
}

TEST_F(PaintDcTest, IconsDrawInTheirColoursOrAsOneSilhouetteColour) {
    const auto red = MakeIcon(Qt::red);
    const auto blue = MakeIcon(Qt::blue);
    Surface s;
    EXPECT_TRUE(s.dc->DrawState(CPoint(0, 0), CSize(16, 16), red.get(), DST_ICON, nullptr));
    s.dc->DrawState(CPoint(20, 0), CSize(16, 16), red.get(), DST_ICON | DSS_MONO, nullptr);
    s.dc->DrawState(CPoint(40, 0), CSize(16, 16), blue.get(), DST_ICON | DSS_MONO, nullptr);
    EXPECT_FALSE(s.dc->DrawState(CPoint(60, 0), CSize(16, 16), nullptr, DST_ICON, nullptr));
    const QImage& image = s.Done();
    EXPECT_EQ(Pixel(image, 3, 3), QColor(Qt::red));
    EXPECT_EQ(Pixel(image, 2, 2), kUntouched);
    EXPECT_EQ(Pixel(image, 23, 12), ToQColor(MONO_ICON_COLOR));
    EXPECT_EQ(Pixel(image, 43, 3), ToQColor(MONO_ICON_COLOR));
    EXPECT_EQ(Pixel(image, 22, 3), kUntouched);
    EXPECT_EQ(Pixel(image, 63, 3), kUntouched);
}

TEST_F(PaintDcTest, BlockCopyComesFromTheBitmapSelectedIntoAMemoryContext) {
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateFromPixmap(MakeBandPicture(20, 30)));
    Surface s;
    CDC dcMem;
    EXPECT_FALSE(s.dc->BitBlt(0, 0, 4, 4, &dcMem, 0, 0, SRCCOPY));
    ASSERT_TRUE(dcMem.CreateCompatibleDC(s.dc.get()));
    EXPECT_EQ(dcMem.SelectObject(&bitmap), nullptr);
    EXPECT_FALSE(s.dc->BitBlt(0, 0, 4, 4, &dcMem, 0, 0, 0x00EE0086));
    EXPECT_TRUE(s.dc->BitBlt(100, 50, 10, 40, &dcMem, 2, 5, SRCCOPY));
    EXPECT_EQ(dcMem.SelectObject(nullptr), &bitmap);
    const QImage& image = s.Done();
    EXPECT_EQ(Pixel(image, 100, 50), BandRowColour(5));
    EXPECT_EQ(Pixel(image, 109, 74), BandRowColour(29));
    // Rows past the bitmap's bottom are left alone.
    EXPECT_EQ(Pixel(image, 100, 75), kUntouched);
}

TEST_F(PaintDcTest, WindowContextMeasuresInTheWindowsOwnFont) {
    QWidget window;
    QFont big = QApplication::font();
    big.setPixelSize(30);
    window.setFont(big);
    const CClientDC windowDc(ToHwnd(&window));
    const CClientDC defaultDc(nullptr);
    const CSize bigSize = windowDc.GetTextExtent("Play");
    const CSize smallSize = defaultDc.GetTextExtent("Play");
    EXPECT_GE(bigSize.cy, 30);
    EXPECT_LT(smallSize.cy, 20);
    EXPECT_GT(bigSize.cx, smallSize.cx);
    // Ampersands are measured as characters.
    EXPECT_GT(defaultDc.GetTextExtent("&Play").cx, smallSize.cx);
}

TEST_F(PaintDcTest, BitmapHandlesAreOwnedByWhoeverHoldsThem) {
    const int before = BitmapImage::LiveCount();
    HBITMAP hDetached = nullptr;
    {
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.CreateFromPixmap(MakeBandPicture(4, 4)));
        EXPECT_FALSE(bitmap.CreateFromPixmap(MakeBandPicture(4, 4)));
        hDetached = bitmap.Detach();
        EXPECT_FALSE(bitmap.DeleteObject());
    }
    EXPECT_EQ(BitmapImage::LiveCount(), before + 1);
    {
        CBitmap taker;
        EXPECT_TRUE(taker.Attach(hDetached));
        EXPECT_FALSE(taker.Attach(hDetached));
    }
    EXPECT_EQ(BitmapImage::LiveCount(), before);
}

}  // namespace
}  // namespace menutest
