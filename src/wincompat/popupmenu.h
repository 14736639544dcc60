// Menus by handle, and the modal popup that shows one. A menu handle stays
// valid until it is destroyed and is never reused, so a stale handle fails
// cleanly instead of reaching another menu. Destroying a menu destroys the
// popups it holds. Everything here runs on the GUI thread.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>

#include "wincompat/hwnd.h"
#include "wincompat/paintdc.h"

namespace platform {

struct MenuTag;
using HMENU = MenuTag*;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_OWNERDRAW = 0x0100;
constexpr UINT MF_BYPOSITION = 0x0400;

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RETURNCMD = 0x0100;

constexpr UINT ODT_MENU = 1;
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;
constexpr UINT ODS_SELECTED = 0x0001;

// What GetMenuItemID answers for a popup or no item.
constexpr UINT MENU_NO_ITEM = 0xFFFFFFFF;

// The popup window while it is open: found by this object name, and titled
// "melvane menu".
inline constexpr char POPUP_MENU_OBJECT_NAME[] = "melvane_menu";

struct MEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
};
using LPMEASUREITEMSTRUCT = MEASUREITEMSTRUCT*;

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HMENU hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;

// Destroys the menu and the popups it holds. FALSE for a null, unknown or
// already destroyed handle. An open popup showing the menu closes.
BOOL DestroyMenu(HMENU hMenu);
BOOL IsMenu(HMENU hMenu);
// Menu handles not yet destroyed.
int LiveMenuCount();

// False where the windowing system does not let a program place a popup at
// a screen position (native Wayland): a tray icon's menu is then drawn by
// the tray host.
bool CanPlacePopups();

// Where a popup of `size` opens for the point `at` and the TPM_ alignment
// flags: when it would leave `screen` it flips to the other side of the
// point, and it is kept on the screen.
QPoint PlacePopup(QPoint at, QSize size, const QRect& screen, UINT nFlags);

// The owner window of the popup being tracked; null when none is open.
HWND GetTrackingOwner();

// Holds at most one menu handle, destroyed with the object unless detached.
// The hooks are called for the owner-drawn items of the menu it holds.
class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // FALSE when a menu is held already, the handle is invalid, or another
    // CMenu holds it.
    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    HMENU GetSafeHmenu() const { return m_hMenu; }
    // The CMenu holding `hMenu`, or null.
    static CMenu* FromHandlePermanent(HMENU hMenu);

    // A menu bar, or a popup; FALSE when a menu is held already.
    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    // Detaches the held menu and destroys it; FALSE when none is held or the
    // handle had been destroyed another way.
    BOOL DestroyMenu();

    // Item changes. Popups show owner-drawn items only (MF_OWNERDRAW: the
    // item-data word is given instead of a text); a menu bar holds popups
    // (MF_POPUP: `nIDNewItem` is the popup's handle, which the bar then holds)
    // and plain items (MF_STRING), whose text is not kept. Insert and modify
    // go by position (MF_BYPOSITION); an insert may also take the item count,
    // to append. All return FALSE, changing nothing, when no menu is held, for
    // other flags, no item at the position, or a popup that is invalid, held
    // already or would contain itself.
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const CString& text = CString());
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
    // Replaces the item; a popup it held is destroyed.
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
    // Takes the item out, by position or by command (among this menu's own
    // items); a popup it held is left alive for the caller.
    BOOL RemoveMenu(UINT nPosition, UINT nFlags);

    int GetMenuItemCount() const;        // -1 when no menu is held
    UINT GetMenuItemID(int nPos) const;  // MENU_NO_ITEM for a popup or no item
    HMENU GetSubMenu(int nPos) const;    // null when the item holds no popup

    // Shows the menu as a modal popup at (x, y) in screen coordinates until an
    // item is chosen or the popup is dismissed; other events keep being
    // dispatched meanwhile. Owner-drawn items are measured and painted through
    // the hooks of this CMenu. Returns the chosen command, 0 for none, and
    // unless TPM_RETURNCMD also posts CommandEvent(id, 0) to `hWndOwner`. The
    // left button chooses, and with TPM_RIGHTBUTTON the right one too, but
    // never the release of a press made before the popup opened. Returns 0 at
    // once for no or an empty menu, one holding anything but owner-drawn
    // items, or while another popup is being tracked.
    // `prcRect` is not used.
    UINT TrackPopupMenu(UINT nFlags, int x, int y, HWND hWndOwner, const RECT* prcRect = nullptr);

    // Called once per owner-drawn item before the popup shows; fills in
    // itemWidth and itemHeight (proposed: 0 and the menu font's height).
    virtual void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    // Called with ODA_DRAWENTIRE for each item when the popup first shows, top
    // to bottom, and with ODA_SELECT for the items whose selection changed.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

private:
    HMENU m_hMenu = nullptr;
};

}  // namespace platform
