// CreateProcessA, tried again while Wine loses the child before it ran.
#pragma once

#include <windows.h>

#include <string>

inline bool StartProcess(const char* app, std::string commandLine, bool inheritHandles, DWORD flags,
                         STARTUPINFOA& si, PROCESS_INFORMATION& pi)
{
    // Under load Wine now and then sees a new process die in its loader and
    // says ERROR_INTERNAL_ERROR; none of the child's own code ran by then.
    for (int attempt = 0;; ++attempt) {
        char* line = commandLine.empty() ? nullptr : &commandLine[0];
        if (::CreateProcessA(app, line, nullptr, nullptr, inheritHandles, flags, nullptr, nullptr, &si, &pi))
            return true;
        if (::GetLastError() != ERROR_INTERNAL_ERROR || attempt == 2)
            return false;
    }
}
