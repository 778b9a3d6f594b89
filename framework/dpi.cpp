#include "framework/dpi.h"

namespace {

typedef BOOL(WINAPI* AdjustWindowRectExForDpiFunction)(RECT*, DWORD, BOOL, DWORD, UINT);
typedef BOOL(WINAPI* SetDialogDpiChangeBehaviorFunction)(HWND, int, int);
const int kDialogDpiChangesDisabled = 1;  // DDC_DISABLE_ALL

// Looked up, not imported: a program that imports them does not start on
// systems before them.
FARPROC User32Function(LPCSTR lpszName)
{
    HMODULE hUser32 = ::GetModuleHandleA("user32.dll");
    return hUser32 != nullptr ? ::GetProcAddress(hUser32, lpszName) : nullptr;
}

template <class T>
T User32(LPCSTR lpszName)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(User32Function(lpszName)));
}

DpiForWindowFunction g_pfnDpiForWindow = DefaultDpiForWindowFunction();

}  // namespace

int GetScreenDpi()
{
    HDC hDC = ::GetDC(nullptr);
    const int nDpi = hDC != nullptr ? ::GetDeviceCaps(hDC, LOGPIXELSY) : 0;
    if (hDC != nullptr)
        ::ReleaseDC(nullptr, hDC);
    return nDpi > 0 ? nDpi : 96;
}

DpiForWindowFunction DefaultDpiForWindowFunction()
{
    static const DpiForWindowFunction pfn = User32<DpiForWindowFunction>("GetDpiForWindow");
    return pfn;
}

void SetDpiForWindowFunction(DpiForWindowFunction pfn) { g_pfnDpiForWindow = pfn; }

int GetWindowDpi(HWND hWnd)
{
    const int nDpi = g_pfnDpiForWindow != nullptr ? static_cast<int>(g_pfnDpiForWindow(hWnd)) : 0;
    return nDpi > 0 ? nDpi : GetScreenDpi();
}

void AdjustWindowRectForDpi(HWND hWnd, RECT* pRect)
{
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongA(hWnd, GWL_STYLE));
    const DWORD dwExStyle = static_cast<DWORD>(::GetWindowLongA(hWnd, GWL_EXSTYLE));
    const BOOL bMenu = (dwStyle & WS_CHILD) == 0 && ::GetMenu(hWnd) != nullptr;
    static const auto pfnAdjustForDpi = User32<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    // Without the window's DPI the frame is the system's, which is what
    // such a system draws.
    if (g_pfnDpiForWindow != nullptr && pfnAdjustForDpi != nullptr &&
        pfnAdjustForDpi(pRect, dwStyle, bMenu, dwExStyle, g_pfnDpiForWindow(hWnd)))
        return;
    ::AdjustWindowRectEx(pRect, dwStyle, bMenu, dwExStyle);
}

void DisableDialogManagerDpiScaling(HWND hDlg)
{
    static const auto pfnSetBehavior = User32<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    if (pfnSetBehavior != nullptr)
        pfnSetBehavior(hDlg, kDialogDpiChangesDisabled, kDialogDpiChangesDisabled);
}
