#include "data/backup_restore.h"

#include <new>

#include "data/class_record.h"
#include "data/record_scan.h"
#include "platform/last_error.h"

namespace {

// A backup read through a link to the class list holds the class list's own
// bytes, which would pass for a backup that matches it.
bool IsTheClassList(const ClassListFile* file, LPCSTR backupPath)
{
    if (!file->fileHandle)
        return false;
    HANDLE handle = OpenDiskFile(backupPath, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION a, b;
    const bool same = GetFileInformationByHandle(handle, &a) && GetFileInformationByHandle(file->fileHandle, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                      a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(handle);
    return same;
}

// The backup scanned on its own, as the class list would be after the restore.
bool ScanBackup(const ClassListBackup* backup, RestoreDecision* decision)
{
    ClassListFile* copy = new (std::nothrow) ClassListFile();
    if (!copy)
        return FailWith(ERROR_NOT_ENOUGH_MEMORY, false);
    copy->view = backup->bytes;
    copy->fileSize = backup->size;
    ScanStop stop{};
    if (!ScanClassListEx(copy, &stop)) {
        decision->damaged = true;
        decision->scanError = GetLastError();
    } else if (stop.pastEndLength != 0) {
        // A backup cut short inside its last record is no whole copy.
        decision->damaged = true;
        decision->scanError = ERROR_INVALID_DATA;
        decision->scanPastEndLength = stop.pastEndLength;
    }
    decision->scanOffset = stop.offset;
    decision->scanOpcode = stop.opcode;
    decision->scanClasses = copy->classCount;
    delete copy;
    return true;
}

DWORD CountChangedClasses(const ClassListFile* file, const BYTE* other)
{
    DWORD count = 0;
    for (DWORD p = 0; p < file->classCount; ++p)
        if (SurfaceTypeOf(other + (file->classRecords[p] - file->view)) != SurfaceTypeOf(file->classRecords[p]))
            ++count;
    return count;
}

int Decided(RestoreDecision* decision, RestoreVerdict verdict)
{
    decision->verdict = verdict;
    return verdict == RESTORE_ALLOWED ? 1 : 0;
}

} // namespace

int DecideRestore(const ClassListFile* file, LPCSTR classListPath, bool force, ClassListBackup* backup,
                  RestoreDecision* decision)
{
    if (!file || !file->view || !backup || !decision)
        return FailWith(ERROR_INVALID_PARAMETER);
    *decision = RestoreDecision{};
    if (!ReadClassListBackup(classListPath, backup)) {
        decision->error = GetLastError();
        return Decided(decision, RESTORE_UNREADABLE);
    }
    if (IsTheClassList(file, backup->path))
        return Decided(decision, RESTORE_IS_THE_CLASS_LIST);
    if (backup->size != file->fileSize)
        return Decided(decision, RESTORE_OTHER_SIZE);
    if (!ScanBackup(backup, decision)) {
        decision->error = GetLastError();
        return Decided(decision, RESTORE_UNREADABLE);
    }
    if (decision->damaged && !force)
        return Decided(decision, RESTORE_DAMAGED);
    // Turfwise changes only surface types: any other byte that differs was
    // changed by something else since the backup, and a restore would undo it.
    CompareWithClassList(file, backup->bytes, backup->size, &decision->compared);
    if (decision->compared.differing != 0 && !force)
        return Decided(decision, RESTORE_OTHER_BYTES);
    decision->changedClasses = CountChangedClasses(file, backup->bytes);
    if (decision->changedClasses == 0 && decision->compared.differing == 0)
        return Decided(decision, RESTORE_ALREADY_MATCHES);
    return Decided(decision, RESTORE_ALLOWED);
}
