// For tests: makes the next call of one kind to the POSIX file stand-ins fail
// with a chosen error, come up short, or meet another program's work first,
// so that the failure paths behind a successful open can be reached. Unarmed,
// a stand-in pays one load and branch for it. Windows builds call the real
// kernel32 and have no such switch.
#pragma once

#include <functional>

#include "platform/win32.h"

enum class FileCall { Open, SizeQuery, Mapping, View, Close, Write, Read, Flush, FlushView, Move, Count };

// The next call of that kind fails with `error` and does nothing else; the
// next CloseHandle closes its handle and then reports `error`, as a close that
// meets trouble may. One call only; an error of 0 disarms.
void FailNextFileCall(FileCall call, DWORD error);

// The next WriteFile or ReadFile moves only the first half of its bytes and
// reports success with that count, as a full disk or a file cut short while
// it is read may.
void ShortenNextFileCall(FileCall call);

// Runs `action` when the next call of that kind starts, before it does
// anything: another program's work that lands at that moment.
void BeforeNextFileCall(FileCall call, std::function<void()> action);
