// Sizes on screen. A size the program sets in pixels is given as it is at 96
// DPI and scaled to the screen's DPI, as the dialog manager scales templates
// and their fonts; at 96 DPI it stays as given.
#pragma once

#include <windows.h>

// Sent when a window of a per-monitor aware program moves to a monitor of
// another DPI, or the monitor's scale changes; the headers name it only for
// Windows 7 and later.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The system DPI: LOGPIXELSY of the screen, 96 when it cannot be read.
int GetScreenDpi();

// The DPI the window is drawn at: GetDpiForWindow's where the system has it
// (Windows 10 1607 and later), else the system DPI.
int GetWindowDpi(HWND hWnd);

// Grows a client rectangle by the window's frame as it is at the window's DPI.
void AdjustWindowRectForDpi(HWND hWnd, RECT* pRect);

// Leaves a DPI change to the dialog's own handler: on Windows 10 1703 and
// later the dialog manager would otherwise resize and lay out the dialog too.
void DisableDialogManagerDpiScaling(HWND hDlg);

// Tests stand in for a system without GetDpiForWindow here (nullptr); the
// system's own comes back with SetDpiForWindowFunction(DefaultDpiForWindowFunction()).
typedef UINT(WINAPI* DpiForWindowFunction)(HWND hWnd);
DpiForWindowFunction DefaultDpiForWindowFunction();
void SetDpiForWindowFunction(DpiForWindowFunction pfn);

inline int DpiScale(int nPixelsAt96, int nDpi)
{
    return ::MulDiv(nPixelsAt96, nDpi, 96);
}
