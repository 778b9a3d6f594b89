// For tests: makes the next call of one kind to the POSIX file stand-ins fail
// with a chosen error, so that the failure paths behind a successful open can
// be reached. Unarmed, a stand-in pays one load and branch for it. Windows
// builds call the real kernel32 and have no such switch.
#pragma once

#include "platform/win32.h"

enum class FileCall { SizeQuery, Mapping, View, Close, Count };

// The next GetFileSize, CreateFileMappingA or MapViewOfFile fails with `error`
// and does nothing else; the next CloseHandle closes its handle and then
// reports `error`, as a close that meets trouble may. One call only; an error
// of 0 disarms.
void FailNextFileCall(FileCall call, DWORD error);
