#include "framework/system_dll.h"

FARPROC SystemProc(LPCSTR lpszDll, HMODULE* phModule, LPCSTR lpszName)
{
    if (*phModule == nullptr) {
        char szPath[MAX_PATH];
        const UINT n = ::GetSystemDirectoryA(szPath, MAX_PATH);
        if (n == 0 || n + 1 + ::lstrlenA(lpszDll) >= MAX_PATH)
            return nullptr;
        ::lstrcatA(szPath, "\\");
        ::lstrcatA(szPath, lpszDll);
        *phModule = ::LoadLibraryA(szPath);
        if (*phModule == nullptr)
            return nullptr;
    }
    return ::GetProcAddress(*phModule, lpszName);
}
