#include <cerrno>

#include "platform/posix_internal.h"

namespace {
thread_local DWORD t_lastError = 0;
}

void WINAPI SetLastError(DWORD code)
{
    t_lastError = code;
}

DWORD WINAPI GetLastError()
{
    return t_lastError;
}

DWORD Win32ErrorFromErrno(int err)
{
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;   // Windows refuses to open a folder as a file with 5 too
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ETXTBSY:
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    default: return ERROR_GEN_FAILURE;
    }
}
