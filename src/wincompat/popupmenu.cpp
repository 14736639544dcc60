#include "wincompat/popupmenu.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHideEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "wincompat/wnd_qt.h"

namespace platform {
namespace {

struct MenuItem {
    UINT flags = MF_STRING;  // as given, less MF_BYPOSITION
    UINT id = 0;
    ULONG_PTR data = 0;
    HMENU popup = nullptr;
};

struct MenuData {
    std::vector<MenuItem> items;
    HMENU parent = nullptr;  // the menu holding this one as a popup
    CMenu* holder = nullptr;
};

// The process's menus, kept as the window system would keep them. Handles are
// serial numbers, so a destroyed handle never comes to name a later menu.
struct MenuTable {
    std::unordered_map<std::uintptr_t, std::unique_ptr<MenuData>> menus;
    std::uintptr_t nextHandle = 0x1000;
};

MenuTable& Table() {
    static MenuTable table;
    return table;
}

MenuData* Find(HMENU hMenu) {
    MenuTable& table = Table();
    const auto it = table.menus.find(reinterpret_cast<std::uintptr_t>(hMenu));
    return it == table.menus.end() ? nullptr : it->second.get();
}

HMENU NewMenu() {
    MenuTable& table = Table();
    const std::uintptr_t key = table.nextHandle++;
    table.menus.emplace(key, std::make_unique<MenuData>());
    return reinterpret_cast<HMENU>(key);
}

// The item that the flags describe, to go into `hInto`; none for other flags,
// or for a popup that is invalid, held already, or `hInto` or one holding it.
bool MakeItem(HMENU hInto, UINT nFlags, UINT allowed, UINT_PTR nIDNewItem, ULONG_PTR data,
              MenuItem* pItem) {
    if ((nFlags & ~(allowed | MF_BYPOSITION)) != 0) {
        return false;
    }
    MenuItem item{nFlags & ~MF_BYPOSITION, static_cast<UINT>(nIDNewItem), data, nullptr};
    if ((nFlags & MF_POPUP) != 0) {
        item.popup = reinterpret_cast<HMENU>(nIDNewItem);
        const MenuData* popup = Find(item.popup);
        if (popup == nullptr || popup->parent != nullptr) {
            return false;
        }
        for (HMENU up = hInto; up != nullptr; up = Find(up)->parent) {
            if (up == item.popup) {
                return false;
            }
        }
        item.id = MENU_NO_ITEM;
    }
    *pItem = std::move(item);
    return true;
}

void Adopt(HMENU hParent, const MenuItem& item) {
    if (item.popup != nullptr) {
        Find(item.popup)->parent = hParent;
    }
}

// The popup's own frame around the item column, and the room kept right of an
// owner-drawn item's measured width as the menu keeps it for a check mark:
// owner-drawn texts may end a few pixels past the width their item reports.
constexpr int kFrame = 3;
constexpr int kCheckRoom = 12;
// A hook's answer is trusted only up to this many pixels per item.
constexpr UINT kMaxItemExtent = 2048;

// Whether a popup gets transparent windows of the program's own beneath it,
// one over the whole screen so that it sees a click outside it, one that the
// compositor gives the keyboard: for an X11 client under a Wayland
// compositor (XWayland).
bool PopupNeedsOutsideCatcher() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
}

// Beneath a popup of an X11 client under a Wayland compositor (XWayland),
// transparent windows of the program's own. The X server sees no input over
// other clients' surfaces, so the popup's grab alone misses a click outside
// it; over a window covering the screen, such a click reaches the program,
// which closes the popup. Nor can an X window take the keyboard from a
// Wayland client; the compositor gives it to a new managed window, so one
// under the popup brings Escape to the popup's keyboard grab.
class PopupUnderlay final : public QWidget {
public:
    enum class Kind { Clicks, Keyboard };

    PopupUnderlay(Kind kind, const QRect& geometry) {
        Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
        if (kind == Kind::Clicks) {
            // Placed exactly where asked, as a window manager would not.
            flags |= Qt::X11BypassWindowManagerHint;
        }
        setWindowFlags(flags);
        setWindowTitle(QStringLiteral("melvane menu catcher"));
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(geometry);
    }

