// The program's one handle on the game's CLASSLIST.BGL: where the game lives,
// the file mapped whole for reading and writing, and the two tables of texture
// class records that the scan fills with references into the mapping.
#pragma once

#include "platform/win32.h"

enum : DWORD { CLASS_TABLE_SIZE = 1024 };

struct ClassListFile {
    BYTE* view;                                 // first byte of the mapped file, or null
    DWORD fileSize;                             // the file's length, always under 4 GiB
    HANDLE fileHandle;                          // null (never INVALID_HANDLE_VALUE) when closed
    HANDLE mappingHandle;
    char fileName[MAX_PATH];
    char gameFolder[MAX_PATH];
    BYTE* classRecords[CLASS_TABLE_SIZE];       // every texture class record, file order
    DWORD classCount;
    BYTE* waterRecords[CLASS_TABLE_SIZE];       // those whose surface type is Water
    DWORD waterCount;
};

// The static record the whole program works on.
extern ClassListFile g_classListFile;

// The game's registry entry that names its folder.
#define GAME_REGISTRY_KEY "SOFTWARE\\Microsoft\\Microsoft Games\\Combat Flight Simulator\\1.00"
#define GAME_REGISTRY_VALUE "PATH"

// Each returns 1 on success, 0 on failure with a Win32 error number as the
// thread's last-error code.
int LocateGameFolder(ClassListFile* file);
int OpenClassList(ClassListFile* file);
// The same for the class list file at `path`, whatever its name and folder.
int OpenClassListAt(ClassListFile* file, LPCSTR path);
// The same for looking only: the file opened for reading and mapped
// read-only, so that a file the user may not write can be listed. A store
// through this view is a fault.
int OpenClassListReadOnlyAt(ClassListFile* file, LPCSTR path);
// Both refuse a file of 4 GiB or more with ERROR_FILE_TOO_LARGE (223), and
// anything but a file on a disk (a pipe, a device) with
// ERROR_CANT_ACCESS_FILE (1920).
int CloseClassList(ClassListFile* file);

// CreateFileA of an existing file with read and write sharing, refused as
// above unless it is a file on a disk: a pipe or a device may never answer.
HANDLE OpenDiskFile(LPCSTR path, DWORD access);
// Writes the view's changed pages to the file and the file to the disk, so
// that a change can be reported as saved.
int FlushClassList(const ClassListFile* file);

// True when [p, p + size) lies wholly inside the mapped view of `file`.
bool IsInsideView(const ClassListFile* file, const BYTE* p, DWORD size);

// Room for every path FormatClassListPath builds.
enum : DWORD { CLASS_LIST_PATH_SIZE = 2 * MAX_PATH + 64 };
// The path OpenClassList opens: "<gameFolder>\Scenery\All\Scenery\<fileName>",
// cut to fit `size` bytes.
void FormatClassListPath(const ClassListFile* file, char* path, DWORD size);
