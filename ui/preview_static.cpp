#include "ui/preview_static.h"

#include <string>

#include "framework/theme.h"

BEGIN_MESSAGE_MAP(CPreviewStatic, CStatic)
    ON_WM_ERASEBKGND()
    ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

CPreviewStatic::CPreviewStatic() : m_hBitmap(nullptr), m_bmInfo{} {}

CPreviewStatic::~CPreviewStatic()
{
    if (m_hBitmap != nullptr)
        ::DeleteObject(m_hBitmap);
}

int CPreviewStatic::LoadBitmapFile(LPCSTR lpszPath)
{
    if (lpszPath == nullptr) {
        ::DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
        return 1;
    }
    HBITMAP hBitmap = static_cast<HBITMAP>(
        ::LoadImageA(nullptr, lpszPath, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_LOADMAP3DCOLORS));
    if (hBitmap == nullptr)
        return 0;  // keep showing the previous picture
    ::DeleteObject(m_hBitmap);
    m_hBitmap = hBitmap;
    return ::GetObjectA(m_hBitmap, sizeof(m_bmInfo), &m_bmInfo);
}

void CPreviewStatic::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    // SS_LEFT or SS_CENTER become SS_OWNERDRAW; the other style bits stay.
    ModifyStyle(0, SS_OWNERDRAW);
}

BOOL CPreviewStatic::OnEraseBkgnd(CDC* pDC)
{
    RECT rc;
    GetClientRect(&rc);
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;

    if (m_hBitmap == nullptr) {
        CSelectObject brush(*pDC, ::GetSysColorBrush(COLOR_BTNFACE));
        pDC->PatBlt(rc.left, rc.top, cx, cy, PATCOPY);
        return TRUE;
    }

    CDC dcMem;
    if (dcMem.CreateCompatibleDC(pDC)) {
        CSelectObject bitmap(dcMem, m_hBitmap);
        pDC->SetStretchBltMode(COLORONCOLOR);
        // The whole bitmap, its last row and column included, fills the control.
        pDC->StretchBlt(rc.left, rc.top, cx, cy, &dcMem, 0, 0, m_bmInfo.bmWidth, m_bmInfo.bmHeight, SRCCOPY);
    }
    return TRUE;
}

void CPreviewStatic::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    const int nLength = GetWindowTextLength();
    if (nLength <= 0)
        return;
    std::string text(static_cast<size_t>(nLength) + 1, '\0');
    const int nGot = GetWindowText(&text[0], nLength + 1);
    if (nGot <= 0)
        return;

    HDC hDC = lpDrawItemStruct->hDC;
    RECT rc = lpDrawItemStruct->rcItem;
    const DWORD dwStyle = GetStyle();
    UINT nFormat = DT_WORDBREAK | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX;
    if (dwStyle & SS_CENTERIMAGE)
        nFormat |= DT_VCENTER;
    // Bit 0 is part of SS_OWNERDRAW, so the text is always centred across.
    if (dwStyle & SS_CENTER)
        nFormat |= DT_CENTER;
    else if (dwStyle & SS_RIGHT)
        nFormat |= DT_RIGHT;

    // Over the picture in the colour the system gives text on a strong
    // background; in high contrast on the window's own colours, with no
    // picture behind the letters.
    const bool bHighContrast = IsHighContrast();
    const int nOldMode = ::SetBkMode(hDC, bHighContrast ? OPAQUE : TRANSPARENT);
    const COLORREF crOldBack = ::SetBkColor(hDC, ::GetSysColor(COLOR_WINDOW));
    const COLORREF crOldColor =
        ::SetTextColor(hDC, ::GetSysColor(bHighContrast ? COLOR_WINDOWTEXT : COLOR_HIGHLIGHTTEXT));
    ::DrawTextA(hDC, text.c_str(), nGot, &rc, nFormat);
    ::SetTextColor(hDC, crOldColor);
    ::SetBkColor(hDC, crOldBack);
    ::SetBkMode(hDC, nOldMode);
}
