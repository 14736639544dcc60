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
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "wincompat/wnd_qt.h"

namespace platform {
namespace {

constexpr UINT kKnownFlags = MF_POPUP | MF_OWNERDRAW | MF_BYPOSITION | MF_SEPARATOR;

struct MenuItem {
    UINT flags = MF_STRING;  // as given, less MF_BYPOSITION
    UINT id = 0;
    ULONG_PTR data = 0;
    CString text;
    HMENU popup = nullptr;
};

struct MenuData {
    HMENU self = nullptr;
    std::vector<MenuItem> items;
};

// The process's menus, kept as the window system would keep them. Handles are
// serial numbers, so a destroyed handle never comes to name a later menu.
struct MenuTable {
    std::unordered_map<std::uintptr_t, std::unique_ptr<MenuData>> menus;
    std::unordered_map<std::uintptr_t, CMenu*> holders;
    std::uintptr_t nextHandle = 0x1000;
};

MenuTable& Table() {
    static MenuTable table;
    return table;
}

std::uintptr_t Key(HMENU hMenu) {
    return reinterpret_cast<std::uintptr_t>(hMenu);
}

MenuData* Find(HMENU hMenu) {
    MenuTable& table = Table();
    const auto it = table.menus.find(Key(hMenu));
    return it == table.menus.end() ? nullptr : it->second.get();
}

HMENU NewMenu() {
    MenuTable& table = Table();
    const std::uintptr_t key = table.nextHandle++;
    auto data = std::make_unique<MenuData>();
    data->self = reinterpret_cast<HMENU>(key);
    table.menus.emplace(key, std::move(data));
    return reinterpret_cast<HMENU>(key);
}

struct ItemRef {
    MenuData* menu;
    std::size_t index;
};

std::optional<ItemRef> FindByCommand(MenuData* menu, UINT nID) {
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& item = menu->items[i];
        if (item.popup != nullptr) {
            if (MenuData* sub = Find(item.popup)) {
                if (auto found = FindByCommand(sub, nID)) {
                    return found;
                }
            }
        } else if (item.id == nID) {
            return ItemRef{menu, i};
        }
    }
    return std::nullopt;
}

std::optional<ItemRef> Locate(HMENU hMenu, UINT nPosition, UINT nFlags) {
    MenuData* menu = Find(hMenu);
    if (menu == nullptr) {
        return std::nullopt;
    }
    if ((nFlags & MF_BYPOSITION) != 0) {
        if (nPosition < menu->items.size()) {
            return ItemRef{menu, nPosition};
        }
        return std::nullopt;
    }
    return FindByCommand(menu, nPosition);
}

bool Contains(HMENU hRoot, HMENU hTarget) {
    if (hRoot == hTarget) {
        return true;
    }
    const MenuData* menu = Find(hRoot);
    if (menu == nullptr) {
        return false;
    }
    return std::any_of(menu->items.begin(), menu->items.end(), [&](const MenuItem& item) {
        return item.popup != nullptr && Contains(item.popup, hTarget);
    });
}

// The item that the flags describe, to go into `into`; none when the flags
// are unknown or the popup is invalid or would contain `into`.
std::optional<MenuItem> MakeItem(const MenuData& into, UINT nFlags, UINT_PTR nIDNewItem,
                                 const CString& text, ULONG_PTR data) {
    if ((nFlags & ~kKnownFlags) != 0) {
        return std::nullopt;
    }
    MenuItem item;
    item.flags = nFlags & ~MF_BYPOSITION;
    item.text = text;
    item.data = data;
    if ((nFlags & MF_POPUP) != 0) {
        item.popup = reinterpret_cast<HMENU>(nIDNewItem);
        if (Find(item.popup) == nullptr || Contains(item.popup, into.self)) {
            return std::nullopt;
        }
        item.id = MENU_NO_ITEM;
    } else {
        item.id = static_cast<UINT>(nIDNewItem);
    }
    return item;
}

BOOL Append(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, const CString& text, ULONG_PTR data) {
    MenuData* menu = Find(hMenu);
    if (menu == nullptr) {
        return false;
    }
    auto item = MakeItem(*menu, nFlags, nIDNewItem, text, data);
    if (!item) {
        return false;
    }
    menu->items.push_back(std::move(*item));
    return true;
}

BOOL Insert(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const CString& text,
            ULONG_PTR data) {
    MenuData* menu = Find(hMenu);
    if (menu == nullptr) {
        return false;
    }
    std::size_t index = 0;
    if ((nFlags & MF_BYPOSITION) != 0) {
        index = nPosition == MENU_NO_ITEM ? menu->items.size() : nPosition;
        if (index > menu->items.size()) {
            return false;
        }
    } else {
        const auto ref = FindByCommand(menu, nPosition);
        if (!ref) {
            return false;
        }
        menu = ref->menu;
        index = ref->index;
    }
    auto item = MakeItem(*menu, nFlags, nIDNewItem, text, data);
    if (!item) {
        return false;
    }
    menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(index), std::move(*item));
    return true;
}

