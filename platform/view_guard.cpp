#include "platform/view_guard.h"

namespace {
thread_local bool t_armed = false;
thread_local DWORD t_passes = 0;
}

void FaultNextViewAccess(DWORD passes)
{
    t_armed = true;
    t_passes = passes;
}

bool TakeViewFault()
{
    if (!t_armed)
        return false;
    if (t_passes > 0) {
        --t_passes;
        return false;
    }
    t_armed = false;
    return true;
}
