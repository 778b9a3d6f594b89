#include "data/record_scan.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "data/byte_order.h"
#include "data/class_record.h"
#include "platform/last_error.h"
#include "platform/view_guard.h"

namespace {

// The record's address names it for the user on the 32-bit build; a 64-bit
// address does not fit the report's eight digits, so there it is the offset.
uint32_t ReportedLocation(const BYTE* record, uint64_t offset)
{
    return sizeof(void*) == 4 ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record))
                              : static_cast<uint32_t>(offset);
}

// Enters a texture class record in the tables, or fails when they are full.
inline bool EnterClass(ClassListFile* file, BYTE* record)
{
    if (file->classCount == CLASS_TABLE_SIZE)
        return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    file->classRecords[file->classCount++] = record;
    // Every water class is a class, so this table cannot fill first.
    if (SurfaceTypeOf(record) == SURFACE_WATER)
        file->waterRecords[file->waterCount++] = record;
    return true;
}

// Sizes the record at `pos`, `left` bytes before the end, reading nothing
// beyond them, and enters a texture class record in the tables; or fails with
// the scan's result. A length field that lies past the end, or a length too short to
// hold the record's own length field, means the file is damaged there: taking
// it would start the next record inside this one, so that an edit could
// change how the file is walked.
bool MeasureRecord(ClassListFile* file, BYTE* record, uint64_t left, uint64_t* length)
{
    const WORD opcode = ReadLE16(record);
    switch (opcode) {
    case 0x0000:
        *length = 2;
        return true;
    case 0x0001:
        if (left < 62 || (*length = ReadLE32(record + 58)) < 62)
            return FailWith(ERROR_INVALID_DATA);
        return true;
    case OPCODE_TEXTURE_NAME:
        if (left < 4 || ReadLE16s(record + 2) < 4)
            return FailWith(ERROR_INVALID_DATA);
        *length = static_cast<uint64_t>(ReadLE16s(record + 2));
        return true;
    case OPCODE_TEXTURE_LIST:
        if (left < 6)
            return FailWith(ERROR_INVALID_DATA);
        *length = 6 + 2 * static_cast<uint64_t>(ReadLE16(record + 4));
        return true;
    case OPCODE_TEXTURE_CLASS:
        if (left < 10)
            return FailWith(ERROR_INVALID_DATA);
        *length = 10;
        return EnterClass(file, record);
    }
    switch (opcode & 0xFF) {
    case 0x05:
    case 0x0A:
        *length = 11;
        return true;
    case 0x0E:
        *length = 14;
        return true;
    case 0x15:
        if (left < 7 || (*length = ReadLE16(record + 5)) < 7)
            return FailWith(ERROR_INVALID_DATA);
        return true;
    }
    return FailWith(ERROR_INVALID_FUNCTION);
}

struct Walk {
    ClassListFile* file;
    volatile uint64_t pos;   // the record being read
    int result;
    WORD opcode;             // of the record the walk stopped at
    uint64_t pastEndLength;  // of a last record that carries past the end
};

// Guarded: the system may fail to bring in a page of the view.
void WalkRecords(void* context)
{
    Walk& walk = *static_cast<Walk*>(context);
    BYTE* const view = walk.file->view;
    const uint64_t size = view ? walk.file->fileSize : 0;
    // Offsets, not pointers, and 64-bit: no record length can wrap the cursor.
    uint64_t pos = 0;
    while (size - pos >= 2) {
        walk.pos = pos;
        BYTE* record = view + pos;
        const uint64_t left = size - pos;
        uint64_t length;
        if (!MeasureRecord(walk.file, record, left, &length)) {
            walk.opcode = ReadLE16(record);
            walk.result = 0;
            return;
        }
        if (length >= left) {
            if (length > left)
                walk.pastEndLength = length;
            break;
        }
        pos += length;
    }
}

} // namespace

bool IsScanDamage(DWORD error)
{
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_INVALID_DATA;
}

int WalkClassList(ClassListFile* file)
{
    file->classCount = 0;
    file->waterCount = 0;
    Walk walk{file, 0, 1, 0, 0};
    WalkRecords(&walk);
    return walk.result;
}

int ScanClassList(ClassListFile* file)
{
    return ScanClassListEx(file, nullptr);
}

int ScanClassListEx(ClassListFile* file, ScanStop* stop)
{
    if (stop)
        *stop = ScanStop{};
    if (!file) {
        if (stop)
            stop->error = ERROR_INVALID_PARAMETER;
        return FailWith(ERROR_INVALID_PARAMETER);
    }

    std::memset(file->classRecords, 0, sizeof file->classRecords);
    file->classCount = 0;
    std::memset(file->waterRecords, 0, sizeof file->waterRecords);
    file->waterCount = 0;

    Walk walk{file, 0, 1, 0, 0};
    const SIZE_T size = file->view ? file->fileSize : 0;
    const int guarded = GuardViewAccess(file->view, size, WalkRecords, &walk);
    const DWORD error = GetLastError();
    if (guarded && walk.result) {
        if (stop && walk.pastEndLength)
            *stop = {static_cast<DWORD>(walk.pos), static_cast<DWORD>(walk.pastEndLength), 0, 0};
        return 1;
    }
    if (stop)
        *stop = {static_cast<DWORD>(walk.pos), 0, walk.opcode, error};
    return FailWith(error);
}

bool FormatScanReport(const ClassListFile* file, const ScanStop& stop, char* text, std::size_t size)
{
    if (size > 0)
        text[0] = '\0';
    if (!file || !file->view || stop.error != ERROR_INVALID_FUNCTION || size == 0)
        return false;
    std::snprintf(text, size, "TWSSCN001E  SCAN =L'%08X, O= %04X, L= %02X",
                  ReportedLocation(file->view + stop.offset, stop.offset), stop.opcode, stop.opcode & 0xFF);
    return true;
}
