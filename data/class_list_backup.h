// A copy of the class list beside it, made before its first edit, and the way
// back to it.
#pragma once

#include <cstdint>
#include <memory>

#include "data/class_list_file.h"

// Added to the class list's path. Never ".BGL": the game loads every .BGL in
// its scenery folders as scenery.
#define CLASS_LIST_BACKUP_SUFFIX ".bak"

enum : DWORD { BACKUP_PATH_SIZE = CLASS_LIST_PATH_SIZE + 8 };

// The backup's path for the class list at `classListPath`; 0 with
// ERROR_FILENAME_EXCED_RANGE (206) when it does not fit `size` bytes.
int FormatBackupPath(LPCSTR classListPath, char* path, DWORD size);

// How a file compares with the class list it should be a backup of. Turfwise
// changes nothing but surface types, so a backup of this class list has its
// size and differs from it at most in the surfaceType fields of the classes
// the last scan found.
enum BackupMismatch : DWORD {
    BACKUP_MATCHES = 0,
    BACKUP_OTHER_SIZE,          // `size` and `sizeHigh` say the backup's; none of it was read
    BACKUP_OTHER_BYTES,         // `differing` bytes, the first at `firstOffset`
    BACKUP_NOT_A_FILE,          // a folder, a pipe or device, or a link that leads nowhere
    BACKUP_IS_THE_CLASS_LIST,   // a link to the class list itself
};

struct BackupComparison {
    BackupMismatch mismatch;
    DWORD size;
    DWORD differing;
    DWORD firstOffset;
    DWORD sizeHigh;   // a file under the backup's name may be 4 GiB or more
};

struct ClassListing;

// `bytes` against the listed file in `view`, surface types aside. Reads the
// view unguarded: for a guarded access.
void CompareWithListing(const BYTE* view, const ClassListing* listing, const BYTE* bytes, DWORD size,
                        BackupComparison* result);

// Makes sure a backup of the mapped class list stands beside it before its
// first change, and gives its path in `backupPath` (BACKUP_PATH_SIZE bytes).
// - Nothing of that name: writes the view under a temporary name in the same
//   folder, flushed, then renamed, so that a half-written copy never bears the
//   backup's name; 1 with last-error 0.
// - A backup of this class list is there: left as it is, the first one being
//   the one worth keeping; 1 with ERROR_ALREADY_EXISTS (183).
// - Anything else of that name: never overwritten, moved or deleted; 0 with
//   ERROR_FILE_EXISTS (80) and `found` saying how it differs.
// Otherwise 0 with the failing call's error, or the system's when it cannot
// read the view. No temporary file is left behind on failure; one left by a
// program killed while it wrote is removed by the next backup, once no
// running program has its process id.
int BackupClassList(const ClassListFile* file, LPCSTR classListPath, char* backupPath, BackupComparison* found);

// The backup this program wrote, if it wrote one, as the file system knows it.
struct BackupMade {
    bool made;
    DWORD volume, indexHigh, indexLow;
};

// The same for a listed file: no backup is made of a file another program
// changed since it was listed (see class_listing.h), checked before the copy
// is written and again before it takes the backup's name; 0 with
// ERROR_FILE_INVALID (1006) then, and no file is left. `made` says whether a
// new backup was written.
int BackupListedClassList(const ClassListFile* file, const ClassListing* listing, LPCSTR classListPath,
                          char* backupPath, BackupComparison* found, BackupMade* made);

// Removes the backup just made when the change it was made for was refused
// after all (the file changed before the first store): left, it would be a
// copy from before another program's change, which stops every later backup.
// Only the very file that was written is removed; 1 when it was.
int WithdrawBackup(LPCSTR backupPath, BackupMade* made);

// For tests: called with the temporary copy's path once it is written and
// closed, before the checks that precede its rename. Null for none.
void SetBackupWrittenHook(void (*hook)(LPCSTR temporaryPath));

// A backup read whole into memory, and where it was read from. The bytes read
// are owned by `storage` and go with the record; a caller that brings bytes
// of its own points `bytes` at them and keeps them.
struct ClassListBackup {
    BYTE* bytes;
    DWORD size;
    uint64_t length;     // the file's, as found: ReadClassListBackupOf reads none of one of another size
    char path[BACKUP_PATH_SIZE];
    std::unique_ptr<BYTE[]> storage;
    bool isTheClassList;   // the name leads to the class list itself (ReadClassListBackupOf)
};

// Reads the backup of the class list at `classListPath`. Fails with ERROR_INVALID_DATA (13)
// when the file gives fewer bytes than its size, ERROR_FILE_TOO_LARGE (223)
// for 4 GiB or more, ERROR_CANT_ACCESS_FILE (1920) for a pipe or device.
int ReadClassListBackup(LPCSTR classListPath, ClassListBackup* backup);
// The same, and whether the file read is the open class list itself; one of
// another size than the class list is not read (`bytes` null, 1).
int ReadClassListBackupOf(const ClassListFile* file, LPCSTR classListPath, ClassListBackup* backup);
// Lets the bytes go before the record does.
void FreeClassListBackup(ClassListBackup* backup);
