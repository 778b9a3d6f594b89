// The texture class record (opcode 0x00A1): its fields by offset, and reads of
// the two that the tables are sorted and filtered by. The reads take a record
// that the scan found whole inside the view.
#pragma once

#include "data/byte_order.h"
#include "platform/win32.h"

enum : DWORD {
    CLASS_CLASS_NUMBER_OFS = 2,         // signed 16-bit
    CLASS_SURFACE_TYPE_OFS = 4,         // unsigned 16-bit
    CLASS_TEXTURE_LIST_OFS = 6,         // signed 32-bit, from the class record's first byte
    CLASS_RECORD_SIZE = 10,
};

typedef WORD SurfaceType;

inline int ClassNumberOf(const BYTE* classRecord)
{
    return ReadLE16s(classRecord + CLASS_CLASS_NUMBER_OFS);
}

inline SurfaceType SurfaceTypeOf(const BYTE* classRecord)
{
    return ReadLE16(classRecord + CLASS_SURFACE_TYPE_OFS);
}

// Stores the record's surfaceType and nothing else, each byte first stored as
// it is: a field across two pages meets a page the system cannot back before
// either byte has changed. For a guarded access.
inline void StoreSurfaceType(BYTE* classRecord, SurfaceType code)
{
    volatile BYTE* field = classRecord + CLASS_SURFACE_TYPE_OFS;
    field[0] = field[0];
    field[1] = field[1];
    WriteLE16(classRecord + CLASS_SURFACE_TYPE_OFS, code);
}
