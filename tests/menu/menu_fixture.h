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
#include "res/traymenu.h"
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
inline std::unique_ptr<Picture> MakeIcon(const QColor& colour) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(3, 3, 10, 10, colour);
    return std::make_unique<Picture>(QPixmap::fromImage(image));
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
    return new Picture(QPixmap::fromImage(image));
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

// Menu resource 150: a bar whose one popup holds the placeholder.
inline void LoadTrayMenuBar(CMenu& bar) {
    CMenu popup;
    ASSERT_TRUE(bar.CreateMenu() && popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_MENU_PLACEHOLDER, kTrayMenuPlaceholderText);
    ASSERT_TRUE(
        bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), kTrayMenuPopupText));
}

// The tray menu as the tray builds it: the popup of menu resource 150, band
// 16 x 218 in grey 100, the records inserted as the tray's steps say, the
// placeholder removed; a test's own band picture.
template <class Menu>
struct BasicTrayMenu {
    explicit BasicTrayMenu(HBITMAP hBand = MakeBandBitmap()) {
        LoadTrayMenuBar(bar);
        menu.Attach(bar.GetSubMenu(0));
        menu.SetBandBitmap(hBand);
        menu.SetItemCount(kTrayMenuItemCount);
        menu.SetBandSize(CSize(16, 218));
        menu.SetBandColor(RGB(100, 100, 100));
        for (int i = 0; i < kTrayMenuItemCount; ++i) {
            const TrayMenuStep& step = kTrayMenuSteps[i];
            if (step.text == nullptr) {
                items[i].SetSeparator(true);
            } else {
                items[i].LoadIcon(static_cast<UINT>(step.icon));
                items[i].SetText(step.text);
            }
            menu.InsertItem(static_cast<UINT>(step.id), &items[i], step.position);
        }
        menu.RemoveMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND);
    }
    ~BasicTrayMenu() {
        // The popup goes with the bar, so the menu lets go of it first.
        menu.Detach();
        bar.DestroyMenu();
    }

    CMenu bar;
    CQMenuItem items[kTrayMenuItemCount];
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
