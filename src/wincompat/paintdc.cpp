#include "wincompat/paintdc.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

#include "wincompat/resources.h"
#include "wincompat/wnd_qt.h"

namespace platform {
namespace {

int g_nLivePictures = 0;

QFontMetrics MetricsFor(const QFont& font, const QPainter* painter) {
    if (painter != nullptr && painter->device() != nullptr) {
        return QFontMetrics(font, painter->device());
    }
    return QFontMetrics(font);
}

// A text as DrawText shows it: "&&" is one '&', and a single '&' is dropped,
// marking the character after it for underlining.
struct PrefixedText {
    QString shown;
    std::vector<int> underlined;  // positions in `shown`
};

PrefixedText StripPrefixes(const CString& str) {
    const QString text = QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size()));
    PrefixedText result;
    result.shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
            if (text.at(i) != QLatin1Char('&')) {
                result.underlined.push_back(static_cast<int>(result.shown.size()));
            }
        }
        result.shown.append(text.at(i));
    }
    return result;
}

}  // namespace

QColor ToQColor(COLORREF cr) {
    return QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr));
}

COLORREF FromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return RGB(rgb.red(), rgb.green(), rgb.blue());
}

COLORREF GetSysColor(int nIndex) {
    const QPalette palette = QGuiApplication::palette();
    switch (nIndex) {
        case COLOR_MENU:
        case COLOR_BTNFACE:
            return FromQColor(palette.color(QPalette::Button));
        case COLOR_MENUTEXT:
        case COLOR_BTNTEXT:
            return FromQColor(palette.color(QPalette::ButtonText));
        case COLOR_WINDOW:
            return FromQColor(palette.color(QPalette::Base));
        case COLOR_WINDOWTEXT:
            return FromQColor(palette.color(QPalette::Text));
        case COLOR_HIGHLIGHT:
            return FromQColor(palette.color(QPalette::Highlight));
        case COLOR_HIGHLIGHTTEXT:
            return FromQColor(palette.color(QPalette::HighlightedText));
        case COLOR_3DSHADOW:
            return FromQColor(palette.color(QPalette::Dark));
        case COLOR_GRAYTEXT:
            return FromQColor(palette.color(QPalette::Disabled, QPalette::Text));
        case COLOR_3DHILIGHT:
            return FromQColor(palette.color(QPalette::Light));
        case COLOR_3DDKSHADOW:
            return FromQColor(palette.color(QPalette::Shadow));
        case COLOR_3DLIGHT:
            return FromQColor(palette.color(QPalette::Midlight));
        default:
            return 0;
    }
}

Picture::Picture(QPixmap pixmap) : m_pixmap(std::move(pixmap)) {
    ++g_nLivePictures;
}

Picture::~Picture() {
    --g_nLivePictures;
}

int Picture::LiveCount() {
    return g_nLivePictures;
}

std::unique_ptr<Picture> LoadImageIcon(UINT nID, int cx, int cy) {
    QPixmap pixmap = LoadIconImage(static_cast<int>(nID & 0xFFFF), cx, cy);
    if (pixmap.isNull()) {
        return nullptr;
    }
    return std::make_unique<Picture>(std::move(pixmap));
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
    return CreateFromPixmap(platform::LoadBitmap(static_cast<int>(nIDResource & 0xFFFF)));
}

BOOL CBitmap::CreateFromPixmap(const QPixmap& picture) {
    if (m_bitmap || picture.isNull()) {
        return false;
    }
    m_bitmap = std::make_unique<Picture>(picture);
    return true;
}

BOOL CBitmap::Attach(HBITMAP hBitmap) {
    if (m_bitmap || hBitmap == nullptr) {
        return false;
    }
    m_bitmap.reset(hBitmap);
    return true;
}

HBITMAP CBitmap::Detach() {
    return m_bitmap.release();
}

BOOL CBitmap::DeleteObject() {
    if (!m_bitmap) {
        return false;
    }
    m_bitmap.reset();
    return true;
}

