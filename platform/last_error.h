// How every failure of the data layer and the stand-ins returns.
#pragma once

#include "platform/win32.h"

// Leaves `code` as the thread's last-error code and gives `result`.
template <class T = int>
inline T FailWith(DWORD code, T result = T())
{
    SetLastError(code);
    return result;
}
