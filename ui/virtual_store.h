// Which copy of a file Windows serves this program. With file virtualization
// on (a legacy 32-bit program run by a standard user), a file under Program
// Files that such a program has written is read from a per-user copy under
// %LOCALAPPDATA%\VirtualStore, at the same path without its drive.
#pragma once

#include <windows.h>

// The per-user copy's path for lpszPath under lpszLocalAppData; 0 when the
// path starts with no drive letter or the result does not fit nSize.
int VirtualStorePath(LPCSTR lpszPath, LPCSTR lpszLocalAppData, char* lpszCopy, DWORD nSize);

// 1 with the copy's path in lpszServed when virtualization covers this
// program and the copy exists; 0 when lpszPath itself is what it reads.
int ServedCopyPath(LPCSTR lpszPath, char* lpszServed, DWORD nSize);