CDC::CDC(QPainter* painter, const QFont& font) : m_painter(painter), m_font(font) {
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    if (m_painter != nullptr) {
        return false;
    }
    m_bMemory = true;
    m_pBitmap = nullptr;
    m_font = pDC != nullptr ? pDC->m_font : QGuiApplication::font();
    return true;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    if (!m_bMemory) {
        return nullptr;
    }
    return std::exchange(m_pBitmap, pBitmap);
}

BOOL CDC::DeleteDC() {
    if (!m_bMemory) {
        return false;
    }
    m_bMemory = false;
    m_pBitmap = nullptr;
    return true;
}

void CDC::FillRect(const RECT* lpRect, const CBrush* pBrush) {
    if (lpRect == nullptr || pBrush == nullptr) {
        return;
    }
    FillSolidRect(lpRect, pBrush->GetColor());
}

void CDC::FillSolidRect(const RECT* lpRect, COLORREF cr) {
    if (lpRect == nullptr) {
        return;
    }
    FillSolidRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                  lpRect->bottom - lpRect->top, cr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF cr) {
    if (m_painter == nullptr || cx <= 0 || cy <= 0) {
        return;
    }
    m_painter->fillRect(QRect(x, y, cx, cy), ToQColor(cr));
}

COLORREF CDC::SetTextColor(COLORREF cr) {
    return std::exchange(m_crText, cr);
}

COLORREF CDC::SetBkColor(COLORREF cr) {
    return std::exchange(m_crBk, cr);
}

int CDC::DrawText(const CString& str, RECT* lpRect, UINT nFormat) {
    if (m_painter == nullptr || lpRect == nullptr) {
        return 0;
    }
    PrefixedText prefixed;
    if ((nFormat & DT_NOPREFIX) != 0) {
        prefixed.shown = QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size()));
    } else {
        prefixed = StripPrefixes(str);
    }

    const QFontMetrics metrics = MetricsFor(m_font, m_painter);
    const int width = metrics.horizontalAdvance(prefixed.shown);
    const int height = metrics.height();
    const CRect rc(*lpRect);

    int x = rc.left;
    if ((nFormat & DT_CENTER) != 0) {
        x = rc.left + (rc.Width() - width) / 2;
    } else if ((nFormat & DT_RIGHT) != 0) {
        x = rc.right - width;
    }
    int y = rc.top;
    if ((nFormat & DT_VCENTER) != 0) {
        y = (rc.top + rc.bottom - height) / 2;
    } else if ((nFormat & DT_BOTTOM) != 0) {
        y = rc.bottom - height;
    }

    m_painter->save();
    if ((nFormat & DT_NOCLIP) == 0) {
        m_painter->setClipRect(QRect(rc.left, rc.top, rc.Width(), rc.Height()), Qt::IntersectClip);
    }
    if (width > 0) {
        m_painter->fillRect(QRect(x, y, width, height), ToQColor(m_crBk));
    }
    const QColor textColor = ToQColor(m_crText);
    m_painter->setFont(m_font);
    m_painter->setPen(textColor);
    const int baseline = y + metrics.ascent();
    m_painter->drawText(QPoint(x, baseline), prefixed.shown);
    const int lineWidth = std::max(1, metrics.lineWidth());
    for (const int index : prefixed.underlined) {
        const int length = prefixed.shown.at(index).isHighSurrogate() ? 2 : 1;
        const int left = x + metrics.horizontalAdvance(prefixed.shown.left(index));
        const int charWidth = metrics.horizontalAdvance(prefixed.shown.mid(index, length));
        m_painter->fillRect(QRect(left, baseline + metrics.underlinePos(), charWidth, lineWidth),
                            textColor);
    }
    m_painter->restore();
    return height;
}

