// Texture classes and their surface types: names, list lines and the two
// in-place edits. Records are addressed by their first byte in the mapping.
//
// Every record is read through g_classListFile: a location, a field or a name
// byte that does not lie inside its view fails with ERROR_INVALID_PARAMETER
// (87) instead of being read, and the edits never store outside it. Every
// access to the view is guarded: a page the system cannot read or write is a
// failure, not a crash.
#pragma once

#include "data/class_list_file.h"
#include "data/class_record.h"

// Texture list record (opcode 0x0064) and the texture name record (0x0043)
// that follows it.
enum : DWORD {
    LIST_ENTRY_COUNT_OFS = 4,           // unsigned 16-bit
    LIST_HEADER_SIZE = 6,
    NAME_RECORD_LENGTH_OFS = 2,         // signed 16-bit, header included
    NAME_TEXT_OFS = 12,
};

enum : DWORD { CLASS_LINE_SIZE = 520 };

struct SurfaceTypeChoice {
    DWORD code;
    const char* name;
};

// The surface types a user may choose, in the order the dialog shows them.
extern const SurfaceTypeChoice SurfaceTypeChoices[];
extern const int SurfaceTypeChoiceCount;
// Default surface type by position in the class table (file order), not by
// class number. There is none for positions 256 and beyond.
enum : DWORD { DEFAULT_SURFACE_TYPE_COUNT = 256 };
extern const SurfaceType DefaultSurfaceTypes[DEFAULT_SURFACE_TYPE_COUNT];

// Display name of a code; "UNKNOWN(%X)" for codes without one, in a buffer
// shared by all calls.
const char* SurfaceTypeName(SurfaceType code);

// The choice whose name is `name`, in any case; null when none is.
const SurfaceTypeChoice* FindSurfaceTypeChoice(const char* name);

// The class's texture list record, or null with 87 as the last-error code
// when the class record or its list record's header lies outside the view.
const BYTE* LocateTextureList(const BYTE* classRecord);

// The entry count of the class's texture list, read under a guard; 0 with 87
// as LocateTextureList fails, or with the system's error.
int GetTextureEntryCount(const BYTE* classRecord, DWORD* count);

// Copy the class's texture file name into `buffer`. *length is the buffer's
// size; 0 asks for the size the name takes (fails with 122 and sets *length).
// The buffer always comes back zero-terminated: a name of *length bytes or
// more is cut to *length - 1, so the list line and the preview path never
// carry an unterminated name. A name that runs off the end of the file
// without its zero byte, or one the system cannot read, fails with 87.
int GetTextureName(const BYTE* classRecord, char* buffer, DWORD* length);
int CopyTextureName(const BYTE* nameRecord, char* buffer, DWORD* length);

// The class's line in the dialog's list, "ERROR:%x" in place of a name that
// cannot be read. Fails with 87 and writes nothing when the class record or
// its texture list record lies outside the view, and with the system's error
// when it cannot read them.
int FormatClassLine(const BYTE* classRecord, char* line /* CLASS_LINE_SIZE bytes */);
// The same, and for a class whose texture list is outside the file a line
// all the same, with "[?]" for its entry count and the error for its name:
// "%3d [?] ERROR:57 Type= %s". 0 then, and 0 with an empty line when not
// even the class record can be read.
int FormatClassLineOrError(const BYTE* classRecord, char* line /* CLASS_LINE_SIZE bytes */);

// Both store the 16-bit surfaceType of each class and nothing else, with no
// check of the file: the stores at the bottom of the one edit path
// (class_list_edit.h), which is what every change goes through. A record
// outside the view stores nothing at all (87); the reset leaves positions past
// the default table unchanged. A store the system cannot back (a full disk, a
// file cut short) ends the edit, leaving its error as the last-error code.
void ApplySurfaceType(DWORD code, BYTE* const* records, DWORD count);
void ResetSurfaceTypes();
