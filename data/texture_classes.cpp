#include "data/texture_classes.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "data/byte_order.h"
#include "platform/last_error.h"
#include "platform/view_guard.h"

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

namespace {

// The unguarded steps; every read of the view below runs inside a guard.
const BYTE* FindTextureList(const BYTE* classRecord)
{
    if (!IsInsideView(&g_classListFile, classRecord, CLASS_RECORD_SIZE))
        return FailWith<const BYTE*>(ERROR_INVALID_PARAMETER, nullptr);
    const BYTE* list = LocateInView(classRecord, ReadLE32s(classRecord + CLASS_TEXTURE_LIST_OFS),
                                    LIST_HEADER_SIZE);
    if (!list)
        SetLastError(ERROR_INVALID_PARAMETER);
    return list;
}

int CopyName(const BYTE* nameRecord, char* buffer, DWORD* length)
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
    for (DWORD i = 0; i < size; ++i)
        buffer[i] = 0;
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

int LookUpName(const BYTE* classRecord, char* buffer, DWORD* length)
{
    const BYTE* list = FindTextureList(classRecord);
    if (!list)
        return 0;
    DWORD entryCount = ReadLE16(list + LIST_ENTRY_COUNT_OFS);
    const BYTE* name = LocateInView(list, LIST_HEADER_SIZE + 2 * int64_t(entryCount), NAME_TEXT_OFS);
    if (!name)
        return FailWith(ERROR_INVALID_PARAMETER);
    return CopyName(name, buffer, length);
}

template <class Access>
int GuardedRead(Access& access)
{
    const ClassListFile& file = g_classListFile;
    return GuardViewAccess(file.view, file.view ? file.fileSize : 0, access);
}

// A name the system cannot read fails as a damaged one does, and what was
// copied of it stays zero-terminated.
int NameUnreadable(char* buffer, const DWORD* length)
{
    if (buffer && length && *length > 0)
        buffer[*length - 1] = 0;
    return FailWith(ERROR_INVALID_PARAMETER);
}

} // namespace

const BYTE* LocateTextureList(const BYTE* classRecord)
{
    const BYTE* list = nullptr;
    auto find = [&] { list = FindTextureList(classRecord); };
    if (!GuardedRead(find))
        return FailWith<const BYTE*>(ERROR_INVALID_PARAMETER, nullptr);
    return list;
}

int GetTextureEntryCount(const BYTE* classRecord, DWORD* count)
{
    const BYTE* list = nullptr;
    auto read = [&] {
        if ((list = FindTextureList(classRecord)) != nullptr)
            *count = ReadLE16(list + LIST_ENTRY_COUNT_OFS);
    };
    if (!count)
        return FailWith(ERROR_INVALID_PARAMETER);
    if (!GuardedRead(read))
        return 0;
    return list ? 1 : FailWith(ERROR_INVALID_PARAMETER);
}

int GetTextureName(const BYTE* classRecord, char* buffer, DWORD* length)
{
    int result = 0;
    auto lookUp = [&] { result = LookUpName(classRecord, buffer, length); };
    return GuardedRead(lookUp) ? result : NameUnreadable(buffer, length);
}

int CopyTextureName(const BYTE* nameRecord, char* buffer, DWORD* length)
{
    int result = 0;
    auto copy = [&] { result = CopyName(nameRecord, buffer, length); };
    return GuardedRead(copy) ? result : NameUnreadable(buffer, length);
}

int FormatClassLine(const BYTE* classRecord, char* line)
{
    if (!line)
        return FailWith(ERROR_INVALID_PARAMETER);
    const BYTE* list = nullptr;
    int number = 0;
    unsigned entryCount = 0;
    SurfaceType type = 0;
    auto readFields = [&] {
        if ((list = FindTextureList(classRecord)) != nullptr) {
            number = ClassNumberOf(classRecord);
            entryCount = ReadLE16(list + LIST_ENTRY_COUNT_OFS);
            type = SurfaceTypeOf(classRecord);
        }
    };
    if (!GuardedRead(readFields))
        return 0;
    if (!list)
        return 0;

    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (!GetTextureName(classRecord, name, &length))
        std::snprintf(name, sizeof name, "ERROR:%x", static_cast<unsigned>(GetLastError()));

    std::memset(line, 0, CLASS_LINE_SIZE);
    std::snprintf(line, CLASS_LINE_SIZE, "%3d [%u] %s Type= %s", number, entryCount, name, SurfaceTypeName(type));
    return 1;
}

int FormatClassLineOrError(const BYTE* classRecord, char* line)
{
    if (!line)
        return FailWith(ERROR_INVALID_PARAMETER);
    if (FormatClassLine(classRecord, line))
        return 1;
    const DWORD error = GetLastError();
    std::memset(line, 0, CLASS_LINE_SIZE);
    int number = 0;
    SurfaceType type = 0;
    auto readFields = [&] {
        number = ClassNumberOf(classRecord);
        type = SurfaceTypeOf(classRecord);
    };
    if (!IsInsideView(&g_classListFile, classRecord, CLASS_RECORD_SIZE) || !GuardedRead(readFields))
        return FailWith(error);
    std::snprintf(line, CLASS_LINE_SIZE, "%3d [?] ERROR:%x Type= %s", number, static_cast<unsigned>(error),
                  SurfaceTypeName(type));
    return FailWith(error);
}

namespace {

// Guarded: a store the system cannot back (a full disk, a file cut short)
// ends the edit there, with its error as the last-error code.
void StoreAll(BYTE* const* records, DWORD count, const SurfaceType* codes, WORD code)
{
    const ClassListFile& file = g_classListFile;
    // A record outside the view cannot be stored into: the edit is refused
    // whole rather than done with a class left out.
    for (DWORD i = 0; i < count; ++i)
        if (!IsInsideView(&file, records[i], CLASS_RECORD_SIZE)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return;
        }
    auto store = [&] {
        for (DWORD i = 0; i < count; ++i)
            StoreSurfaceType(records[i], codes ? codes[i] : code);
    };
    GuardViewAccess(file.view, file.fileSize, store);
}

} // namespace

void ApplySurfaceType(DWORD code, BYTE* const* records, DWORD count)
{
    StoreAll(records, records ? count : 0, nullptr, static_cast<WORD>(code));
}

void ResetSurfaceTypes()
{
    const ClassListFile& file = g_classListFile;
    StoreAll(file.classRecords, file.classCount < DEFAULT_SURFACE_TYPE_COUNT ? file.classCount : DEFAULT_SURFACE_TYPE_COUNT,
             DefaultSurfaceTypes, 0);
}
