#include "data/class_list_backup.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

int Fail(DWORD code)
{
    SetLastError(code);
    return 0;
}

bool IsFile(LPCSTR path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

int FormatBackupPath(LPCSTR classListPath, char* path, DWORD size)
{
    if (!classListPath || !path)
        return Fail(ERROR_INVALID_PARAMETER);
    const int n = std::snprintf(path, size, "%s" CLASS_LIST_BACKUP_SUFFIX, classListPath);
    if (n < 0 || static_cast<DWORD>(n) >= size)
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    return 1;
}

int BackupClassList(const ClassListFile* file, LPCSTR classListPath)
{
    if (!file || !file->view)
        return Fail(ERROR_INVALID_PARAMETER);
    char backup[BACKUP_PATH_SIZE];
    if (!FormatBackupPath(classListPath, backup, sizeof backup))
        return 0;
    // A folder of that name is no backup: the rename below fails on it.
    if (IsFile(backup)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return 1;
    }

    // The process id keeps two programs backing up at once apart.
    char temp[BACKUP_PATH_SIZE + 16];
    std::snprintf(temp, sizeof temp, "%s.%lu.tmp", backup, static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE handle = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    // No live program has our id: a file of that name is left from a crash.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS && DeleteFileA(temp))
        handle = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(handle, file->view, file->fileSize, &written, nullptr);
    if (ok && written != file->fileSize) {
        ok = FALSE;
        SetLastError(ERROR_DISK_FULL);
    }
    if (ok)
        ok = FlushFileBuffers(handle);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(handle);
    if (ok && !MoveFileA(temp, backup)) {
        ok = FALSE;
        error = GetLastError();
        // Another program made the first backup meanwhile: keep that one.
        if (error == ERROR_ALREADY_EXISTS && IsFile(backup)) {
            DeleteFileA(temp);
            SetLastError(ERROR_ALREADY_EXISTS);
            return 1;
        }
    }
    if (!ok) {
        DeleteFileA(temp);
        return Fail(error);
    }
    SetLastError(ERROR_SUCCESS);
    return 1;
}

int ReadClassListBackup(LPCSTR classListPath, ClassListBackup* backup)
{
    if (!backup)
        return Fail(ERROR_INVALID_PARAMETER);
    backup->bytes = nullptr;
    backup->size = 0;
    char path[BACKUP_PATH_SIZE];
    if (!FormatBackupPath(classListPath, path, sizeof path))
        return 0;
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetFileSize(handle, &high);
    DWORD error = ERROR_SUCCESS;
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
        error = GetLastError();
    else if (high != 0)
        error = ERROR_NOT_ENOUGH_MEMORY;   // no class list is 4 GiB
    else if (!(backup->bytes = new (std::nothrow) BYTE[size ? size : 1]))
        error = ERROR_NOT_ENOUGH_MEMORY;
    DWORD read = 0;
    if (error == ERROR_SUCCESS && !ReadFile(handle, backup->bytes, size, &read, nullptr))
        error = GetLastError();
    else if (error == ERROR_SUCCESS && read != size)
        error = ERROR_INVALID_DATA;   // shorter than it said: changed while we read
    CloseHandle(handle);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    backup->size = size;
    return 1;
}

void FreeClassListBackup(ClassListBackup* backup)
{
    if (!backup)
        return;
    delete[] backup->bytes;
    backup->bytes = nullptr;
    backup->size = 0;
}

int RestoreClassList(ClassListFile* file, const ClassListBackup* backup)
{
    if (!file || !file->view || !backup || !backup->bytes)
        return Fail(ERROR_INVALID_PARAMETER);
    if (backup->size != file->fileSize)
        return Fail(ERROR_INVALID_DATA);
    std::memcpy(file->view, backup->bytes, backup->size);
    return 1;
}
