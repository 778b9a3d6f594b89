// Parts drawn with the system's visual style where one is active. uxtheme is
// loaded from the system folder at first use, so the program imports nothing
// more for it. Where it is missing, the theme is off or high contrast is on, a
// CThemeData stays closed and the caller draws the classic way, with the
// system's colours.
#pragma once

#include <windows.h>

// High contrast (SPI_GETHIGHCONTRAST) asks for the system's colour pairs only.
bool IsHighContrast();

// The system's settings decide by default. A test says instead that no theme
// is active or that high contrast is on, which Wine cannot be told.
struct LookHook {
    bool bNoTheme;
    bool bHighContrast;
};
void SetLookHook(const LookHook* pHook);  // null: the system's settings again

class CThemeData {
public:
    CThemeData() = default;
    ~CThemeData() { Close(); }
    CThemeData(const CThemeData&) = delete;
    CThemeData& operator=(const CThemeData&) = delete;

    // The theme of a window class (L"BUTTON") for drawing in hWnd at nDpi;
    // false, and closed, where the classic look applies.
    bool Open(HWND hWnd, LPCWSTR lpszClassList, int nDpi);
    void Close();
    bool IsOpen() const { return m_hTheme != nullptr; }

    // False when closed or the theme cannot draw the part: draw it classically.
    bool DrawBackground(HDC hDC, int nPart, int nState, const RECT& rc) const;

    // Whether the theme draws the part at the size of rc, within a pixel. A
    // theme made for another DPI than the window's draws it smaller or larger.
    bool PartFits(HDC hDC, int nPart, int nState, const RECT& rc) const;

private:
    HANDLE m_hTheme = nullptr;  // HTHEME
};
