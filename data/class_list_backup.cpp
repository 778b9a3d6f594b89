#include "data/class_list_backup.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "data/class_listing.h"
#include "data/class_record.h"
#include "data/record_scan.h"
#include "platform/last_error.h"
#include "platform/view_guard.h"

namespace {

// Reads all of an open file, unless `sizeWanted` is given and the file is
// not of that size: a file of gigabytes is never read to learn that it is
// no backup. Fewer bytes than its size means it changed while we read, and
// no comparison or restore may trust what came.
int ReadWholeFile(HANDLE handle, ClassListBackup* backup, const DWORD* sizeWanted = nullptr)
{
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetFileSize(handle, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
        return 0;
    backup->length = uint64_t(high) << 32 | size;
    if (sizeWanted && backup->length != *sizeWanted)
        return 1;
    if (high != 0)
        return FailWith(ERROR_FILE_TOO_LARGE);   // no class list is 4 GiB
    backup->storage.reset(new (std::nothrow) BYTE[size ? size : 1]);
    if (!(backup->bytes = backup->storage.get()))
        return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    DWORD read = 0;
    if (!ReadFile(handle, backup->bytes, size, &read, nullptr))
        return 0;
    if (read != size)
        return FailWith(ERROR_INVALID_DATA);
    backup->size = size;
    return 1;
}

int NotABackup(BackupComparison* found, BackupMismatch mismatch)
{
    found->mismatch = mismatch;
    return FailWith(ERROR_FILE_EXISTS);
}

// The comparison reads the whole view, a page of which the system may no
// longer be able to bring in: 0 with its error then.
int CompareGuarded(const ClassListFile* file, const ClassListing* listing, const ClassListBackup& copy,
                   BackupComparison* found)
{
    auto compare = [&] { CompareWithListing(file->view, listing, copy.bytes, copy.size, found); };
    return GuardViewAccess(file->view, file->fileSize, compare);
}

enum { NOTHING_THERE = -1 };

// What stands at `backup`: 1 a backup of this class list, 0 something else or
// a failure, NOTHING_THERE when the name is free.
int CheckExisting(const ClassListFile* file, const ClassListing* listing, LPCSTR backup, BackupComparison* found)
{
    const DWORD attributes = GetFileAttributesA(backup);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? NOTHING_THERE : 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return NotABackup(found, BACKUP_NOT_A_FILE);
    HANDLE handle = OpenDiskFile(backup, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_CANT_ACCESS_FILE ? NotABackup(found, BACKUP_NOT_A_FILE) : 0;
    ClassListBackup copy{};
    int result;
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetFileSize(handle, &high);
    if (file->fileHandle && SameFile(handle, file->fileHandle)) {
        result = NotABackup(found, BACKUP_IS_THE_CLASS_LIST);
    } else if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        result = 0;
    } else if (size != file->fileSize || high != 0) {
        // The size alone tells: a file of gigabytes is never read to learn it.
        *found = BackupComparison{BACKUP_OTHER_SIZE, size, 0, 0, high};
        result = FailWith(ERROR_FILE_EXISTS);
    } else if (!ReadWholeFile(handle, &copy)) {
        result = 0;
    } else if (!CompareGuarded(file, listing, copy, found)) {
        result = 0;
    } else {
        result = found->mismatch == BACKUP_MATCHES ? FailWith(ERROR_ALREADY_EXISTS, 1) : FailWith(ERROR_FILE_EXISTS);
    }
    KeepLastError keep;
    CloseHandle(handle);
    return result;
}

// Whether the program with that process id may still be writing its
// temporary copy. One we may not ask about counts as running.
bool IsRunning(DWORD processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER;   // no such process
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool SameLetters(const char* a, const char* b, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k])))
            return false;
    return true;
}

// The kernel and Wine number their processes apart, so under Wine a native
// program and a Windows one would each take the other's live copy for a dead
// one. The name says whose number it is, and each sweeps only its own.
#ifdef _WIN32
#define TEMPORARY_OWNER ""
#else
#define TEMPORARY_OWNER "unix-"
#endif

