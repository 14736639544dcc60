// The painting context that owner-drawn items paint through: a device context
// over a borrowed QPainter, with the colour values, rectangles, icons and
// bitmaps it works on. System colours come from the application palette.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

#include <cstdint>
#include <memory>
#include <string>

#include "wincompat/hwnd.h"

class QPainter;

namespace platform {

using UINT = std::uint32_t;
using BOOL = int;
using DWORD = std::uint32_t;
using COLORREF = std::uint32_t;  // 0x00BBGGRR

// Texts are UTF-8 bytes, converted only when they are drawn or measured.
using CString = std::string;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF cr) {
    return static_cast<int>(cr & 0xFF);
}
constexpr int GetGValue(COLORREF cr) {
    return static_cast<int>((cr >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF cr) {
    return static_cast<int>((cr >> 16) & 0xFF);
}

QColor ToQColor(COLORREF cr);
COLORREF FromQColor(const QColor& color);

constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_3DSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_3DHILIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;

// The colour of a display element, read from the application palette on every
// call so that a palette change shows at the next paint. 0 for an unknown index.
COLORREF GetSysColor(int nIndex);

struct RECT {
    int left;
    int top;
    int right;   // exclusive
    int bottom;  // exclusive
};

struct POINT {
    int x;
    int y;
};

struct SIZE {
    int cx;
    int cy;
};

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& rc) : RECT(rc) {}  // NOLINT: implicit, so a RECT passes as a CRect
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int px, int py) : POINT{px, py} {}
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int w, int h) : SIZE{w, h} {}
    bool operator==(const CSize& other) const { return cx == other.cx && cy == other.cy; }
};

// A picture that an icon or bitmap handle names. Whoever holds the
// unique_ptr owns an icon (HICON only borrows); a bitmap is owned by the
// CBitmap that holds it, or by whoever detached it, until it is attached again.
class Picture {
public:
    explicit Picture(QPixmap pixmap);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    const QPixmap& Pixmap() const { return m_pixmap; }

    // Pictures alive in the process, so that tests can see none pile up.
    static int LiveCount();

private:
    QPixmap m_pixmap;
};

using HICON = const Picture*;
using HBITMAP = Picture*;

// Icon resource `nID` (low 16 bits) rendered at cx x cy, a picture of its own;
// null when there is no such resource.
std::unique_ptr<Picture> LoadImageIcon(UINT nID, int cx, int cy);

class CBitmap {
public:
    CBitmap() = default;
    ~CBitmap() = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // Loads bitmap resource `nIDResource`. FALSE when there is none or when a
    // bitmap is held already.
    BOOL LoadBitmap(UINT nIDResource);
    // Makes a bitmap from a picture; FALSE for a null picture or when one is held.
    BOOL CreateFromPixmap(const QPixmap& picture);
    // Takes ownership of `hBitmap`. FALSE, with nothing taken, for a null
    // handle or when a bitmap is held already.
    BOOL Attach(HBITMAP hBitmap);
    // Gives the handle up to the caller, who then owns it.
    HBITMAP Detach();
    HBITMAP GetSafeHandle() const { return m_bitmap.get(); }
    // Deletes the held bitmap; FALSE when there was none.
    BOOL DeleteObject();

private:
    std::unique_ptr<Picture> m_bitmap;
};

// A solid brush of one colour.
class CBrush {
public:
    explicit CBrush(COLORREF cr) : m_cr(cr) {}
    COLORREF GetColor() const { return m_cr; }

private:
    COLORREF m_cr;
};

constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_NOPREFIX = 0x0800;

// The one colour of every icon silhouette (DST_ICON | DSS_MONO): dark, so the
// shape reads on a light face, and independent of the icon.
constexpr COLORREF MONO_ICON_COLOR = RGB(64, 64, 64);

constexpr UINT DST_ICON = 0x0003;
constexpr UINT DSS_NORMAL = 0x0000;
constexpr UINT DSS_MONO = 0x0080;

constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;

constexpr DWORD SRCCOPY = 0x00CC0020;

class CDC;
using HDC = CDC*;

// A device context. One made over a painter paints through it; a measuring
// context only answers text extents; a memory context (CreateCompatibleDC)
// serves as the source of BitBlt for the bitmap selected into it. Painting
// calls on a context without a painter do nothing and return FALSE or 0.
class CDC {
public:
    CDC() = default;
    // Paints through `painter`, which must outlive this context.
    CDC(QPainter* painter, const QFont& font);
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    static CDC* FromHandle(HDC hDC) { return hDC; }

    // Makes this an empty memory context that measures like `pDC`. FALSE when
    // this context already paints somewhere.
    BOOL CreateCompatibleDC(CDC* pDC);
    // Selects a bitmap into a memory context; returns the one selected before
    // (null at first). Null, with nothing changed, on any other context.
    CBitmap* SelectObject(CBitmap* pBitmap);
    BOOL DeleteDC();

    void FillRect(const RECT* lpRect, const CBrush* pBrush);
    void FillSolidRect(const RECT* lpRect, COLORREF cr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF cr);

    COLORREF SetTextColor(COLORREF cr);
    COLORREF SetBkColor(COLORREF cr);

    // One line of text in `lpRect`. An '&' underlines the character after it
    // and "&&" is one '&' (unless DT_NOPREFIX). The text's cell is filled with
    // the background colour first. Clipped to `lpRect` unless
    // DT_NOCLIP. Returns the text's height, 0 when nothing was drawn.
    int DrawText(const CString& str, RECT* lpRect, UINT nFormat);

    // DST_ICON at `pt`, `size` pixels: in its own colours, or with DSS_MONO as
    // a silhouette, every pixel that is not transparent in one dark colour.
    // The brush is not used. FALSE for a null icon or another kind.
    BOOL DrawState(CPoint pt, CSize size, HICON hIcon, UINT nFlags, const CBrush* pBrush);

    // One-pixel frame inside the rectangle: top and left edges in `clrTopLeft`,
    // right and bottom in `clrBottomRight`, which take the top-right and
    // bottom-left corners.
    void Draw3dRect(const RECT* lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight);

    // Two-pixel edges in the 3-D shadow and highlight colours on the sides
    // `nFlags` names. FALSE for an edge kind other than raised, sunken,
    // etched or bump.
    BOOL DrawEdge(RECT* lpRect, UINT nEdge, UINT nFlags);

    // Copies a block of the bitmap selected into memory context `pSrcDC`.
    // Only SRCCOPY; the part outside the bitmap is left alone.
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                DWORD dwRop);

    CSize GetTextExtent(const CString& str) const;

protected:
    void SetMeasuringFont(const QFont& font) { m_font = font; }

private:
    QPainter* m_painter = nullptr;
    QFont m_font;
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crBk = RGB(255, 255, 255);
    bool m_bMemory = false;
    CBitmap* m_pBitmap = nullptr;
};

// The default context of a window, for measuring text only: the window's own
// font if it is a widget, else the application font. Released on destruction.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND hWnd);
};

}  // namespace platform
