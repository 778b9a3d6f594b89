// Windows raises EXCEPTION_IN_PAGE_ERROR where a page of a view cannot be
// read or written. GCC has no __try, so a vectored handler sees the exception
// first and, when it falls inside the view guarded on this thread, resumes
// the thread at a stub that jumps back into the guard.
#include "platform/last_error.h"
#include "platform/view_guard.h"

namespace {

const LONG kStatusDiskFull = LONG(0xC000007F);   // STATUS_DISK_FULL

struct Guard {
    void* jump[5];   // __builtin_setjmp's buffer
    ULONG_PTR start;
    SIZE_T size;
    volatile LONG status;   // the NTSTATUS behind the fault
};

// Taken at the first guard, not by a static initializer, whose order
// against other initializers that might guard is unknown; checked there.
DWORD g_guardSlot = TLS_OUT_OF_INDEXES;

Guard* ActiveGuard()
{
    return g_guardSlot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Guard*>(TlsGetValue(g_guardSlot));
}

__attribute__((noinline, noreturn)) void JumpBack()
{
    __builtin_longjmp(ActiveGuard()->jump, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const DWORD code = record->ExceptionCode;
    if ((code != EXCEPTION_IN_PAGE_ERROR && code != EXCEPTION_ACCESS_VIOLATION) || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    // TlsGetValue clears the last-error code, which is not ours to change.
    const DWORD lastError = GetLastError();
    Guard* guard = ActiveGuard();
    SetLastError(lastError);
    if (!guard || record->ExceptionInformation[1] - guard->start >= guard->size)
        return EXCEPTION_CONTINUE_SEARCH;
    guard->status = code == EXCEPTION_IN_PAGE_ERROR && record->NumberParameters >= 3
                        ? LONG(record->ExceptionInformation[2])
                        : LONG(code);
    // The stub starts well below the faulting frame, aligned as after a
    // call, so that it overwrites nothing of the frames it jumps back to.
    CONTEXT* context = pointers->ContextRecord;
#ifdef _WIN64
    context->Rsp = ((context->Rsp - 256) & ~DWORD64(15)) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&JumpBack);
#else
    context->Esp = ((context->Esp - 256) & ~DWORD(15)) - 4;
    context->Eip = reinterpret_cast<DWORD>(&JumpBack);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

DWORD Win32ErrorOf(LONG status)
{
    typedef ULONG(WINAPI * Convert)(LONG);
    static const Convert convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlNtStatusToDosError")));
    const DWORD error = convert ? convert(status) : ERROR_MR_MID_NOT_FOUND;
    // 317 is its answer for a status it has no number for.
    return error == ERROR_MR_MID_NOT_FOUND ? ERROR_SWAPERROR : error;
}

// As the memory manager raises it: a store, its address, the I/O status.
void RaiseFullDisk(const Guard* guard)
{
    const ULONG_PTR information[3] = {1, guard->start, ULONG_PTR(kStatusDiskFull)};
    RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, information);
}

// The slot first: the handler reads it.
bool InstallHandler()
{
    static const DWORD slot = g_guardSlot = TlsAlloc();
    static const PVOID handler = slot == TLS_OUT_OF_INDEXES ? nullptr : AddVectoredExceptionHandler(1, OnException);
    return slot != TLS_OUT_OF_INDEXES && handler != nullptr;
}

} // namespace

int GuardViewAccess(const void* view, SIZE_T size, ViewAccess access, void* context)
{
    // TlsGetValue clears the last-error code; a guarded access that fails
    // nothing leaves the caller's.
    const DWORD callerError = GetLastError();
    if (!InstallHandler())
        return FailWith(ERROR_NO_SYSTEM_RESOURCES);
    Guard guard;
    guard.start = reinterpret_cast<ULONG_PTR>(view);
    guard.size = size;
    guard.status = 0;
    Guard* const outer = ActiveGuard();
    const bool fault = TakeViewFault() && size > 0;
    if (__builtin_setjmp(guard.jump) == 0) {
        TlsSetValue(g_guardSlot, &guard);
        if (fault)
            RaiseFullDisk(&guard);
        SetLastError(callerError);
        access(context);
        const DWORD error = GetLastError();   // the access's, whatever TlsSetValue does with it
        TlsSetValue(g_guardSlot, outer);
        SetLastError(error);
        return 1;
    }
    TlsSetValue(g_guardSlot, outer);
    return FailWith(Win32ErrorOf(guard.status));
}
