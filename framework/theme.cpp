#include "framework/theme.h"

#include "framework/system_dll.h"

namespace {

HMODULE g_hUxTheme = nullptr;
const LookHook* g_pLookHook = nullptr;

using OpenThemeDataFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFn = HRESULT(WINAPI*)(HANDLE);
using OpenThemeDataForDpiFn = HANDLE(WINAPI*)(HWND, LPCWSTR, UINT);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
using GetThemePartSizeFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, int, SIZE*);

template <class T>
T UxTheme(LPCSTR lpszName)
{
    return SystemFunction<T>("uxtheme.dll", &g_hUxTheme, lpszName);
}

}  // namespace

void SetLookHook(const LookHook* pHook) { g_pLookHook = pHook; }

bool IsHighContrast()
{
    if (g_pLookHook != nullptr)
        return g_pLookHook->bHighContrast;
    HIGHCONTRASTA hc = {sizeof hc, 0, nullptr};
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool CThemeData::Open(HWND hWnd, LPCWSTR lpszClassList, int nDpi)
{
    Close();
    // Themes keep their own colours; high contrast wants the system's.
    if (IsHighContrast() || (g_pLookHook != nullptr && g_pLookHook->bNoTheme))
        return false;
    // Windows 10 1703 and later open the theme for a DPI; before them, and
    // under Wine, it comes at the system's.
    static const auto pfnOpenForDpi = UxTheme<OpenThemeDataForDpiFn>("OpenThemeDataForDpi");
    static const auto pfnOpen = UxTheme<OpenThemeDataFn>("OpenThemeData");
    if (pfnOpenForDpi != nullptr && nDpi > 0)
        m_hTheme = pfnOpenForDpi(hWnd, lpszClassList, UINT(nDpi));
    if (m_hTheme == nullptr && pfnOpen != nullptr)
        m_hTheme = pfnOpen(hWnd, lpszClassList);
    return m_hTheme != nullptr;
}

void CThemeData::Close()
{
    if (m_hTheme == nullptr)
        return;
    static const auto pfnClose = UxTheme<CloseThemeDataFn>("CloseThemeData");
    if (pfnClose != nullptr)
        pfnClose(m_hTheme);
    m_hTheme = nullptr;
}

bool CThemeData::DrawBackground(HDC hDC, int nPart, int nState, const RECT& rc) const
{
    if (m_hTheme == nullptr)
        return false;
    static const auto pfnDraw = UxTheme<DrawThemeBackgroundFn>("DrawThemeBackground");
    return pfnDraw != nullptr && SUCCEEDED(pfnDraw(m_hTheme, hDC, nPart, nState, &rc, nullptr));
}

bool CThemeData::PartFits(HDC hDC, int nPart, int nState, const RECT& rc) const
{
    if (m_hTheme == nullptr)
        return false;
    static const auto pfnSize = UxTheme<GetThemePartSizeFn>("GetThemePartSize");
    SIZE size = {0, 0};
    const int TS_TRUE_SIZE = 1;   // TS_TRUE: the size the part is drawn at
    if (pfnSize == nullptr || FAILED(pfnSize(m_hTheme, hDC, nPart, nState, nullptr, TS_TRUE_SIZE, &size)))
        return false;
    const int nWidth = rc.right - rc.left, nHeight = rc.bottom - rc.top;
    return size.cx >= nWidth - 1 && size.cx <= nWidth + 1 && size.cy >= nHeight - 1 && size.cy <= nHeight + 1;
}
