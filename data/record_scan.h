// Walks the mapped class list record by record and fills its two tables.
#pragma once

#include <cstddef>

#include "data/class_list_file.h"

// Opcodes with a meaning of their own; every other record is stepped over.
enum : WORD {
    OPCODE_TEXTURE_NAME = 0x0043,
    OPCODE_TEXTURE_LIST = 0x0064,
    OPCODE_TEXTURE_CLASS = 0x00A1,
};

enum : WORD { SURFACE_WATER = 2 };

// 1 when the walk reached the end of the view; 0 with the last-error code set
// when it stopped early (87 no record, 8 table full, 1 unrecognised record,
// 13 a record that runs past the end or has no length).
int ScanClassList(ClassListFile* file);
// Where a walk ended, and why: for the caller to report, and for callers
// that judge a file more strictly than the walk.
struct ScanStop {
    DWORD offset;          // the record the walk stopped at, or that ran past the end
    DWORD pastEndLength;   // that record's length when it carries past the end of the view, else 0
    WORD opcode;           // the record's opcode when the walk failed at it, else 0
    DWORD error;           // the last-error code the walk failed with, else 0
};

// The same, and where it ended: on failure the record it stopped at; on
// success a last record whose length carries past the end of the view (not
// to it), which ends the walk as normally as the end itself.
int ScanClassListEx(ClassListFile* file, ScanStop* stop);

// Whether a walk that stopped with `error` stopped at something in the file
// (damage), rather than at the system's failure to read it.
bool IsScanDamage(DWORD error);

// The walk alone: no guard, and only the tables' counts cleared, for a caller
// already inside a guarded access of its own (a plain loop, as the guard asks).
int WalkClassList(ClassListFile* file);

// The text that tells the user of an unrecognised record, into `text`; false
// when the walk stopped for another reason (nothing to report).
bool FormatScanReport(const ClassListFile* file, const ScanStop& stop, char* text, std::size_t size);
