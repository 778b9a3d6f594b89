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

// Puts the thread's last-error code back as it was when this was made, so
// that closing and freeing after a failure cannot hide the failure's code.
class KeepLastError {
public:
    KeepLastError() : code_(GetLastError()) {}
    ~KeepLastError() { SetLastError(code_); }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;

private:
    DWORD code_;
};
