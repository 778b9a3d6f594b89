// A bus error, or a segmentation fault inside the guarded view, jumps back to
// the guard. The handler is installed once, at the first guard, and hands
// every other fault to the handler it found (AddressSanitizer's, or the
// default that ends the program).
#include <setjmp.h>
#include <signal.h>

#include <cstdint>
#include <mutex>

#include "platform/last_error.h"
#include "platform/posix_internal.h"
#include "platform/view_guard.h"

namespace {

struct Guard {
    sigjmp_buf jump;
    uintptr_t start;
    SIZE_T size;
    volatile sig_atomic_t raising;   // the test switch's own SIGBUS is on its way
    volatile int signal;
    volatile uintptr_t faultAt;
};

thread_local Guard* t_guard = nullptr;

struct sigaction g_previousBus, g_previousSegv;

void HandOn(int sig, siginfo_t* info, void* context)
{
    const struct sigaction& previous = sig == SIGBUS ? g_previousBus : g_previousSegv;
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(sig, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(sig);
        return;
    }
    // The default action: a fault comes back when the access is retried on
    // return; a signal sent by a program is sent again.
    signal(sig, SIG_DFL);
    if (info->si_code <= 0)
        raise(sig);
}

void OnFault(int sig, siginfo_t* info, void* context)
{
    Guard* guard = t_guard;
    if (guard) {
        const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
        const bool ours = guard->raising ? info->si_code <= 0 : at >= guard->start && at - guard->start < guard->size;
        if (ours) {
            guard->signal = sig;
            guard->faultAt = at;
            siglongjmp(guard->jump, 1);
        }
    }
    HandOn(sig, info, context);
}

void InstallHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previousBus);
        sigaction(SIGSEGV, &action, &g_previousSegv);
    });
}

} // namespace

int GuardViewAccess(const void* view, SIZE_T size, ViewAccess access, void* context)
{
    InstallHandler();
    Guard guard;
    guard.start = reinterpret_cast<uintptr_t>(view);
    guard.size = size;
    guard.raising = 0;
    guard.signal = 0;
    guard.faultAt = 0;
    Guard* const outer = t_guard;
    const bool fault = TakeViewFault();
    if (sigsetjmp(guard.jump, 1) == 0) {
        t_guard = &guard;
        if (fault) {
            guard.raising = 1;
            raise(SIGBUS);
        }
        access(context);
        t_guard = outer;
        return 1;
    }
    t_guard = outer;
    if (guard.raising)
        return FailWith(ERROR_DISK_FULL);
    // A segmentation fault inside a view is a store the view does not allow.
    return FailWith(guard.signal == SIGSEGV ? DWORD(ERROR_NOACCESS) : ViewFaultError(guard.faultAt));
}
