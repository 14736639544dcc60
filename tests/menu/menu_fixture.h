// Helpers for the menu tests: a palette with distinct colours, pictures made
// here, a surface to paint on, and a way to act on the popup while it tracks.
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
#include "platform/paintdc.h"
#include "platform/popupmenu.h"
#include "platform/wnd_qt.h"
#include "res/resource.h"

namespace menutest {

using namespace platform;

inline const QColor kFace(200, 200, 190);
inline const QColor kButtonText(10, 10, 60);
inline const QColor kShadow(120, 120, 120);   // COLOR_3DSHADOW
inline const QColor kDarkShadow(30, 0, 0);    // COLOR_3DDKSHADOW
inline const QColor kHilight(255, 250, 240);  // COLOR_3DHILIGHT
inline const QColor kUntouched(255, 0, 255);  // what the tests paint before the menu

// Puts a palette with known colours and a small fixed font in place for one
// test, and the previous ones back afterwards.
class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldPalette = QApplication::palette();
        m_oldFont = QApplication::font();
        QPalette palette = m_oldPalette;
        palette.setColor(QPalette::Button, kFace);
        palette.setColor(QPalette::ButtonText, kButtonText);
        palette.setColor(QPalette::Dark, kShadow);
        palette.setColor(QPalette::Shadow, kDarkShadow);
        palette.setColor(QPalette::Light, kHilight);
        QApplication::setPalette(palette);
        QApplication::setFont(SmallFont());
    }
    void TearDown() override {
        QApplication::setPalette(m_oldPalette);
        QApplication::setFont(m_oldFont);
    }

    static QFont SmallFont() {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        return font;
    }

private:
    QPalette m_oldPalette;
    QFont m_oldFont;
};

// A 16 x 16 icon: an opaque 10 x 10 square of `colour` at (3, 3), transparent
// around it.
inline std::unique_ptr<IconImage> MakeIcon(const QColor& colour) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(3, 3, 10, 10, colour);
    return std::make_unique<IconImage>(QPixmap::fromImage(image));
}

// A band picture in which row y of the left 16 columns has a colour of its own
// and everything right of them is plain grey.
inline QColor BandRowColour(int y) {
    return QColor(y % 256, 255 - y % 256, 40 + y / 256 * 100);
}
inline QPixmap MakeBandPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < 16 && x < width; ++x) {
            image.setPixelColor(x, y, BandRowColour(y));
        }
    }
    return QPixmap::fromImage(image);
}
inline HBITMAP MakeBandBitmap(int width = 38, int height = 219) {
    return new BitmapImage(MakeBandPicture(width, height));
}

inline QColor Pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// An image to paint on, filled with kUntouched, and a context over it.
struct Surface {
    explicit Surface(int width = 260, int height = 420)
        : image(width, height, QImage::Format_RGB32) {
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

inline DRAWITEMSTRUCT DrawRequest(CDC* pDC, const CRect& rc, const CQMenuItem* pItem, UINT action,
                                  UINT state = 0) {
    return DRAWITEMSTRUCT{
        ODT_MENU, 0, 0, action, state, nullptr, pDC, rc, reinterpret_cast<ULONG_PTR>(pItem)};
}

// CQMenu with its counters readable.
class TestMenu : public CQMenu {
public:
    using CQMenu::m_bmpBand;
    using CQMenu::m_crBand;
    using CQMenu::m_nDrawCount;
    using CQMenu::m_nItemCount;
    using CQMenu::m_nItemHeight;
    using CQMenu::m_nMaxRight;
    using CQMenu::m_nMenuHeight;
    using CQMenu::m_nSepCount;
    using CQMenu::m_sizeBand;
};

// The tray menu, built as the tray builds it: the popup of menu resource 150,
// the band, ten records inserted from the bottom up, separators at 1 and 8,
// the placeholder removed. Picture resources are used when they exist.
template <class Menu>
struct BasicTrayMenu {
    explicit BasicTrayMenu(HBITMAP hBand = MakeBandBitmap(), CSize band = CSize(16, 218)) {
        bar.LoadMenu(IDR_TRAYMENU);
        menu.Attach(bar.GetSubMenu(0));
        menu.SetBandBitmap(hBand);
        menu.SetItemCount(10);
        menu.SetBandSize(band);
        menu.SetBandColor(RGB(100, 100, 100));
        const std::pair<UINT, const char*> commands[] = {
            {1034, " Exit"}, {1035, " Final"}, {1036, " Next"},  {1037, " Stop"},
            {1038, " Play"}, {1039, " Last"},  {1040, " First"}, {1041, "Option"}};
        const UINT icons[] = {194, 137, 138, 134, 135, 133, 131, 192};
        for (int i = 0; i < 8; ++i) {
            items[i].LoadIcon(icons[i]);
            items[i].SetText(commands[i].second);
            menu.InsertItem(commands[i].first, &items[i], 0);
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
    CQMenuItem items[12];
    Menu menu;
};
using TrayMenu = BasicTrayMenu<TestMenu>;

// The open popup window, or null.
inline QWidget* OpenPopup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(POPUP_MENU_OBJECT_NAME) && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

inline void Key(QWidget* popup, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(popup, &event);
}

// Runs `act` on the popup once it is open (from the tracking loop), then
// closes it with Escape if `act` left it open.
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
