#include "framework/theme.h"

#include "framework/system_dll.h"

namespace {

HMODULE g_hUxTheme = nullptr;
const LookHook* g_pLookHook = nullptr;

using OpenThemeDataFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFn = HRESULT(WINAPI*)(HANDLE);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);

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

bool CThemeData::Open(HWND hWnd, LPCWSTR lpszClassList)
{
    Close();
    // Themes keep their own colours; high contrast wants the system's.
    if (IsHighContrast() || (g_pLookHook != nullptr && g_pLookHook->bNoTheme))
        return false;
    static const auto pfnOpen = UxTheme<OpenThemeDataFn>("OpenThemeData");
    if (pfnOpen != nullptr)
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
