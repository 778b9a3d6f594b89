// A copy of the class list beside it, made before its first edit, and the way
// back to it.
#pragma once

#include "data/class_list_file.h"

// Added to the class list's path. Never ".BGL": the game loads every .BGL in
// its scenery folders as scenery.
#define CLASS_LIST_BACKUP_SUFFIX ".bak"

enum : DWORD { BACKUP_PATH_SIZE = CLASS_LIST_PATH_SIZE + 8 };

// The backup's path for the class list at `classListPath`; 0 with
// ERROR_FILENAME_EXCED_RANGE (206) when it does not fit `size` bytes.
int FormatBackupPath(LPCSTR classListPath, char* path, DWORD size);

// Writes the mapped view of `file`, as it is now, to the backup of the class
// list at `classListPath`: under a temporary name in the same folder, flushed,
// then renamed, so that a half-written copy never bears the backup's name.
// 1 with last-error 0 when it was made; 1 with ERROR_ALREADY_EXISTS (183) when
// a backup was there already, which is left as it is: the first one is the
// one worth keeping. 0 with the failing call's error otherwise, and no
// temporary file left behind.
int BackupClassList(const ClassListFile* file, LPCSTR classListPath);

// A backup read whole into memory.
struct ClassListBackup {
    BYTE* bytes;
    DWORD size;
};

// Reads the backup of the class list at `classListPath`; free it with
// FreeClassListBackup, also after a failure.
int ReadClassListBackup(LPCSTR classListPath, ClassListBackup* backup);
void FreeClassListBackup(ClassListBackup* backup);

// Puts the backup back over the mapped class list, every byte, through the
// view. Fails with ERROR_INVALID_DATA (13), writing nothing, when the sizes
// differ: the mapping cannot change the file's length. The caller scans again.
int RestoreClassList(ClassListFile* file, const ClassListBackup* backup);
