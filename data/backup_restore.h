// Whether the backup beside the class list may be put back over it: one rule
// for the dialog and for turfwise-cli restore.
#pragma once

#include <cstdint>

#include "data/class_list_backup.h"
#include "data/class_list_edit.h"

// The first reason found, in this order; the ones `force` may pass over are
// marked so.
enum RestoreVerdict : DWORD {
    RESTORE_ALLOWED = 0,         // the backup differs at most in surface types (or is forced)
    RESTORE_ALREADY_MATCHES,     // nothing to put back
    RESTORE_UNREADABLE,          // `error` says why the backup could not be read
    RESTORE_FILE_UNREADABLE,     // `error` says why the class list itself could not be read
    RESTORE_IS_THE_CLASS_LIST,   // the backup's name leads to the class list itself
    RESTORE_OTHER_SIZE,          // the mapping cannot change the file's length
    RESTORE_DAMAGED,             // force: the backup's own scan stops early
    RESTORE_OTHER_BYTES,         // force: bytes besides surface types differ
};

struct RestoreDecision {
    RestoreVerdict verdict;
    DWORD error;                 // RESTORE_UNREADABLE
    bool damaged;                // set whenever the backup's scan stopped, forced or not
    DWORD scanError;             // ...with the scan's error
    DWORD scanOffset;            // ...at this offset of the backup
    DWORD scanClasses;           // ...after this many classes
    DWORD scanPastEndLength;     // ...or the length of its last record, which runs past its end
    WORD scanOpcode;             // ...and the opcode of the record it failed at
    BackupComparison compared;   // how the backup differs besides surface types
    DWORD changedClasses;        // classes whose surface type the restore changes
    uint64_t viewDigest;         // every byte of the file as it was decided on (class_listing.h)
    uint64_t backupDigest;       // ...and of the backup
};

// Reads the backup of the class list in `file` (open at `classListPath`) into
// `backup` (none of it when its size is not the file's), and decides on a
// walk of the file made now, not on its tables, which may describe a file
// another program has since rewritten; `listing` is that walk's. With `force`
// a damaged backup or one with other bytes is put back whole all the same.
// Returns 1 when the backup may be put back (RESTORE_ALLOWED), else 0.
int DecideRestore(const ClassListFile* file, LPCSTR classListPath, bool force, ClassListBackup* backup,
                  RestoreDecision* decision, ClassListing* listing);

// The edit that puts the backup back, on the listing the decision made.
EditRequest RestoreRequest(const ClassListing& listing, const ClassListBackup& backup);

// Whether a decision made again, just before writing, is the one the user
// was asked about: the same verdict on the same bytes of the file and of the
// backup. A restore that is not the one asked about is asked about again.
bool SameRestore(const RestoreDecision& asked, const RestoreDecision& now);
