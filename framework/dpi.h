// Sizes on screen. A size the program sets in pixels is given as it is at 96
// DPI and scaled to the screen's DPI, as the dialog manager scales templates
// and their fonts; at 96 DPI it stays as given.
#pragma once

#include <windows.h>

// The system DPI: LOGPIXELSY of the screen, 96 when it cannot be read.
int GetScreenDpi();

inline int DpiScale(int nPixelsAt96, int nDpi)
{
    return ::MulDiv(nPixelsAt96, nDpi, 96);
}