// The process id in `name` when it is "<backup's name>.<owner><process id>.tmp".
bool TemporaryOwner(const char* name, const char* backupName, DWORD* processId)
{
    const size_t stem = std::strlen(backupName), length = std::strlen(name);
    const size_t owner = sizeof TEMPORARY_OWNER - 1;
    if (length < stem + owner + 6 || !SameLetters(name, backupName, stem) || name[stem] != '.' ||
        !SameLetters(name + stem + 1, TEMPORARY_OWNER, owner) || !SameLetters(name + length - 4, ".tmp", 4))
        return false;
    unsigned long long id = 0;
    for (size_t k = stem + 1 + owner; k < length - 4; ++k) {
        if (name[k] < '0' || name[k] > '9' || (id = id * 10 + unsigned(name[k] - '0')) > 0xFFFFFFFFull)
            return false;
    }
    *processId = static_cast<DWORD>(id);
    return true;
}

// Removes the temporary copies that programs killed while writing them left
// beside the backup's name. Windows has no way to keep a file nameless until
// it is complete and then give it a name, so a copy that was cut short keeps
// its temporary name until here. Best effort: nothing here stops the backup.
void RemoveDeadCopies(LPCSTR backup)
{
    char pattern[BACKUP_PATH_SIZE + sizeof "." TEMPORARY_OWNER "*.tmp"];
    std::snprintf(pattern, sizeof pattern, "%s." TEMPORARY_OWNER "*.tmp", backup);
    const char* slash = std::strrchr(backup, '\\');
    if (const char* other = std::strrchr(backup, '/'); other && (!slash || other > slash))
        slash = other;
    const size_t folder = slash ? static_cast<size_t>(slash - backup) + 1 : 0;
    const char* backupName = backup + folder;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        DWORD owner = 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !TemporaryOwner(found.cFileName, backupName, &owner) || IsRunning(owner))
            continue;
        char path[BACKUP_PATH_SIZE + MAX_PATH];
        std::snprintf(path, sizeof path, "%.*s%s", static_cast<int>(folder), backup, found.cFileName);
        DeleteFileA(path);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

enum { NAME_TAKEN = -1 };

void (*g_backupWrittenHook)(LPCSTR temporaryPath) = nullptr;

// Writes the view to `backup` through a temporary file: 1 made, 0 failed,
// NAME_TAKEN when another program took the name meanwhile.
int WriteNew(const ClassListFile* file, const ClassListing* listing, LPCSTR backup, BackupMade* made)
{

    // The process id keeps two programs backing up at once apart.
    char temp[BACKUP_PATH_SIZE + sizeof "." TEMPORARY_OWNER "4294967295.tmp"];
    std::snprintf(temp, sizeof temp, "%s." TEMPORARY_OWNER "%lu.tmp", backup,
                  static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE handle = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    // No live program has our id: a file of that name is left from a crash.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS && DeleteFileA(temp))
        handle = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(handle, file->view, file->fileSize, &written, nullptr);
    if (ok && written != file->fileSize)
        ok = FailWith<BOOL>(ERROR_DISK_FULL);
    if (ok)
        ok = FlushFileBuffers(handle);
    BY_HANDLE_FILE_INFORMATION identity;
    if (ok)
        ok = GetFileInformationByHandle(handle, &identity);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(handle);
    if (ok && g_backupWrittenHook)
        g_backupWrittenHook(temp);
    // ...nor is one that was rewritten while it was copied.
    if (ok && listing && !CheckListing(file, listing)) {
        ok = FALSE;
        error = GetLastError();
    }
    if (ok && !MoveFileA(temp, backup)) {
        ok = FALSE;
        error = GetLastError();
    }
    if (!ok) {
        DeleteFileA(temp);
        return error == ERROR_ALREADY_EXISTS ? NAME_TAKEN : FailWith(error);
    }
    if (made)
        *made = {true, identity.dwVolumeSerialNumber, identity.nFileIndexHigh, identity.nFileIndexLow};
    SetLastError(ERROR_SUCCESS);
    return 1;
}

} // namespace

int FormatBackupPath(LPCSTR classListPath, char* path, DWORD size)
{
    if (!classListPath || !path)
        return FailWith(ERROR_INVALID_PARAMETER);
    const int n = std::snprintf(path, size, "%s" CLASS_LIST_BACKUP_SUFFIX, classListPath);
    if (n < 0 || static_cast<DWORD>(n) >= size)
        return FailWith(ERROR_FILENAME_EXCED_RANGE);
    return 1;
}

