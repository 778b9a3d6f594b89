#include "framework/dpi.h"

int GetScreenDpi()
{
    HDC hDC = ::GetDC(nullptr);
    const int nDpi = hDC != nullptr ? ::GetDeviceCaps(hDC, LOGPIXELSY) : 0;
    if (hDC != nullptr)
        ::ReleaseDC(nullptr, hDC);
    return nDpi > 0 ? nDpi : 96;
}