    // Stays until the buttons pressed over it are up (a second at most):
    // gone before the release, it would leave the X server holding the
    // button down, and the next click on the tray icon would be lost.
    void AwaitRelease() {
        QElapsedTimer waited;
        waited.start();
        while (QGuiApplication::mouseButtons() != Qt::NoButton && waited.elapsed() < 1000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(event->rect(), Qt::transparent);
    }
};

// The popup window of one tracking. Every item is painted once into a
// retained surface when the popup opens; afterwards only the items whose
// selection changes are painted again, and the window shows the surface.
class PopupWindow final : public QWidget {
public:
    PopupWindow(HMENU hMenu, UINT nFlags, const QFont& font) : m_hMenu(hMenu), m_nFlags(nFlags) {
        setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
        setObjectName(QLatin1String(POPUP_MENU_OBJECT_NAME));
        setWindowTitle(QStringLiteral("melvane menu"));
        setAttribute(Qt::WA_NoMouseReplay);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setFont(font);
    }

    HMENU Menu() const { return m_hMenu; }

    // Measures, places and paints the popup for the point `at`; false when
    // there is nothing to show.
    bool Prepare(QPoint at) {
        const MenuData* menu = Find(m_hMenu);
        if (menu == nullptr || menu->items.empty() ||
            std::any_of(menu->items.begin(), menu->items.end(),
                        [](const MenuItem& item) { return (item.flags & MF_OWNERDRAW) == 0; })) {
            return false;
        }
        const std::vector<MenuItem> items = menu->items;
        const QFontMetrics metrics(font());
        int columnWidth = 0;
        int top = kFrame;
        for (const MenuItem& item : items) {
            MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.id, 0, static_cast<UINT>(metrics.height()),
                                      item.data};
            if (CMenu* holder = CMenu::FromHandlePermanent(m_hMenu)) {
                holder->MeasureItem(&measure);
            }
            if (Find(m_hMenu) == nullptr) {
                return false;
            }
            const int width =
                static_cast<int>(std::min(measure.itemWidth, kMaxItemExtent)) + kCheckRoom;
            const int height = static_cast<int>(std::min(measure.itemHeight, kMaxItemExtent));
            m_entries.push_back(Entry{item, QRect(kFrame, top, 0, height)});
            top += height;
            columnWidth = std::max(columnWidth, width);
        }
        for (Entry& entry : m_entries) {
            entry.rect.setWidth(columnWidth);
        }
        m_column = QRect(kFrame, kFrame, columnWidth, top - kFrame);
        const QSize size(columnWidth + 2 * kFrame, top + kFrame);
        setFixedSize(size);

        QScreen* screen = QGuiApplication::screenAt(at);
        if (screen == nullptr) {
            screen = QGuiApplication::primaryScreen();
        }
        if (screen != nullptr) {
            m_screen = screen->geometry();
            move(PlacePopup(at, size, screen->availableGeometry(), m_nFlags));
        } else {
            move(at);
        }
        const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
        m_surface = QImage(size * ratio, QImage::Format_RGB32);
        m_surface.setDevicePixelRatio(ratio);
        if (screen != nullptr) {
            // Text on the surface must come out at the size it was measured.
            m_surface.setDotsPerMeterX(qRound(screen->logicalDotsPerInchX() / 0.0254));
            m_surface.setDotsPerMeterY(qRound(screen->logicalDotsPerInchY() / 0.0254));
        }
        PaintFrame();
        std::vector<Paint> paints;
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            paints.push_back(Paint{static_cast<int>(i), ODA_DRAWENTIRE, 0});
        }
        PaintEntries(paints);
        return true;
    }

    // Shows the popup and returns the chosen command, 0 for none, when it closes.
    UINT Run() {
        std::unique_ptr<PopupUnderlay> catcher;
        std::unique_ptr<PopupUnderlay> keyboard;
        if (PopupNeedsOutsideCatcher()) {
            keyboard = std::make_unique<PopupUnderlay>(PopupUnderlay::Kind::Keyboard, geometry());
            keyboard->show();
            catcher = std::make_unique<PopupUnderlay>(PopupUnderlay::Kind::Clicks, m_screen);
            catcher->show();
        }
        show();
        if (!m_done) {
            QEventLoop loop;
            m_loop = &loop;
            loop.exec();
            m_loop = nullptr;
        }
        hide();
        if (catcher) {
            catcher->AwaitRelease();
        }
        return m_chosen;
    }

