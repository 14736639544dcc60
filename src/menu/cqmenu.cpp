#include "menu/cqmenu.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>

#include "res/resource.h"

using namespace platform;

namespace {

constexpr int kIconSize = 16;
constexpr COLORREF kHotTextColor = RGB(255, 255, 0);

// Debug builds say when the menu refused an item change; callers are not told.
void ReportRefusal(int nLine) {
#ifndef QT_NO_DEBUG
    qWarning("QMenu(%d): the menu refused the item change", nLine);
#else
    static_cast<void>(nLine);
#endif
}

}  // namespace

CQMenuItem::CQMenuItem() : m_hIcon(nullptr), m_strText(), m_bChecked(false), m_bSeparator(false) {
}

CQMenuItem::~CQMenuItem() = default;

void CQMenuItem::LoadIcon(UINT nIconID) {
    m_iconLoaded = LoadImageIcon(nIconID, kIconSize, kIconSize);
    m_hIcon = m_iconLoaded.get();
}

void CQMenuItem::SetIcon(HICON hIcon) {
    m_hIcon = hIcon;
    if (hIcon != m_iconLoaded.get()) {
        m_iconLoaded.reset();
    }
}

void CQMenuItem::SetText(CString strText) {
    m_strText = std::move(strText);
}

void CQMenuItem::SetChecked(BOOL bChecked) {
    m_bChecked = bChecked;
}

void CQMenuItem::SetSeparator(BOOL bSeparator) {
    m_bSeparator = bSeparator;
}

CQMenu::CQMenu()
    : m_nSepCount(0),
      m_nMaxRight(50),
      m_nItemHeight(20),
      m_nDrawCount(0),
      m_nMenuHeight(16),
      m_nItemCount(0),
      m_crBand(RGB(0, 0, 255)),
      m_sizeBand(20, 60) {
}

CQMenu::~CQMenu() {
    const HMENU hMenu = Detach();
    if (hMenu != nullptr) {
        platform::DestroyMenu(hMenu);
    }
    m_bmpBand.DeleteObject();
}

void CQMenu::SetBandBitmap(HBITMAP hBitmap) {
    if (hBitmap == nullptr || hBitmap == m_bmpBand.GetSafeHandle()) {
        return;
    }
    if (!m_bmpBand.Attach(hBitmap)) {
        // The menu keeps its first picture, but the caller gave this one up
        // as well: it goes, rather than being lost.
        CBitmap bmpRefused;
        bmpRefused.Attach(hBitmap);
    }
}

void CQMenu::SetBandSize(CSize size) {
    m_sizeBand = size;
}

void CQMenu::SetBandColor(COLORREF cr) {
    m_crBand = cr;
}

void CQMenu::SetItemCount(int nCount) {
    m_nItemCount = nCount;
}

void CQMenu::AppendItem(UINT nID, CQMenuItem* pItem) {
    if (!AppendMenu(MF_OWNERDRAW, nID, reinterpret_cast<ULONG_PTR>(pItem))) {
        ReportRefusal(__LINE__);
    }
}

void CQMenu::InsertItem(UINT nID, CQMenuItem* pItem, UINT nPos) {
    if (!InsertMenu(nPos, MF_BYPOSITION | MF_OWNERDRAW, nID, reinterpret_cast<ULONG_PTR>(pItem))) {
        ReportRefusal(__LINE__);
    }
}

void CQMenu::ModifyItem(UINT nPos, UINT nID, CQMenuItem* pItem) {
    if (!ModifyMenu(nPos, MF_BYPOSITION | MF_OWNERDRAW, nID, reinterpret_cast<ULONG_PTR>(pItem))) {
        ReportRefusal(__LINE__);
    }
}

CSize CQMenu::GetMenuSize() {
    return CSize(m_nMaxRight + 74, (m_nItemHeight + 4) * m_nItemCount - 4 * m_nSepCount - 8);
}

void CQMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    auto* pItem = reinterpret_cast<CQMenuItem*>(lpMeasureItemStruct->itemData);
    // An item added without a record keeps the size the menu proposed.
    if (pItem == nullptr) {
        return;
    }
    if (pItem->m_bSeparator) {
        lpMeasureItemStruct->itemHeight = 5;
        return;
    }

    // Measured in the owner window's own default font, not the menu's.
    CSize sizeText;
    {
        const CClientDC dc(GetTrackingOwner());
        sizeText = dc.GetTextExtent(pItem->m_strText);
    }

    lpMeasureItemStruct->itemWidth = static_cast<UINT>(sizeText.cx + m_sizeBand.cx + 26);
    lpMeasureItemStruct->itemHeight = static_cast<UINT>(std::max(m_nItemHeight, sizeText.cy) + 4);
    m_nMenuHeight = m_nItemCount * static_cast<int>(lpMeasureItemStruct->itemHeight);
}

