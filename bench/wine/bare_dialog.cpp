// The start-up yardstick for the Wine benchmark: the main dialog's template
// shown by the system's own dialog box, with nothing behind it.
#include <windows.h>

#include "ui/resource.h"

static INT_PTR CALLBACK BareProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return int(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CLASSLIST_DIALOG), nullptr, BareProc, 0));
}
