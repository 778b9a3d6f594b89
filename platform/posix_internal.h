// Shared by the POSIX stand-ins for kernel32/advapi32.
#pragma once

#include <string>

#include "platform/win32.h"

// The Win32 error number a failed POSIX call stands for.
DWORD Win32ErrorFromErrno(int err);

// The Wine prefix whose registry and drives stand for the machine's:
// $WINEPREFIX, else ~/.wine.
std::string WinePrefix();

// The file a name given to the Win32 stand-ins stands for. A DOS path, one
// that starts with "X:\" or "X:/" or with a backslash, resolves as Wine would:
// "X:" through the prefix's dosdevices links (a backslash alone from the
// root), '\' or '/' between components, each component matched without
// regard to case. Any other name is the kernel's and is taken as it is. On
// failure returns false with the Win32 error in *error (3 for a missing
// folder). A missing last component is not an error here: the caller's open
// reports it.
bool ResolveDosPath(const char* path, std::string* unixPath, DWORD* error);

enum class FileCall;
// What a test armed for the next call of a kind (platform/posix_file_faults.h),
// taken once; nothing armed is {0, false}.
struct FileFault {
    DWORD error;
    bool shorten;
};
FileFault TakeFault(FileCall call);

// The descriptor behind a file handle of CreateFileA, or -1.
int PosixFileDescriptor(HANDLE file);

// What a bus error at `address`, inside a view of MapViewOfFile, stands for:
// ERROR_HANDLE_EOF past the file's present end, ERROR_DISK_FULL on a volume
// with no room left, else ERROR_SWAPERROR, Windows' own number for a page
// that could not be brought in.
DWORD ViewFaultError(uintptr_t address);
