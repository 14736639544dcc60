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
constexpr UINT MF_SEPARATOR = 0x0800;

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RETURNCMD = 0x0100;

constexpr UINT ODT_MENU = 1;
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;
constexpr UINT ODS_SELECTED = 0x0001;

// What GetMenuItemID and GetMenuState answer for "no such item".
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

// A menu bar, or a popup; null when out of handles (never in practice).
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Menu resource `nIDResource`: IDR_TRAYMENU is a bar whose one popup, "music",
// holds the placeholder ID_MENU_PLACEHOLDER "ggg". Null for any other id.
HMENU LoadMenu(UINT nIDResource);
// Destroys the menu and the popups it holds. FALSE for a null, unknown or
// already destroyed handle. An open popup showing the menu closes.
BOOL DestroyMenu(HMENU hMenu);
BOOL IsMenu(HMENU hMenu);
// Menu handles not yet destroyed.
int LiveMenuCount();

// Item changes. `nFlags` combines MF_STRING, MF_SEPARATOR, MF_OWNERDRAW (the
// item-data word is given instead of a text), MF_POPUP (`nIDNewItem` is the
// popup's handle, which the menu then holds), and MF_BYPOSITION or
// MF_BYCOMMAND for `nPosition`. All return FALSE, changing nothing, for an
// invalid handle, unknown flags, no item at the position or with the command
// (InsertMenu by position also takes the item count, or -1, to append), or a
// popup that is invalid or would contain itself.
BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, const CString& text);
BOOL AppendMenu(HMENU hMenu, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
BOOL InsertMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const CString& text);
BOOL InsertMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
// Replaces the item; a popup it held is destroyed.
BOOL ModifyMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const CString& text);
BOOL ModifyMenu(HMENU hMenu, UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
// Takes the item out; a popup it held is left alive for the caller.
BOOL RemoveMenu(HMENU hMenu, UINT nPosition, UINT nFlags);
// Takes the item out and destroys a popup it held.
BOOL DeleteMenu(HMENU hMenu, UINT nPosition, UINT nFlags);

// By command, items are looked for in the popups below as well.
int GetMenuItemCount(HMENU hMenu);                      // -1 for an invalid handle
UINT GetMenuItemID(HMENU hMenu, int nPos);              // MENU_NO_ITEM for a popup or no item
HMENU GetSubMenu(HMENU hMenu, int nPos);                // null when the item holds no popup
UINT GetMenuState(HMENU hMenu, UINT nID, UINT nFlags);  // the MF_ flags, or MENU_NO_ITEM
ULONG_PTR GetMenuItemData(HMENU hMenu, UINT nID, UINT nFlags);  // 0 when none
CString GetMenuString(HMENU hMenu, UINT nID, UINT nFlags);      // empty when none

// Whether a popup gets transparent windows of the program's own beneath it,
// one over the whole screen so that it sees a click outside it, one that the
// compositor gives the keyboard: for an X11 client under a Wayland
// compositor (XWayland).
bool PopupNeedsOutsideCatcher();
// False where the windowing system does not let a program place a popup at
// a screen position (native Wayland): a tray icon's menu is then drawn by
// the tray host.
bool CanPlacePopups();

// Where a popup of `size` opens for the point `at` and the TPM_ alignment
// flags: when it would leave `screen` it flips to the other side of the
// point, and it is kept on the screen.
QPoint PlacePopup(QPoint at, QSize size, const QRect& screen, UINT nFlags);

// Shows `hMenu` as a modal popup at (x, y) in screen coordinates until an item
// is chosen or the popup is dismissed; other events keep being dispatched
// meanwhile. Owner-drawn items are measured and painted through the hooks of
// the CMenu that holds `hMenu`. Returns the chosen command, 0 for none, and
// unless TPM_RETURNCMD also posts CommandEvent(id, 0) to `hWndOwner`. The left
// button chooses, and with TPM_RIGHTBUTTON the right one too, but never the
// release of a press made before the popup opened. Returns 0 at once for an
// invalid or empty menu, or while another popup is being tracked.
// `prcRect` is not used.
UINT TrackPopupMenu(HMENU hMenu, UINT nFlags, int x, int y, HWND hWndOwner,
                    const RECT* prcRect = nullptr);

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

    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    BOOL LoadMenu(UINT nIDResource);
    // Detaches the held menu and destroys it; FALSE when none is held or the
    // handle had been destroyed another way.
    BOOL DestroyMenu();

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const CString& text = CString());
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0,
                    const CString& text = CString());
    BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0,
                    const CString& text = CString());
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, ULONG_PTR itemData);
    BOOL RemoveMenu(UINT nPosition, UINT nFlags);
    BOOL DeleteMenu(UINT nPosition, UINT nFlags);

    int GetMenuItemCount() const;
    UINT GetMenuItemID(int nPos) const;
    HMENU GetSubMenu(int nPos) const;

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