BOOL CDC::DrawState(CPoint pt, CSize size, HICON hIcon, UINT nFlags, const CBrush* pBrush) {
    static_cast<void>(pBrush);
    if (m_painter == nullptr || hIcon == nullptr || (nFlags & 0x000F) != DST_ICON) {
        return false;
    }
    const QPixmap& picture = hIcon->Pixmap();
    const int cx = size.cx > 0 ? size.cx : picture.width();
    const int cy = size.cy > 0 ? size.cy : picture.height();
    const QRect target(pt.x, pt.y, cx, cy);
    if ((nFlags & DSS_MONO) == 0) {
        m_painter->drawPixmap(target, picture);
        return true;
    }
    QImage silhouette = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb ink = ToQColor(MONO_ICON_COLOR).rgb();
    for (int row = 0; row < silhouette.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(silhouette.scanLine(row));
        for (int col = 0; col < silhouette.width(); ++col) {
            line[col] = qAlpha(line[col]) != 0 ? ink : 0;
        }
    }
    m_painter->drawImage(target, silhouette);
    return true;
}

void CDC::Draw3dRect(const RECT* lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    if (lpRect == nullptr) {
        return;
    }
    Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
               lpRect->bottom - lpRect->top, clrTopLeft, clrBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx - 1, y, 1, cy, clrBottomRight);
    FillSolidRect(x, y + cy - 1, cx, 1, clrBottomRight);
}

BOOL CDC::DrawEdge(RECT* lpRect, UINT nEdge, UINT nFlags) {
    if (m_painter == nullptr || lpRect == nullptr || (nEdge & 0x000F) == 0) {
        return false;
    }
    CRect rc(*lpRect);
    // One border at a time, outer first; each is one pixel on every side named.
    const auto drawBorder = [&](COLORREF topLeft, COLORREF bottomRight) {
        if ((nFlags & BF_TOP) != 0) {
            FillSolidRect(rc.left, rc.top, rc.Width(), 1, topLeft);
        }
        if ((nFlags & BF_LEFT) != 0) {
            FillSolidRect(rc.left, rc.top, 1, rc.Height(), topLeft);
        }
        if ((nFlags & BF_RIGHT) != 0) {
            FillSolidRect(rc.right - 1, rc.top, 1, rc.Height(), bottomRight);
        }
        if ((nFlags & BF_BOTTOM) != 0) {
            FillSolidRect(rc.left, rc.bottom - 1, rc.Width(), 1, bottomRight);
        }
        rc = CRect(rc.left + ((nFlags & BF_LEFT) != 0 ? 1 : 0),
                   rc.top + ((nFlags & BF_TOP) != 0 ? 1 : 0),
                   rc.right - ((nFlags & BF_RIGHT) != 0 ? 1 : 0),
                   rc.bottom - ((nFlags & BF_BOTTOM) != 0 ? 1 : 0));
    };
    if ((nEdge & BDR_RAISEDOUTER) != 0) {
        drawBorder(GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    } else if ((nEdge & BDR_SUNKENOUTER) != 0) {
        drawBorder(GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DHILIGHT));
    }
    if ((nEdge & BDR_RAISEDINNER) != 0) {
        drawBorder(GetSysColor(COLOR_3DHILIGHT), GetSysColor(COLOR_3DSHADOW));
    } else if ((nEdge & BDR_SUNKENINNER) != 0) {
        drawBorder(GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
    }
    return true;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) {
    if (m_painter == nullptr || pSrcDC == nullptr || dwRop != SRCCOPY ||
        pSrcDC->m_pBitmap == nullptr || pSrcDC->m_pBitmap->GetSafeHandle() == nullptr) {
        return false;
    }
    const QPixmap& picture = pSrcDC->m_pBitmap->GetSafeHandle()->Pixmap();
    const QRect source = QRect(xSrc, ySrc, nWidth, nHeight) & picture.rect();
    if (source.isEmpty()) {
        return true;
    }
    const QRect target(x + source.x() - xSrc, y + source.y() - ySrc, source.width(),
                       source.height());
    m_painter->drawPixmap(target, picture, source);
    return true;
}

CSize CDC::GetTextExtent(const CString& str) const {
    const QFontMetrics metrics = MetricsFor(m_font, m_painter);
    const QString text = QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size()));
    return CSize(metrics.horizontalAdvance(text), metrics.height());
}

CClientDC::CClientDC(HWND hWnd) {
    const auto* widget = qobject_cast<const QWidget*>(FromHwnd(hWnd));
    SetMeasuringFont(widget != nullptr ? widget->font() : QGuiApplication::font());
}

}  // namespace platform
