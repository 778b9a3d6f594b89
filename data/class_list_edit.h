// Every change of the class list goes through here: the dialog's Update,
// Default, Undo and Redo and Restore Backup, and turfwise-cli's set, reset and
// restore. In one place and one order an edit checks that the file is the one
// listed, makes sure its backup stands, stores and, when asked, flushes.
#pragma once

#include <vector>

#include "data/class_list_backup.h"
#include "data/class_listing.h"

// One class's surface type, from one code to another.
struct SurfaceTypeChange {
    DWORD position;      // in the class table, file order
    DWORD offset;        // of the class record
    int classNumber;
    SurfaceType from;
    SurfaceType to;
};
typedef std::vector<SurfaceTypeChange> SurfaceTypeChanges;

// Plans, from the listing alone, which reads nothing of the view: the same
// list serves a dry run, the edit and its report. `from` is the listed type.
// `code` for the classes at `positions` (each listed position once).
SurfaceTypeChanges PlanSet(const ClassListing& listing, const std::vector<DWORD>& positions, SurfaceType code);
// The default type for every class of the default table, as Default does.
SurfaceTypeChanges PlanReset(const ClassListing& listing);
// The types of `other`, a copy of the file of the listed size, for the
// classes whose listed type differs.
SurfaceTypeChanges PlanRestore(const ClassListing& listing, const BYTE* other);
// The same changes the other way round, for an undo.
SurfaceTypeChanges Reversed(const SurfaceTypeChanges& changes);
// How many of `changes` change anything.
DWORD CountChanging(const SurfaceTypeChanges& changes);

struct EditRequest {
    SurfaceTypeChanges changes;
    // Stores a change only where its field still holds `from`; the others are
    // left as another program set them (an undo, a redo).
    bool onlyWhereStill = false;
    // The backup is made (or found) first. Off for a restore, and where the
    // user gave leave to go on without one.
    bool backUp = true;
    bool flush = false;
    // A restore: every byte of the file from here (as many as the listed
    // size) where it differs; `changes` then only tell which classes change.
    const BYTE* wholeFile = nullptr;
};

enum EditOutcome {
    EDIT_DONE,
    EDIT_FILE_CHANGED,   // another program changed the file since it was listed: nothing written
    EDIT_NO_FILE,        // no class list is open
    EDIT_NO_BACKUP,      // the backup cannot be made: nothing written; `error`, `backupPath`, `backupFound`
    EDIT_FAILED,         // the system failed a read or a store: `error`; `made` holds what was stored before it
    EDIT_NOT_FLUSHED,    // every store done, but the flush failed with `error`
    EDIT_NOT_LISTED,     // a change names no listed class: nothing written
};

struct EditResult {
    EditOutcome outcome = EDIT_NO_FILE;
    DWORD error = 0;
    char backupPath[BACKUP_PATH_SIZE] = {};
    bool backupMade = false;         // this edit wrote the backup
    BackupComparison backupFound{};  // EDIT_NO_BACKUP with ERROR_FILE_EXISTS: what stands under its name
    SurfaceTypeChanges made;         // in the file now, `from` as the field held it
    DWORD leftAlone = 0;             // onlyWhereStill: fields another program had set since
    DWORD restored = 0;              // wholeFile: bytes from the start that are the new ones
};

// Edits `file` (opened at `classListPath`, scanned, then listed as `listing`)
// as `request` asks. A change whose field already holds `to` stores nothing.
EditResult EditClassList(ClassListFile* file, const ClassListing& listing, LPCSTR classListPath,
                         const EditRequest& request);

// Undo and Redo: the edits of this run on one file, each step the changes it
// made. The steps hold only for the file as it was outside surface types
// when they were made; another program's change there drops them.
enum EditStepKind { STEP_UPDATE, STEP_DEFAULT };

struct EditStep {
    EditStepKind kind;
    SurfaceTypeChanges changes;   // forwards: `from` before the step, `to` after it
};

class EditHistory {
public:
    // After an edit of the file that `listing` lists: what it made becomes the
    // last step, and nothing is left to redo. An edit that changed no field is
    // no step.
    void Record(const ClassListing& listing, EditStepKind kind, const SurfaceTypeChanges& made);
    // The step that Undo (or Redo) would take, or null.
    const EditStep* Next(bool redo) const;
    // The edit that takes it: each field back (or again), only where it still
    // holds what the step left there (or found).
    EditRequest Request(bool redo) const;
    // After that edit: the step moves to the other side, as far as it was taken.
    void Taken(bool redo, const EditResult& result);
    // Whether the steps were made on the file that `listing` lists.
    bool Describes(const ClassListing& listing) const;
    void Clear();

private:
    std::vector<EditStep> m_undo;
    std::vector<EditStep> m_redo;
    uint64_t m_digest = 0;
    DWORD m_fileSize = 0;
};
