#include "data/texture_classes.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "data/byte_order.h"
#include "platform/last_error.h"

const SurfaceTypeChoice SurfaceTypeChoices[] = {
    {0, "Concrete"},   {1, "Grass"},      {2, "Water"},     {3, "Bumpy grass"},
    {4, "Asphalt"},    {5, "Short grass"}, {6, "Long grass"}, {7, "Hard turf"},
    {10, "City"},      {11, "Forest"},    {16, "Psp matting"},
};
const int SurfaceTypeChoiceCount = sizeof SurfaceTypeChoices / sizeof SurfaceTypeChoices[0];

const SurfaceType DefaultSurfaceTypes[DEFAULT_SURFACE_TYPE_COUNT] = {
    // 0 Water, 1 City, 2-3 Bumpy grass, 4-5 Long grass, 6 Forest, 7 Short grass, 8 City
    2, 10, 3, 3, 6, 6, 11, 5, 10,
    // 9-27 Water
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    // 28-62 City
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
    10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
    // 63-155 Bumpy grass
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3,
    // 156-215 Long grass
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    // 216-239 Forest
    11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11, 11,
    11, 11, 11, 11,
    // 240-255 Short grass
    5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5,
};

namespace {

// The location `distance` bytes from `base`, a location inside the view, or
// null when its first `size` bytes are not all inside. Worked out as 64-bit
// file offsets so that no pointer is ever formed outside the mapping.
const BYTE* LocateInView(const BYTE* base, int64_t distance, DWORD size)
{
    const ClassListFile& file = g_classListFile;
    int64_t at = static_cast<int64_t>(base - file.view) + distance;
    if (at < 0 || at + size > static_cast<int64_t>(file.fileSize))
        return nullptr;
    return file.view + at;
}

} // namespace

const char* SurfaceTypeName(SurfaceType code)
{
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i)
        if (SurfaceTypeChoices[i].code == code)
            return SurfaceTypeChoices[i].name;
    static char unknown[MAX_PATH];
    std::snprintf(unknown, sizeof unknown, "UNKNOWN(%X)", static_cast<unsigned>(code));
    return unknown;
}

const SurfaceTypeChoice* FindSurfaceTypeChoice(const char* name)
{
    if (!name)
        return nullptr;
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        const char* a = SurfaceTypeChoices[i].name;
        const char* b = name;
        // ASCII case folding: the names are ASCII, and the user's locale must not matter.
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        while (*a && fold(*a) == fold(*b))
            ++a, ++b;
        if (*a == 0 && *b == 0)
            return &SurfaceTypeChoices[i];
    }
    return nullptr;
}

const BYTE* LocateTextureList(const BYTE* classRecord)
{
    if (!IsInsideView(&g_classListFile, classRecord, CLASS_RECORD_SIZE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BYTE* list = LocateInView(classRecord, ReadLE32s(classRecord + CLASS_TEXTURE_LIST_OFS),
                                    LIST_HEADER_SIZE);
    if (!list)
        SetLastError(ERROR_INVALID_PARAMETER);
    return list;
}

int GetTextureName(const BYTE* classRecord, char* buffer, DWORD* length)
{
    const BYTE* list = LocateTextureList(classRecord);
    if (!list)
        return 0;
    DWORD entryCount = ReadLE16(list + LIST_ENTRY_COUNT_OFS);
    const BYTE* name = LocateInView(list, LIST_HEADER_SIZE + 2 * int64_t(entryCount), NAME_TEXT_OFS);
    if (!name)
        return FailWith(ERROR_INVALID_PARAMETER);
    return CopyTextureName(name, buffer, length);
}

int CopyTextureName(const BYTE* nameRecord, char* buffer, DWORD* length)
{
    if (!buffer || !length || !IsInsideView(&g_classListFile, nameRecord, NAME_TEXT_OFS))
        return FailWith(ERROR_INVALID_PARAMETER);

    if (*length == 0) {
        int recordLength = ReadLE16s(nameRecord + NAME_RECORD_LENGTH_OFS);
        // Shorter than its own header: there is no size to give, only damage.
        if (recordLength < static_cast<int>(NAME_TEXT_OFS))
            return FailWith(ERROR_INVALID_PARAMETER);
        *length = static_cast<DWORD>(recordLength) - NAME_TEXT_OFS;
        return FailWith(ERROR_INSUFFICIENT_BUFFER);
    }

    const DWORD size = *length;
    std::memset(buffer, 0, size);
    const BYTE* text = nameRecord + NAME_TEXT_OFS;
    const DWORD left = g_classListFile.fileSize - static_cast<DWORD>(text - g_classListFile.view);
    for (DWORD i = 0; i < size; ++i) {
        if (i == left)
            return FailWith(ERROR_INVALID_PARAMETER);   // no zero byte before the end of the file
        buffer[i] = static_cast<char>(text[i]);
        if (text[i] == 0)
            return 1;
    }
    buffer[size - 1] = 0;   // a name as long as the buffer is cut rather than left unterminated
    return 1;
}

int FormatClassLine(const BYTE* classRecord, char* line)
{
    if (!line)
        return FailWith(ERROR_INVALID_PARAMETER);
    const BYTE* list = LocateTextureList(classRecord);
    if (!list)
        return 0;

    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (!GetTextureName(classRecord, name, &length))
        std::snprintf(name, sizeof name, "ERROR:%x", static_cast<unsigned>(GetLastError()));

    std::memset(line, 0, CLASS_LINE_SIZE);
    std::snprintf(line, CLASS_LINE_SIZE, "%3d [%u] %s Type= %s",
                  ClassNumberOf(classRecord),
                  static_cast<unsigned>(ReadLE16(list + LIST_ENTRY_COUNT_OFS)), name,
                  SurfaceTypeName(SurfaceTypeOf(classRecord)));
    return 1;
}

void ApplySurfaceType(DWORD code, BYTE* const* records, DWORD count)
{
    if (!records)
        return;
    for (DWORD i = 0; i < count; ++i)
        if (IsInsideView(&g_classListFile, records[i], CLASS_RECORD_SIZE))
            WriteLE16(records[i] + CLASS_SURFACE_TYPE_OFS, static_cast<WORD>(code));
}

void ResetSurfaceTypes()
{
    ClassListFile& file = g_classListFile;
    DWORD count = file.classCount < DEFAULT_SURFACE_TYPE_COUNT ? file.classCount : DEFAULT_SURFACE_TYPE_COUNT;
    for (DWORD i = 0; i < count; ++i)
        if (IsInsideView(&file, file.classRecords[i], CLASS_RECORD_SIZE))
            WriteLE16(file.classRecords[i] + CLASS_SURFACE_TYPE_OFS, DefaultSurfaceTypes[i]);
}
