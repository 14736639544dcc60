// Helpers for the menu tests: a palette with distinct colours, pictures made
// here, a surface to paint on, the tray menu as the tray builds it, and a way
// to act on the popup while it tracks.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "menu/cqmenu.h"
#include "res/resource.h"
#include "support/popup_menu_driver.h"
#include "wincompat/paintdc.h"
#include "wincompat/popupmenu.h"
#include "wincompat/wnd_qt.h"

namespace menutest {

using namespace platform;

inline const QColor kFace(200, 200, 190);
inline const QColor kShadow(120, 120, 120);   // COLOR_3DSHADOW
inline const QColor kDarkShadow(30, 0, 0);    // COLOR_3DDKSHADOW
inline const QColor kHilight(255, 250, 240);  // COLOR_3DHILIGHT
inline const QColor kUntouched(255, 0, 255);  // what the tests paint before the menu

// Known colours and a small fixed font for one test; the old ones afterwards.
class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        QPalette palette = m_oldPalette;
        palette.setColor(QPalette::Button, kFace);
        palette.setColor(QPalette::ButtonText, QColor(10, 10, 60));
        palette.setColor(QPalette::Dark, kShadow);
        palette.setColor(QPalette::Shadow, kDarkShadow);
        palette.setColor(QPalette::Light, kHilight);
        QApplication::setPalette(palette);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        QApplication::setFont(font);
    }
    void TearDown() override {
        QApplication::setPalette(m_oldPalette);
        QApplication::setFont(m_oldFont);
    }

private:
    QPalette m_oldPalette = QApplication::palette();
    QFont m_oldFont = QApplication::font();
};

// A 16 x 16 icon: an opaque 10 x 10 square of `colour` at (3, 3).
inline std::unique_ptr<IconImage> MakeIcon(const QColor& colour) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(3, 3, 10, 10, colour);
    return std::make_unique<IconImage>(QPixmap::fromImage(image));
}

// A band picture whose rows have colours of their own in the left 16 columns;
// grey right of them.
inline QColor BandRowColour(int y) {
    return QColor(y % 256, 255 - y % 256, 40 + y / 256 * 100);
}
inline HBITMAP MakeBandBitmap() {
    QImage image(38, 219, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < 16; ++x) {
            image.setPixelColor(x, y, BandRowColour(y));
        }
    }
    return new BitmapImage(QPixmap::fromImage(image));
}

inline QColor Pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// An image filled with kUntouched, and a context over it.
struct Surface {
    Surface() : image(260, 420, QImage::Format_RGB32) {
        image.fill(kUntouched);
        painter = std::make_unique<QPainter>(&image);
        dc = std::make_unique<CDC>(painter.get(), QApplication::font());
    }
    // Finishes painting and returns the picture.
    const QImage& Done() {
        dc.reset();
        painter.reset();
        return image;
    }

    QImage image;
    std::unique_ptr<QPainter> painter;
    std::unique_ptr<CDC> dc;
};

inline void DrawOn(CQMenu& menu, CDC* pDC, const CRect& rc, const CQMenuItem& item, UINT action,
                   UINT state = 0) {
    DRAWITEMSTRUCT d{
        ODT_MENU, 0, 0, action, state, nullptr, pDC, rc, reinterpret_cast<ULONG_PTR>(&item)};
    menu.DrawItem(&d);
}

// CQMenu with its counters readable.
class TestMenu : public CQMenu {
public:
    using CQMenu::m_bmpBand;
    using CQMenu::m_nDrawCount;
    using CQMenu::m_nItemCount;
    using CQMenu::m_nMenuHeight;
    using CQMenu::m_nSepCount;
};

// The tray menu as the tray builds it: the popup of menu resource 150, band
// 16 x 218 in grey 100, ten records inserted from the bottom up, separators at
// 1 and 8, the placeholder removed.
template <class Menu>
struct BasicTrayMenu {
    explicit BasicTrayMenu(HBITMAP hBand = MakeBandBitmap()) {
        bar.LoadMenu(IDR_TRAYMENU);
        menu.Attach(bar.GetSubMenu(0));
        menu.SetBandBitmap(hBand);
        menu.SetItemCount(10);
        menu.SetBandSize(CSize(16, 218));
        menu.SetBandColor(RGB(100, 100, 100));
        const char* texts[] = {" Exit", " Final", " Next",  " Stop",
                               " Play", " Last",  " First", "Option"};
        const UINT icons[] = {194, 137, 138, 134, 135, 133, 131, 192};
        for (UINT i = 0; i < 8; ++i) {
            items[i].LoadIcon(icons[i]);
            items[i].SetText(texts[i]);
            menu.InsertItem(1034 + i, &items[i], 0);
        }
        items[8].SetSeparator(true);
        menu.InsertItem(1045, &items[8], 1);
        items[9].SetSeparator(true);
        menu.InsertItem(1044, &items[9], 8);
        menu.RemoveMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND);
    }
    ~BasicTrayMenu() {
        // The popup goes with the bar, so the menu lets go of it first.
        menu.Detach();
        bar.DestroyMenu();
    }

    CMenu bar;
    CQMenuItem items[10];
    Menu menu;
};
using TrayMenu = BasicTrayMenu<TestMenu>;
// The records of the tray menu's items, top to bottom.
inline constexpr int kTrayRecords[] = {7, 8, 6, 5, 4, 3, 2, 1, 9, 0};

using test::Key;
using test::OpenPopup;

// Runs `act` on the popup once it is open, then closes it with Escape if
// `act` left it open.
inline void WhileOpen(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* popup = OpenPopup();
        ASSERT_NE(popup, nullptr);
        act(popup);
        if (QWidget* still = OpenPopup()) {
            Key(still, Qt::Key_Escape);
        }
    });
}

// A window that records the commands posted to it.
class Owner : public QWidget {
public:
    std::vector<int> commands;

protected:
    bool event(QEvent* e) override {
        if (e->type() == CommandEvent::Type()) {
            commands.push_back(static_cast<CommandEvent*>(e)->Id());
            return true;
        }
        return QWidget::event(e);
    }
};

}  // namespace menutest
