#pragma once

#include <windows.h>

// A DLL the program needs only for some features (the Open dialog, the
// theme, screen readers) is loaded at first use, so start-up loads no more
// than the program's imports, and from the system folder only, never a DLL
// of that name beside the program.
//
// Loaded once and kept for the rest of the run; *phModule caches the module.
FARPROC SystemProc(LPCSTR lpszDll, HMODULE* phModule, LPCSTR lpszName);

// GetProcAddress gives every function one type; the caller names the real one.
template <class T>
T SystemFunction(LPCSTR lpszDll, HMODULE* phModule, LPCSTR lpszName)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemProc(lpszDll, phModule, lpszName)));
}