    void Cancel() { Finish(0); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setClipRegion(event->region());
        painter.drawImage(QPoint(0, 0), m_surface);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        Select(SelectableAt(event->position().toPoint()));
    }

    void mousePressEvent(QMouseEvent* event) override {
        const QPoint pos = event->position().toPoint();
        if (!rect().contains(pos)) {
            Finish(0);
            return;
        }
        m_pressedHere |= event->button();
        Select(SelectableAt(pos));
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        const Qt::MouseButton button = event->button();
        // The release of a press made before the popup opened, such as the
        // right-button press that opened it, chooses nothing.
        if (!m_pressedHere.testFlag(button)) {
            return;
        }
        m_pressedHere &= ~Qt::MouseButtons(button);
        const bool canChoose = button == Qt::LeftButton ||
                               (button == Qt::RightButton && (m_nFlags & TPM_RIGHTBUTTON) != 0);
        const int index = SelectableAt(event->position().toPoint());
        if (canChoose && index >= 0) {
            Finish(m_entries[static_cast<std::size_t>(index)].item.id);
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Up:
                Select(NextSelectable(m_selected, -1));
                break;
            case Qt::Key_Down:
                Select(NextSelectable(m_selected, +1));
                break;
            case Qt::Key_Home:
                Select(NextSelectable(-1, +1));
                break;
            case Qt::Key_End:
                Select(NextSelectable(-1, -1));
                break;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                Finish(m_selected >= 0 ? m_entries[static_cast<std::size_t>(m_selected)].item.id
                                       : 0);
                break;
            case Qt::Key_Escape:
                Finish(0);
                break;
            default:
                break;
        }
    }

    void hideEvent(QHideEvent* event) override {
        QWidget::hideEvent(event);
        Finish(0);
    }

private:
    struct Entry {
        MenuItem item;
        QRect rect;
    };

    struct Paint {
        int index;
        UINT action;
        UINT state;
    };

    // Every item can be chosen, the owner-drawn separators of the design too.
    int SelectableAt(QPoint pos) const {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].rect.contains(pos)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // The next item from `from` in direction `step`, wrapping around; from -1
    // it starts at either end.
    int NextSelectable(int from, int step) const {
        const int count = static_cast<int>(m_entries.size());
        return from < 0 ? (step > 0 ? 0 : count - 1) : (from + step + count) % count;
    }

    void Select(int index) {
        if (index == m_selected || m_done) {
            return;
        }
        std::vector<Paint> paints;
        if (m_selected >= 0) {
            paints.push_back(Paint{m_selected, ODA_SELECT, 0});
        }
        if (index >= 0) {
            paints.push_back(Paint{index, ODA_SELECT, ODS_SELECTED});
        }
        m_selected = index;
        PaintEntries(paints);
        update();
    }

    void PaintFrame() {
        m_surface.fill(ToQColor(GetSysColor(COLOR_MENU)));
        QPainter painter(&m_surface);
        CDC dc(&painter, font());
        const QSize size = m_surface.size() / m_surface.devicePixelRatio();
        dc.Draw3dRect(0, 0, size.width(), size.height(), GetSysColor(COLOR_3DLIGHT),
                      GetSysColor(COLOR_3DDKSHADOW));
        dc.Draw3dRect(1, 1, size.width() - 2, size.height() - 2, GetSysColor(COLOR_3DHILIGHT),
                      GetSysColor(COLOR_3DSHADOW));
    }

    void PaintEntries(const std::vector<Paint>& paints) {
        if (paints.empty()) {
            return;
        }
        QPainter painter(&m_surface);
        painter.setClipRect(m_column);
        CDC dc(&painter, font());
        CMenu* holder = CMenu::FromHandlePermanent(m_hMenu);
        if (holder == nullptr) {
            return;
        }
        for (const Paint& paint : paints) {
            const Entry& entry = m_entries[static_cast<std::size_t>(paint.index)];
            const QRect& r = entry.rect;
            DRAWITEMSTRUCT draw{};
            draw.CtlType = ODT_MENU;
            draw.itemID = entry.item.id;
            draw.itemAction = paint.action;
            draw.itemState = paint.state;
            draw.hwndItem = m_hMenu;
            draw.hDC = &dc;
            draw.rcItem = RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
            draw.itemData = entry.item.data;
            holder->DrawItem(&draw);
        }
    }

