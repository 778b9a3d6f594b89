// Access to a mapped view that outlives the system's ability to back it: a
// file cut short by another program, a full disk under a sparse or
// copy-on-write file, a network share that went away. Windows raises an
// in-page error there and Linux a bus error; unguarded, either ends the
// program with nothing said.
#pragma once

#include "platform/win32.h"

typedef void (*ViewAccess)(void* context);

// Runs access(context): 1 when it returns. When it touches a page of
// [view, view + size) that the system cannot read or write, it is abandoned
// at that instruction and the result is 0 with the Win32 error as the
// thread's last-error code. What it stored before stays stored, so it keeps
// its progress in `context` through volatile fields.
//
// Abandoned means jumped out of, past every frame the access has open, so an
// access is a plain loop over the view and its context. It must not:
// - own anything that needs a destructor, since none runs;
// - allocate, take a lock or call into the C library (which may do either),
//   since a jump out would leave the heap or the lock held;
// - register a structured exception frame (__try, or a function compiled
//   with SEH), since Windows would be left with a frame that is gone.
// Where the guard cannot be set up (no thread-local slot left on Windows),
// the access is not run and the result is 0 with ERROR_NO_SYSTEM_RESOURCES.
int GuardViewAccess(const void* view, SIZE_T size, ViewAccess access, void* context);

// The same for a callable, typically a lambda that captures by reference.
template <class Access>
int GuardViewAccess(const void* view, SIZE_T size, Access& access)
{
    return GuardViewAccess(view, size, [](void* context) { (*static_cast<Access*>(context))(); }, &access);
}

// For tests: once `passes` more guarded accesses on this thread have run,
// the next one meets a full disk as it starts, raised as the system raises
// it. One fault only.
void FaultNextViewAccess(DWORD passes = 0);

// The guards' side of that switch: true once, when the armed fault is due.
bool TakeViewFault();
