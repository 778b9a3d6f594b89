#include "framework/gdi.h"

#include "framework/wnd.h"

CDC::~CDC()
{
    if (m_bOwned)
        DeleteDC();
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    m_hDC = nullptr;
    m_bOwned = false;
    return hDC;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC)
{
    HDC hDC = ::CreateCompatibleDC(pDC != nullptr ? pDC->m_hDC : nullptr);
    if (hDC == nullptr)
        return FALSE;
    if (m_bOwned)
        DeleteDC();
    m_hDC = hDC;
    m_bOwned = true;
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    if (m_hDC == nullptr || !m_bOwned)
        return FALSE;
    BOOL bResult = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_bOwned = false;
    return bResult;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::GetDC(m_hWnd); }

CClientDC::~CClientDC()
{
    if (m_hDC != nullptr)
        ::ReleaseDC(m_hWnd, m_hDC);
    Detach();
}

BOOL CFont::CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                       BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                       BYTE nQuality, BYTE nPitchAndFamily, LPCSTR lpszFacename)
{
    return Attach(::CreateFontA(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic, bUnderline, cStrikeOut,
                                nCharSet, nOutPrecision, nClipPrecision, nQuality, nPitchAndFamily, lpszFacename));
}

BOOL CFont::Attach(HFONT hFont)
{
    if (hFont == nullptr)
        return FALSE;
    DeleteObject();
    m_hObject = hFont;
    return TRUE;
}

HFONT CFont::Detach()
{
    HFONT hFont = m_hObject;
    m_hObject = nullptr;
    return hFont;
}

BOOL CFont::DeleteObject()
{
    if (m_hObject == nullptr)
        return FALSE;
    BOOL bResult = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return bResult;
}