BOOL Modify(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const CString& text,
            ULONG_PTR data) {
    const auto ref = Locate(hMenu, nPosition, nFlags);
    if (!ref) {
        return false;
    }
    auto item = MakeItem(*ref->menu, nFlags, nIDNewItem, text, data);
    if (!item) {
        return false;
    }
    const HMENU hOldPopup = ref->menu->items[ref->index].popup;
    const HMENU hNewPopup = item->popup;
    ref->menu->items[ref->index] = std::move(*item);
    if (hOldPopup != nullptr && hOldPopup != hNewPopup) {
        DestroyMenu(hOldPopup);
    }
    return true;
}

BOOL Remove(HMENU hMenu, UINT nPosition, UINT nFlags, bool destroyPopup) {
    const auto ref = Locate(hMenu, nPosition, nFlags);
    if (!ref) {
        return false;
    }
    const HMENU hPopup = ref->menu->items[ref->index].popup;
    ref->menu->items.erase(ref->menu->items.begin() + static_cast<std::ptrdiff_t>(ref->index));
    if (destroyPopup && hPopup != nullptr) {
        DestroyMenu(hPopup);
    }
    return true;
}

const MenuItem* ItemAt(HMENU hMenu, UINT nID, UINT nFlags) {
    const auto ref = Locate(hMenu, nID, nFlags);
    return ref ? &ref->menu->items[ref->index] : nullptr;
}

