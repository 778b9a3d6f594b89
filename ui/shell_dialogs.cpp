#include "ui/shell_dialogs.h"

#include <commdlg.h>

#include "framework/system_dll.h"

namespace {

HMODULE g_hComdlg32;
HMODULE g_hShell32;

int ShowOpenDialog(HWND hOwner, LPCSTR lpszFolder, char* lpszPath, DWORD nSize)
{
    typedef BOOL(WINAPI * GetOpenFileNameProc)(LPOPENFILENAMEA);
    const auto pfnGetOpenFileName =
        SystemFunction<GetOpenFileNameProc>("comdlg32.dll", &g_hComdlg32, "GetOpenFileNameA");
    if (pfnGetOpenFileName == nullptr)
        return -1;
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = "Class list (CLASSLIST.BGL)\0CLASSLIST.BGL\0All files\0*.*\0";
    ofn.nFilterIndex = 1;
    lpszPath[0] = '\0';
    ofn.lpstrFile = lpszPath;
    ofn.nMaxFile = nSize;
    ofn.lpstrInitialDir = lpszFolder != nullptr && *lpszFolder != '\0' ? lpszFolder : nullptr;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return pfnGetOpenFileName(&ofn) ? 1 : 0;
}

ChooseFileHook g_chooseFile = ShowOpenDialog;

} // namespace

int ChooseClassListFile(HWND hOwner, LPCSTR lpszFolder, char* lpszPath, DWORD nSize)
{
    return g_chooseFile(hOwner, lpszFolder, lpszPath, nSize);
}

void SetChooseFileHook(ChooseFileHook hook)
{
    g_chooseFile = hook ? hook : ShowOpenDialog;
}

int TakeDroppedFile(HDROP hDrop, char* lpszPath, DWORD nSize)
{
    typedef UINT(WINAPI * DragQueryFileProc)(HDROP, UINT, LPSTR, UINT);
    typedef void(WINAPI * DragFinishProc)(HDROP);
    const auto pfnDragQueryFile =
        SystemFunction<DragQueryFileProc>("shell32.dll", &g_hShell32, "DragQueryFileA");
    const auto pfnDragFinish = SystemFunction<DragFinishProc>("shell32.dll", &g_hShell32, "DragFinish");
    int result = 0;
    if (pfnDragQueryFile != nullptr && pfnDragQueryFile(hDrop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT n = pfnDragQueryFile(hDrop, 0, lpszPath, nSize);
        result = n > 0 && n < nSize ? 1 : 0;
    }
    if (pfnDragFinish != nullptr)
        pfnDragFinish(hDrop);
    return result;
}