    void Finish(UINT nID) {
        if (m_done) {
            return;
        }
        m_done = true;
        m_chosen = nID;
        if (isVisible()) {
            hide();
        }
        if (m_loop != nullptr) {
            m_loop->exit(0);
        }
    }

    HMENU m_hMenu;
    UINT m_nFlags;
    std::vector<Entry> m_entries;
    QRect m_column;
    QImage m_surface;
    QRect m_screen;
    int m_selected = -1;
    Qt::MouseButtons m_pressedHere;
    bool m_done = false;
    UINT m_chosen = 0;
    QEventLoop* m_loop = nullptr;
};

PopupWindow* g_pTrackingPopup = nullptr;
HWND g_hWndTrackingOwner = nullptr;

int Fit(int pos, int anchor, int length, int low, int high) {
    if (pos + length > high && anchor - length >= low) {
        pos = anchor - length;
    } else if (pos < low && anchor + length <= high) {
        pos = anchor;
    }
    return std::clamp(pos, low, std::max(low, high - length));
}

}  // namespace

BOOL DestroyMenu(HMENU hMenu) {
    MenuTable& table = Table();
    const auto it = table.menus.find(reinterpret_cast<std::uintptr_t>(hMenu));
    if (it == table.menus.end()) {
        return false;
    }
    const std::unique_ptr<MenuData> data = std::move(it->second);
    table.menus.erase(it);
    if (data->holder != nullptr) {
        data->holder->Detach();
    }
    if (g_pTrackingPopup != nullptr && g_pTrackingPopup->Menu() == hMenu) {
        g_pTrackingPopup->Cancel();
    }
    for (const MenuItem& item : data->items) {
        if (item.popup != nullptr) {
            DestroyMenu(item.popup);
        }
    }
    return true;
}

BOOL IsMenu(HMENU hMenu) {
    return Find(hMenu) != nullptr;
}

int LiveMenuCount() {
    return static_cast<int>(Table().menus.size());
}

bool CanPlacePopups() {
    return QGuiApplication::platformName() != QLatin1String("wayland");
}

QPoint PlacePopup(QPoint at, QSize size, const QRect& screen, UINT nFlags) {
    const int x = (nFlags & TPM_RIGHTALIGN) != 0 ? at.x() - size.width() : at.x();
    const int y = (nFlags & TPM_BOTTOMALIGN) != 0 ? at.y() - size.height() : at.y();
    return QPoint(Fit(x, at.x(), size.width(), screen.left(), screen.left() + screen.width()),
                  Fit(y, at.y(), size.height(), screen.top(), screen.top() + screen.height()));
}

HWND GetTrackingOwner() {
    return g_hWndTrackingOwner;
}

CMenu::~CMenu() {
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU hMenu) {
    MenuData* menu = Find(hMenu);
    if (m_hMenu != nullptr || menu == nullptr || menu->holder != nullptr) {
        return false;
    }
    m_hMenu = hMenu;
    menu->holder = this;
    return true;
}

HMENU CMenu::Detach() {
    const HMENU hMenu = std::exchange(m_hMenu, nullptr);
    MenuData* menu = Find(hMenu);
    if (menu != nullptr && menu->holder == this) {
        menu->holder = nullptr;
    }
    return hMenu;
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu) {
    const MenuData* menu = Find(hMenu);
    return menu == nullptr ? nullptr : menu->holder;
}

BOOL CMenu::CreateMenu() {
    return m_hMenu == nullptr && Attach(NewMenu());
}

BOOL CMenu::CreatePopupMenu() {
    return m_hMenu == nullptr && Attach(NewMenu());
}