void CompareWithListing(const BYTE* view, const ClassListing* listing, const BYTE* bytes, DWORD size,
                        BackupComparison* result)
{
    *result = BackupComparison{BACKUP_MATCHES, size, 0, 0, 0};
    if (size != listing->fileSize) {
        result->mismatch = BACKUP_OTHER_SIZE;
        return;
    }
    SurfaceTypeBytes surfaceTypes(listing->classes, listing->count);
    for (DWORD k = 0; k < size; ++k)
        if (!surfaceTypes.At(k) && bytes[k] != view[k] && result->differing++ == 0)
            result->firstOffset = k;
    if (result->differing != 0)
        result->mismatch = BACKUP_OTHER_BYTES;
}

int BackupClassList(const ClassListFile* file, LPCSTR classListPath, char* backupPath, BackupComparison* found)
{
    std::unique_ptr<ClassListing> listing(new (std::nothrow) ClassListing());
    if (!listing)
        return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    if (file && !ListClasses(file, listing.get()))
        return 0;
    return BackupListedClassList(file, listing.get(), classListPath, backupPath, found, nullptr);
}

int WithdrawBackup(LPCSTR backupPath, BackupMade* made)
{
    if (!backupPath || !made || !made->made)
        return FailWith(ERROR_INVALID_PARAMETER);
    made->made = false;
    HANDLE handle = OpenDiskFile(backupPath, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION identity;
    const bool ours = GetFileInformationByHandle(handle, &identity) && identity.dwVolumeSerialNumber == made->volume &&
                      identity.nFileIndexHigh == made->indexHigh && identity.nFileIndexLow == made->indexLow;
    CloseHandle(handle);
    if (!ours)
        return FailWith(ERROR_FILE_EXISTS);
    return DeleteFileA(backupPath) ? 1 : 0;
}

void SetBackupWrittenHook(void (*hook)(LPCSTR temporaryPath))
{
    g_backupWrittenHook = hook;
}

int BackupListedClassList(const ClassListFile* file, const ClassListing* listing, LPCSTR classListPath,
                          char* backupPath, BackupComparison* found, BackupMade* made)
{
    if (made)
        *made = BackupMade{};
    if (!file || !file->view || !listing || !backupPath || !found)
        return FailWith(ERROR_INVALID_PARAMETER);
    *found = BackupComparison{BACKUP_MATCHES, 0, 0, 0, 0};
    if (!FormatBackupPath(classListPath, backupPath, BACKUP_PATH_SIZE))
        return 0;
    // A copy of a file another program rewrote since it was listed is no
    // backup of what the user is about to change, nor is it compared with one.
    if (!CheckListing(file, listing))
        return 0;
    RemoveDeadCopies(backupPath);
    // A name taken between the look and the rename is looked at once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        int result = CheckExisting(file, listing, backupPath, found);
        if (result != NOTHING_THERE)
            return result;
        result = WriteNew(file, listing, backupPath, made);
        if (result != NAME_TAKEN)
            return result;
    }
    // The name is taken, yet nothing can be read there: a link that leads nowhere.
    return NotABackup(found, BACKUP_NOT_A_FILE);
}

int ReadClassListBackup(LPCSTR classListPath, ClassListBackup* backup)
{
    return ReadClassListBackupOf(nullptr, classListPath, backup);
}

int ReadClassListBackupOf(const ClassListFile* file, LPCSTR classListPath, ClassListBackup* backup)
{
    if (!backup)
        return FailWith(ERROR_INVALID_PARAMETER);
    FreeClassListBackup(backup);
    backup->isTheClassList = false;
    if (!FormatBackupPath(classListPath, backup->path, sizeof backup->path))
        return 0;
    HANDLE handle = OpenDiskFile(backup->path, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    // Asked of the handle that is read, so that the file judged is the file read.
    if (file && file->fileHandle)
        backup->isTheClassList = SameFile(handle, file->fileHandle);
    const int result = ReadWholeFile(handle, backup, file ? &file->fileSize : nullptr);
    KeepLastError keep;
    CloseHandle(handle);
    return result;
}

void FreeClassListBackup(ClassListBackup* backup)
{
    if (!backup)
        return;
    backup->storage.reset();
    backup->bytes = nullptr;
    backup->size = 0;
}