// The popup's own frame around the item column, and the room kept right of an
// owner-drawn item's measured width as the menu keeps it for a check mark:
// owner-drawn texts may end a few pixels past the width their item reports.
constexpr int kFrame = 3;
constexpr int kCheckRoom = 12;
// A hook's answer is trusted only up to this many pixels per item.
constexpr UINT kMaxItemExtent = 2048;
constexpr int kStringIndent = 20;
constexpr int kStringPadding = 6;
constexpr int kSeparatorHeight = 8;

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
        if (menu == nullptr || menu->items.empty()) {
            return false;
        }
        const std::vector<MenuItem> items = menu->items;
        const QFontMetrics metrics(font());
        int columnWidth = 0;
        int top = kFrame;
        for (const MenuItem& item : items) {
            int width = 0;
            int height = 0;
            if ((item.flags & MF_OWNERDRAW) != 0) {
                MEASUREITEMSTRUCT measure{
                    ODT_MENU, 0, item.id, 0, static_cast<UINT>(metrics.height()), item.data};
                if (CMenu* holder = CMenu::FromHandlePermanent(m_hMenu)) {
                    holder->MeasureItem(&measure);
                }
                if (Find(m_hMenu) == nullptr) {
                    return false;
                }
                width = static_cast<int>(std::min(measure.itemWidth, kMaxItemExtent)) + kCheckRoom;
                height = static_cast<int>(std::min(measure.itemHeight, kMaxItemExtent));
            } else if ((item.flags & MF_SEPARATOR) != 0) {
                height = kSeparatorHeight;
            } else {
                width = 2 * kStringIndent + metrics.horizontalAdvance(ShownText(item.text));
                height = metrics.height() + kStringPadding;
            }
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

    // The text as the menu shows it: "&&" is one '&', a single '&' is dropped.
    static QString ShownText(const CString& text) {
        const QString raw = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        QString shown;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw.at(i) == QLatin1Char('&') && i + 1 < raw.size()) {
                ++i;
            }
            shown.append(raw.at(i));
        }
        return shown;
    }

    bool IsSelectable(int index) const {
        if (index < 0 || index >= static_cast<int>(m_entries.size())) {
            return false;
        }
        const UINT flags = m_entries[static_cast<std::size_t>(index)].item.flags;
        return (flags & (MF_SEPARATOR | MF_POPUP)) == 0;
    }

    int SelectableAt(QPoint pos) const {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].rect.contains(pos)) {
                return IsSelectable(static_cast<int>(i)) ? static_cast<int>(i) : -1;
            }
        }
        return -1;
    }

    // The next selectable item from `from` in direction `step`, wrapping
    // around; -1 when there is none. From -1 it starts at either end.
    int NextSelectable(int from, int step) const {
        const int count = static_cast<int>(m_entries.size());
        int index = from;
        for (int tries = 0; tries < count; ++tries) {
            if (index < 0) {
                index = step > 0 ? 0 : count - 1;
            } else {
                index = (index + step + count) % count;
            }
            if (IsSelectable(index)) {
                return index;
            }
        }
        return -1;
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
        for (const Paint& paint : paints) {
            const Entry& entry = m_entries[static_cast<std::size_t>(paint.index)];
            if ((entry.item.flags & MF_OWNERDRAW) != 0) {
                CMenu* holder = CMenu::FromHandlePermanent(m_hMenu);
                if (holder == nullptr) {
                    continue;
                }
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
            } else {
                PaintOwnItem(dc, entry, paint.state);
            }
        }
    }

    // Items that the menu paints itself: plain texts and separator lines.
    static void PaintOwnItem(CDC& dc, const Entry& entry, UINT state) {
        const QRect& r = entry.rect;
        CRect rc(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
        if ((entry.item.flags & MF_SEPARATOR) != 0) {
            CRect line(rc.left + 1, rc.top + rc.Height() / 2 - 1, rc.right - 1, rc.bottom);
            dc.DrawEdge(&line, EDGE_ETCHED, BF_TOP);
            return;
        }
        const bool selected = (state & ODS_SELECTED) != 0;
        dc.FillSolidRect(&rc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        CRect text(rc.left + kStringIndent, rc.top, rc.right, rc.bottom);
        dc.DrawText(entry.item.text, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
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

HMENU CreateMenu() {
    return NewMenu();
}

HMENU CreatePopupMenu() {
    return NewMenu();
}

HMENU LoadMenu(UINT nIDResource) {
    if ((nIDResource & 0xFFFF) != static_cast<UINT>(IDR_TRAYMENU)) {
        return nullptr;
    }
    const HMENU hBar = CreateMenu();
    const HMENU hMusic = CreatePopupMenu();
    AppendMenu(hMusic, MF_STRING, ID_MENU_PLACEHOLDER, CString("ggg"));
    AppendMenu(hBar, MF_POPUP, reinterpret_cast<UINT_PTR>(hMusic), CString("music"));
    return hBar;
}

BOOL DestroyMenu(HMENU hMenu) {
    MenuTable& table = Table();
    const auto it = table.menus.find(Key(hMenu));
    if (it == table.menus.end()) {
        return false;
    }
    const std::unique_ptr<MenuData> data = std::move(it->second);
    table.menus.erase(it);
    table.holders.erase(Key(hMenu));
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

BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    return Append(hMenu, nFlags, nIDNewItem, text, 0);
}

BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    return Append(hMenu, nFlags, nIDNewItem, CString(), itemData);
}

BOOL InsertMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem,
                const CString& text) {
    return Insert(hMenu, nPosition, nFlags, nIDNewItem, text, 0);
}

BOOL InsertMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    return Insert(hMenu, nPosition, nFlags, nIDNewItem, CString(), itemData);
}

BOOL ModifyMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem,
                const CString& text) {
    return Modify(hMenu, nPosition, nFlags, nIDNewItem, text, 0);
}

