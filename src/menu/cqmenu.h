// The owner-drawn popup menu of the tray. Each item shows a 16 x 16 icon and a
// line of text right of a picture strip, the band, down the menu's left edge;
// separators are etched lines; the item under the mouse lights up: full-colour
// icon, yellow text, a sunken frame. A CQMenu lives for one showing.
#pragma once

#include <memory>

#include "wincompat/paintdc.h"
#include "wincompat/popupmenu.h"

// One item's record. The menu keeps only its address, so a record stays where
// it is, unchanged, until the popup has closed.
class CQMenuItem {
public:
    CQMenuItem();
    // Releases the icon that this record's own LoadIcon loaded.
    ~CQMenuItem();
    CQMenuItem(const CQMenuItem&) = delete;
    CQMenuItem& operator=(const CQMenuItem&) = delete;

    // A 16 x 16 icon of its own from icon resource `nIconID`; no icon when
    // there is no such resource.
    void LoadIcon(platform::UINT nIconID);
    // The handle stays the caller's, who keeps it alive while the menu shows.
    void SetIcon(platform::HICON hIcon);
    void SetText(platform::CString strText);
    // Part of the item model the menu paints (a check mark in the icon place),
    // though the tray menu checks no item.
    void SetChecked(platform::BOOL bChecked);
    void SetSeparator(platform::BOOL bSeparator);

    platform::HICON m_hIcon;
    platform::CString m_strText;
    platform::BOOL m_bChecked;
    platform::BOOL m_bSeparator;

private:
    std::unique_ptr<platform::Picture> m_iconLoaded;
};

class CQMenu : public platform::CMenu {
public:
    CQMenu();
    // Destroys the menu it still holds, then the band picture.
    ~CQMenu() override;
    CQMenu(const CQMenu&) = delete;
    CQMenu& operator=(const CQMenu&) = delete;

    // The menu owns the picture from now on. A null handle leaves the menu
    // without one; a menu keeps the first picture it is given.
    void SetBandBitmap(platform::HBITMAP hBitmap);
    void SetBandSize(platform::CSize size);
    void SetBandColor(platform::COLORREF cr);
    // Items, separators included, that one full paint draws: the band is
    // painted when the draw count reaches it.
    void SetItemCount(int nCount);

    // Owner-drawn items whose item data is the record's address. When the menu
    // refuses (no menu held, no such position) nothing changes. The tray menu
    // only inserts; appending and modifying complete the building operations
    // a caller of this menu has.
    void AppendItem(platform::UINT nID, CQMenuItem* pItem);
    void InsertItem(platform::UINT nID, CQMenuItem* pItem, platform::UINT nPos);
    void ModifyItem(platform::UINT nPos, platform::UINT nID, CQMenuItem* pItem);

    // An estimate of the menu's extent from what the hooks recorded. Nothing
    // calls it yet; it stays as the counters' one reader.
    platform::CSize GetMenuSize();

    void DrawItem(platform::LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(platform::LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;

protected:
    int m_nSepCount;
    int m_nMaxRight;
    int m_nItemHeight;
    int m_nDrawCount;
    int m_nMenuHeight;
    int m_nItemCount;
    platform::COLORREF m_crBand;
    platform::CSize m_sizeBand;
    platform::CBitmap m_bmpBand;

private:
    void DrawBand(platform::CDC* pDC, const platform::CRect& rect);

    // The check mark, loaded the first time an item needs it.
    std::unique_ptr<platform::Picture> m_iconCheck;
};
