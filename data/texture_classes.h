// Texture classes and their surface types: names, list lines and the two
// in-place edits. Records are addressed by their first byte in the mapping.
#pragma once

#include "data/class_list_file.h"

// Field offsets of the texture class record (opcode 0x00A1).
enum : DWORD {
    CLASS_CLASS_NUMBER_OFS = 2,         // signed 16-bit
    CLASS_SURFACE_TYPE_OFS = 4,         // unsigned 16-bit
    CLASS_TEXTURE_LIST_OFS = 6,         // signed 32-bit, from the class record's first byte
    CLASS_RECORD_SIZE = 10,
};

// Texture list record (opcode 0x0064) and the texture name record (0x0043)
// that follows it.
enum : DWORD {
    LIST_ENTRY_COUNT_OFS = 4,           // unsigned 16-bit
    LIST_HEADER_SIZE = 6,
    NAME_RECORD_LENGTH_OFS = 2,         // signed 16-bit, header included
    NAME_TEXT_OFS = 12,
};

enum : DWORD { CLASS_LINE_SIZE = 520 };

typedef WORD SurfaceType;

struct SurfaceTypeChoice {
    DWORD code;
    const char* name;
};

extern const SurfaceTypeChoice SurfaceTypeChoices[];
extern const int SurfaceTypeChoiceCount;
extern const SurfaceType DefaultSurfaceTypes[256];

// Display name of a code; "UNKNOWN(%X)" for codes without one, in a buffer
// shared by all calls.
const char* SurfaceTypeName(SurfaceType code);

int GetTextureName(const BYTE* classRecord, char* buffer, DWORD* length);
int CopyTextureName(const BYTE* nameRecord, char* buffer, DWORD* length);
int FormatClassLine(const BYTE* classRecord, char* line /* CLASS_LINE_SIZE bytes */);

void ApplySurfaceType(DWORD code, BYTE* const* records, DWORD count);
void ResetSurfaceTypes();