BOOL ModifyMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    return Modify(hMenu, nPosition, nFlags, nIDNewItem, CString(), itemData);
}

BOOL RemoveMenu(HMENU hMenu, UINT nPosition, UINT nFlags) {
    return Remove(hMenu, nPosition, nFlags, false);
}

BOOL DeleteMenu(HMENU hMenu, UINT nPosition, UINT nFlags) {
    return Remove(hMenu, nPosition, nFlags, true);
}

int GetMenuItemCount(HMENU hMenu) {
    const MenuData* menu = Find(hMenu);
    return menu == nullptr ? -1 : static_cast<int>(menu->items.size());
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
    if (nPos < 0) {
        return MENU_NO_ITEM;
    }
    const MenuItem* item = ItemAt(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    return item == nullptr || item->popup != nullptr ? MENU_NO_ITEM : item->id;
}

HMENU GetSubMenu(HMENU hMenu, int nPos) {
    if (nPos < 0) {
        return nullptr;
    }
    const MenuItem* item = ItemAt(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION);
    return item == nullptr || !IsMenu(item->popup) ? nullptr : item->popup;
}

UINT GetMenuState(HMENU hMenu, UINT nID, UINT nFlags) {
    const MenuItem* item = ItemAt(hMenu, nID, nFlags);
    return item == nullptr ? MENU_NO_ITEM : item->flags;
}

ULONG_PTR GetMenuItemData(HMENU hMenu, UINT nID, UINT nFlags) {
    const MenuItem* item = ItemAt(hMenu, nID, nFlags);
    return item == nullptr ? 0 : item->data;
}

CString GetMenuString(HMENU hMenu, UINT nID, UINT nFlags) {
    const MenuItem* item = ItemAt(hMenu, nID, nFlags);
    return item == nullptr ? CString() : item->text;
}

bool PopupNeedsOutsideCatcher() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
}

bool CanPlacePopups() {
    return QGuiApplication::platformName() != QLatin1String("wayland");
}

QPoint PlacePopup(QPoint at, QSize size, const QRect& screen, UINT nFlags) {
    int x = at.x();
    if ((nFlags & TPM_RIGHTALIGN) != 0) {
        x -= size.width();
    } else if ((nFlags & TPM_CENTERALIGN) != 0) {
        x -= size.width() / 2;
    }
    int y = at.y();
    if ((nFlags & TPM_BOTTOMALIGN) != 0) {
        y -= size.height();
    } else if ((nFlags & TPM_VCENTERALIGN) != 0) {
        y -= size.height() / 2;
    }
    return QPoint(Fit(x, at.x(), size.width(), screen.left(), screen.left() + screen.width()),
                  Fit(y, at.y(), size.height(), screen.top(), screen.top() + screen.height()));
}

UINT TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hWndOwner, const RECT* prcRect) {
    static_cast<void>(prcRect);
    if (g_pTrackingPopup != nullptr || !IsMenu(hMenu)) {
        return 0;
    }
    QObject* ownerObject = FromHwnd(hWndOwner);
    const QPointer<QObject> owner(ownerObject);
    const auto* ownerWidget = qobject_cast<const QWidget*>(ownerObject);
    auto popup = std::make_unique<PopupWindow>(
        hMenu, nFlags, ownerWidget != nullptr ? ownerWidget->font() : QGuiApplication::font());

    struct TrackingScope {
        TrackingScope(PopupWindow* pPopup, HWND hWnd) {
            g_pTrackingPopup = pPopup;
            g_hWndTrackingOwner = hWnd;
        }
        ~TrackingScope() {
            g_pTrackingPopup = nullptr;
            g_hWndTrackingOwner = nullptr;
        }
        TrackingScope(const TrackingScope&) = delete;
        TrackingScope& operator=(const TrackingScope&) = delete;
    };
    UINT nID = 0;
    {
        const TrackingScope scope(popup.get(), hWndOwner);
        if (popup->Prepare(QPoint(x, y))) {
            nID = popup->Run();
        }
    }
    popup.reset();

    if (nID != 0 && (nFlags & TPM_RETURNCMD) == 0 && !owner.isNull()) {
        QCoreApplication::postEvent(owner.data(), new CommandEvent(static_cast<int>(nID), 0));
    }
    return nID;
}