BOOL CMenu::DestroyMenu() {
    if (m_hMenu == nullptr) {
        return false;
    }
    return platform::DestroyMenu(Detach());
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    // A plain item's text is never shown: only owner-drawn menus pop up.
    static_cast<void>(text);
    MenuData* menu = Find(m_hMenu);
    MenuItem item;
    if (menu == nullptr || !MakeItem(m_hMenu, nFlags, MF_POPUP, nIDNewItem, 0, &item)) {
        return false;
    }
    Adopt(m_hMenu, item);
    menu->items.push_back(std::move(item));
    return true;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    MenuData* menu = Find(m_hMenu);
    MenuItem item;
    if (menu == nullptr || !MakeItem(m_hMenu, nFlags, MF_OWNERDRAW, nIDNewItem, itemData, &item)) {
        return false;
    }
    menu->items.push_back(std::move(item));
    return true;
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    MenuData* menu = Find(m_hMenu);
    MenuItem item;
    if (menu == nullptr || (nFlags & MF_BYPOSITION) == 0 || nPosition > menu->items.size() ||
        !MakeItem(m_hMenu, nFlags, MF_OWNERDRAW, nIDNewItem, itemData, &item)) {
        return false;
    }
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(nPosition),
                       std::move(item));
    return true;
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    MenuData* menu = Find(m_hMenu);
    MenuItem item;
    if (menu == nullptr || (nFlags & MF_BYPOSITION) == 0 || nPosition >= menu->items.size() ||
        !MakeItem(m_hMenu, nFlags, MF_OWNERDRAW, nIDNewItem, itemData, &item)) {
        return false;
    }
    const HMENU hOldPopup = std::exchange(menu->items[nPosition], std::move(item)).popup;
    if (hOldPopup != nullptr) {
        platform::DestroyMenu(hOldPopup);
    }
    return true;
}

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags) {
    MenuData* menu = Find(m_hMenu);
    if (menu == nullptr) {
        return false;
    }
    auto it = menu->items.begin();
    if ((nFlags & MF_BYPOSITION) != 0) {
        it += static_cast<std::ptrdiff_t>(std::min<std::size_t>(nPosition, menu->items.size()));
    } else {
        it = std::find_if(it, menu->items.end(), [nPosition](const MenuItem& item) {
            return item.popup == nullptr && item.id == nPosition;
        });
    }
    if (it == menu->items.end()) {
        return false;
    }
    if (MenuData* popup = Find(it->popup)) {
        popup->parent = nullptr;
    }
    menu->items.erase(it);
    return true;
}

int CMenu::GetMenuItemCount() const {
    const MenuData* menu = Find(m_hMenu);
    return menu == nullptr ? -1 : static_cast<int>(menu->items.size());
}

UINT CMenu::GetMenuItemID(int nPos) const {
    const MenuData* menu = Find(m_hMenu);
    if (menu == nullptr || nPos < 0 || static_cast<std::size_t>(nPos) >= menu->items.size()) {
        return MENU_NO_ITEM;
    }
    const MenuItem& item = menu->items[static_cast<std::size_t>(nPos)];
    return item.popup != nullptr ? MENU_NO_ITEM : item.id;
}

HMENU CMenu::GetSubMenu(int nPos) const {
    const MenuData* menu = Find(m_hMenu);
    if (menu == nullptr || nPos < 0 || static_cast<std::size_t>(nPos) >= menu->items.size()) {
        return nullptr;
    }
    const HMENU hPopup = menu->items[static_cast<std::size_t>(nPos)].popup;
    return IsMenu(hPopup) ? hPopup : nullptr;
}

UINT CMenu::TrackPopupMenu(UINT nFlags, int x, int y, HWND hWndOwner, const RECT* prcRect) {
    static_cast<void>(prcRect);
    if (g_pTrackingPopup != nullptr || !IsMenu(m_hMenu)) {
        return 0;
    }
    QObject* ownerObject = FromHwnd(hWndOwner);
    const QPointer<QObject> owner(ownerObject);
    const auto* ownerWidget = qobject_cast<const QWidget*>(ownerObject);
    auto popup = std::make_unique<PopupWindow>(
        m_hMenu, nFlags, ownerWidget != nullptr ? ownerWidget->font() : QGuiApplication::font());

    UINT nID = 0;
    g_pTrackingPopup = popup.get();
    g_hWndTrackingOwner = hWndOwner;
    if (popup->Prepare(QPoint(x, y))) {
        nID = popup->Run();
    }
    g_pTrackingPopup = nullptr;
    g_hWndTrackingOwner = nullptr;
    popup.reset();

    if (nID != 0 && (nFlags & TPM_RETURNCMD) == 0 && !owner.isNull()) {
        QCoreApplication::postEvent(owner.data(), new CommandEvent(static_cast<int>(nID), 0));
    }
    return nID;
}

void CMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    static_cast<void>(lpMeasureItemStruct);
}

void CMenu::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    static_cast<void>(lpDrawItemStruct);
}

}  // namespace platform
