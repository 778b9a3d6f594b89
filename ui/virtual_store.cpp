#include "ui/virtual_store.h"

#include <cstdio>

namespace {

bool VirtualizationEnabled()
{
    HANDLE hToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return false;
    DWORD dwEnabled = 0;
    DWORD cb = 0;
    const BOOL bRead = ::GetTokenInformation(hToken, TokenVirtualizationEnabled, &dwEnabled, sizeof dwEnabled, &cb);
    ::CloseHandle(hToken);
    return bRead && dwEnabled != 0;
}

} // namespace

int VirtualStorePath(LPCSTR lpszPath, LPCSTR lpszLocalAppData, char* lpszCopy, DWORD nSize)
{
    const char c = lpszPath[0];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) || lpszPath[1] != ':' || lpszPath[2] != '\\')
        return 0;
    const int n = std::snprintf(lpszCopy, nSize, "%s\\VirtualStore\\%s", lpszLocalAppData, lpszPath + 3);
    return n > 0 && DWORD(n) < nSize ? 1 : 0;
}

int ServedCopyPath(LPCSTR lpszPath, char* lpszServed, DWORD nSize)
{
    char szLocalAppData[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA("LOCALAPPDATA", szLocalAppData, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !VirtualizationEnabled() ||
        !VirtualStorePath(lpszPath, szLocalAppData, lpszServed, nSize))
        return 0;
    const DWORD dwAttributes = ::GetFileAttributesA(lpszServed);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}