HWND GetTrackingOwner() {
    return g_hWndTrackingOwner;
}

CMenu::~CMenu() {
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU hMenu) {
    MenuTable& table = Table();
    if (m_hMenu != nullptr || !IsMenu(hMenu) || table.holders.count(Key(hMenu)) != 0) {
        return false;
    }
    m_hMenu = hMenu;
    table.holders[Key(hMenu)] = this;
    return true;
}

HMENU CMenu::Detach() {
    const HMENU hMenu = std::exchange(m_hMenu, nullptr);
    MenuTable& table = Table();
    const auto it = table.holders.find(Key(hMenu));
    if (it != table.holders.end() && it->second == this) {
        table.holders.erase(it);
    }
    return hMenu;
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu) {
    MenuTable& table = Table();
    const auto it = table.holders.find(Key(hMenu));
    return it == table.holders.end() ? nullptr : it->second;
}

BOOL CMenu::CreateMenu() {
    if (m_hMenu != nullptr) {
        return false;
    }
    return Attach(platform::CreateMenu());
}

BOOL CMenu::CreatePopupMenu() {
    if (m_hMenu != nullptr) {
        return false;
    }
    return Attach(platform::CreatePopupMenu());
}

BOOL CMenu::LoadMenu(UINT nIDResource) {
    if (m_hMenu != nullptr) {
        return false;
    }
    const HMENU hMenu = platform::LoadMenu(nIDResource);
    return hMenu != nullptr && Attach(hMenu);
}

BOOL CMenu::DestroyMenu() {
    if (m_hMenu == nullptr) {
        return false;
    }
    return platform::DestroyMenu(Detach());
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    return platform::AppendMenu(m_hMenu, nFlags, nIDNewItem, text);
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    return platform::AppendMenu(m_hMenu, nFlags, nIDNewItem, itemData);
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    return platform::InsertMenu(m_hMenu, nPosition, nFlags, nIDNewItem, text);
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    return platform::InsertMenu(m_hMenu, nPosition, nFlags, nIDNewItem, itemData);
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    return platform::ModifyMenu(m_hMenu, nPosition, nFlags, nIDNewItem, text);
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData) {
    return platform::ModifyMenu(m_hMenu, nPosition, nFlags, nIDNewItem, itemData);
}

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags) {
    return platform::RemoveMenu(m_hMenu, nPosition, nFlags);
}

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags) {
    return platform::DeleteMenu(m_hMenu, nPosition, nFlags);
}

int CMenu::GetMenuItemCount() const {
    return platform::GetMenuItemCount(m_hMenu);
}

UINT CMenu::GetMenuItemID(int nPos) const {
    return platform::GetMenuItemID(m_hMenu, nPos);
}

HMENU CMenu::GetSubMenu(int nPos) const {
    return platform::GetSubMenu(m_hMenu, nPos);
}

UINT CMenu::TrackPopupMenu(UINT nFlags, int x, int y, HWND hWndOwner, const RECT* prcRect) {
    return platform::TrackPopupMenu(m_hMenu, nFlags, x, y, hWndOwner, prcRect);
}

void CMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    static_cast<void>(lpMeasureItemStruct);
}

void CMenu::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    static_cast<void>(lpDrawItemStruct);
}

}  // namespace platform