void CQMenu::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    m_nDrawCount++;

    auto* pItem = reinterpret_cast<CQMenuItem*>(lpDrawItemStruct->itemData);
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    if (pItem == nullptr || pDC == nullptr) {
        return;
    }
    const CRect rect(lpDrawItemStruct->rcItem);
    const UINT nAction = lpDrawItemStruct->itemAction;
    const UINT nState = lpDrawItemStruct->itemState;

    if (pItem->m_bSeparator) {
        m_nSepCount++;
        CRect rcSep(rect);
        if (m_bmpBand.GetSafeHandle() != nullptr) {
            rcSep.left += m_sizeBand.cx;
        }
        pDC->DrawEdge(&rcSep, EDGE_ETCHED, BF_TOP);
        return;
    }

    m_nMaxRight = std::max(m_nMaxRight, rect.right);
    const CPoint ptIcon(rect.left + m_sizeBand.cx + 5, rect.top + 3);
    CRect rcText(rect.left + m_sizeBand.cx + 29, rect.top, rect.right, rect.bottom);
    const CRect rcHot(rcText.left - 1, rcText.top + 1, rcText.right, rcText.bottom - 2);
    const CSize sizeIcon(kIconSize, kIconSize);
    const UINT nTextFormat = DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;

    if ((nAction & ODA_DRAWENTIRE) != 0) {
        if (pItem->m_hIcon != nullptr) {
            pDC->DrawState(ptIcon, sizeIcon, pItem->m_hIcon, DST_ICON | DSS_MONO, nullptr);
        } else if (pItem->m_bChecked) {
            if (!m_iconCheck) {
                m_iconCheck = LoadImageIcon(IDI_CHECK, kIconSize, kIconSize);
            }
            if (m_iconCheck) {
                pDC->DrawState(ptIcon, sizeIcon, m_iconCheck.get(), DST_ICON, nullptr);
            }
        }

        const CBrush brFace(GetSysColor(COLOR_BTNFACE));
        pDC->FillRect(&rcText, &brFace);

        pDC->SetTextColor(GetSysColor(COLOR_BTNTEXT));
        pDC->SetBkColor(GetSysColor(COLOR_BTNFACE));
        pDC->DrawText(pItem->m_strText, &rcText, nTextFormat);

        if (m_nDrawCount == m_nItemCount) {
            m_nDrawCount = 0;
            if (m_bmpBand.GetSafeHandle() != nullptr) {
                DrawBand(pDC, rect);
            }
        }
    }

    if ((nState & ODS_SELECTED) != 0 && (nAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0) {
        if (pItem->m_hIcon != nullptr) {
            pDC->DrawState(ptIcon, sizeIcon, pItem->m_hIcon, DST_ICON, nullptr);
        }

        const COLORREF crOldText = pDC->SetTextColor(kHotTextColor);
        const COLORREF crOldBk = pDC->SetBkColor(GetSysColor(COLOR_BTNFACE));
        pDC->DrawText(pItem->m_strText, &rcText, nTextFormat);
        pDC->SetTextColor(crOldText);
        pDC->SetBkColor(crOldBk);

        pDC->Draw3dRect(&rcHot, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DHILIGHT));
    }

    if ((nState & ODS_SELECTED) == 0 && (nAction & ODA_SELECT) != 0) {
        if (pItem->m_hIcon != nullptr) {
            pDC->DrawState(ptIcon, sizeIcon, pItem->m_hIcon, DST_ICON | DSS_MONO, nullptr);
        }

        pDC->SetTextColor(GetSysColor(COLOR_BTNTEXT));
        pDC->SetBkColor(GetSysColor(COLOR_BTNFACE));
        const CBrush brFace(GetSysColor(COLOR_BTNFACE));
        pDC->FillRect(&rcText, &brFace);
        pDC->DrawText(pItem->m_strText, &rcText, nTextFormat);

        pDC->Draw3dRect(&rcHot, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE));
    }
}

// The whole band column at once, from the bottom item's rectangle: the column
// is taken to be m_nMenuHeight high, ending at that item's bottom.
void CQMenu::DrawBand(CDC* pDC, const CRect& rect) {
    const int cx = m_sizeBand.cx;
    const int cy = m_sizeBand.cy;
    const int nHeight = m_nMenuHeight;

    CDC dcMem;
    dcMem.CreateCompatibleDC(pDC);
    CBitmap* pOldBitmap = dcMem.SelectObject(&m_bmpBand);

    if (nHeight > cy) {
        pDC->BitBlt(rect.left, rect.bottom - cy, cx, cy, &dcMem, 0, 0, SRCCOPY);
        pDC->FillSolidRect(rect.left, rect.bottom - nHeight, cx, nHeight - cy, m_crBand);
    } else {
        pDC->BitBlt(rect.left, rect.bottom - nHeight, cx, nHeight, &dcMem, 0, 0, SRCCOPY);
    }

    dcMem.SelectObject(pOldBitmap);
    dcMem.DeleteDC();
}
