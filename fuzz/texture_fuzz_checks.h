// Checks of the texture class operations on whatever the scan found: every
// class's list line and texture name against an independent reading of the
// bytes, then Update and Default on the fuzzer's private copy, which must
// change surfaceType fields and nothing else.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/byte_order.h"
#include "data/class_list_file.h"
#include "data/class_list_edit.h"
#include "data/class_listing.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"

namespace texture_fuzz {

inline void Expect(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "texture class check failed: %s\n", what);
        std::abort();
    }
}

// What the name lookup should give for the class at `offset`, worked out
// from the bytes alone.
struct ExpectedName {
    bool listInside = false;
    uint16_t entryCount = 0;
    bool ok = false;
    std::string name;
    int64_t nameOffset = -1;   // name record, when its header is inside
};

inline ExpectedName ReadName(const std::vector<uint8_t>& bytes, int64_t offset)
{
    ExpectedName e;
    const int64_t size = static_cast<int64_t>(bytes.size());
    const int64_t list = offset + ReadLE32s(&bytes[offset + CLASS_TEXTURE_LIST_OFS]);
    if (list < 0 || list + LIST_HEADER_SIZE > size)
        return e;
    e.listInside = true;
    e.entryCount = ReadLE16(&bytes[list + LIST_ENTRY_COUNT_OFS]);
    const int64_t name = list + LIST_HEADER_SIZE + 2 * int64_t(e.entryCount);
    if (name + NAME_TEXT_OFS > size)
        return e;
    e.nameOffset = name;
    for (int64_t i = 0; i < MAX_PATH; ++i) {
        const int64_t at = name + NAME_TEXT_OFS + i;
        if (at >= size)
            return e;   // ran off the end before a zero byte or a full buffer
        if (bytes[at] == 0)
            break;
        e.name.push_back(static_cast<char>(bytes[at]));
    }
    if (e.name.size() == MAX_PATH)
        e.name.pop_back();
    e.ok = true;
    return e;
}

inline void CheckLinesAndNames(const ClassListFile& file, const std::vector<uint8_t>& bytes)
{
    for (DWORD i = 0; i < file.classCount; ++i) {
        const BYTE* record = file.classRecords[i];
        const int64_t offset = record - file.view;
        const ExpectedName e = ReadName(bytes, offset);

        char name[MAX_PATH];
        std::memset(name, 0x5A, sizeof name);
        DWORD length = sizeof name;
        SetLastError(0);
        const int got = GetTextureName(record, name, &length);
        Expect(length == MAX_PATH, "length changed by a copy");
        if (e.ok) {
            Expect(got == 1 && std::string(name) == e.name, "texture name differs");
            for (size_t k = e.name.size(); k < sizeof name; ++k)
                Expect(name[k] == 0, "buffer not zeroed after the name");
        } else {
            Expect(got == 0 && GetLastError() == ERROR_INVALID_PARAMETER, "unreadable name not 87");
            Expect(std::memchr(name, 0, sizeof name) || name[0] == 0x5A, "failed copy left no terminator");
        }

        length = 0;
        const int query = GetTextureName(record, name, &length);
        Expect(query == 0, "size query succeeded");
        if (e.nameOffset >= 0) {
            const int recordLength = ReadLE16s(&bytes[e.nameOffset + NAME_RECORD_LENGTH_OFS]);
            if (recordLength >= static_cast<int>(NAME_TEXT_OFS))
                Expect(GetLastError() == ERROR_INSUFFICIENT_BUFFER &&
                           length == static_cast<DWORD>(recordLength) - NAME_TEXT_OFS,
                       "size query");
            else
                Expect(GetLastError() == ERROR_INVALID_PARAMETER, "short name record not 87");
        } else {
            Expect(GetLastError() == ERROR_INVALID_PARAMETER && length == 0, "size query outside the view");
        }

        char line[CLASS_LINE_SIZE];
        std::memset(line, 0x5A, sizeof line);
        const int formatted = FormatClassLine(record, line);
        if (!e.listInside) {
            Expect(formatted == 0 && GetLastError() == ERROR_INVALID_PARAMETER && line[0] == 0x5A,
                   "line for a class whose list lies outside");
            continue;
        }
        char want[CLASS_LINE_SIZE];
        std::snprintf(want, sizeof want, "%3d [%u] %s Type= %s",
                      ReadLE16s(&bytes[offset + CLASS_CLASS_NUMBER_OFS]), unsigned(e.entryCount),
                      e.ok ? e.name.c_str() : "ERROR:57",
                      SurfaceTypeName(ReadLE16(&bytes[offset + CLASS_SURFACE_TYPE_OFS])));
        Expect(formatted == 1 && std::strcmp(line, want) == 0, "list line differs");
    }
}

// The whole file equals `before` with the surfaceType of class i set to
// want[i]; the rescan finds the same classes and exactly the Water ones.
inline void CheckEdited(ClassListFile& file, const std::vector<uint8_t>& before,
                        const std::vector<SurfaceType>& want, int scanResult, DWORD scanError)
{
    std::vector<uint8_t> expected = before;
    for (size_t i = 0; i < want.size(); ++i)
        WriteLE16(&expected[file.classRecords[i] - file.view + CLASS_SURFACE_TYPE_OFS], want[i]);
    Expect(expected.empty() || std::memcmp(expected.data(), file.view, expected.size()) == 0,
           "an edit changed more than surfaceType fields");

    std::vector<BYTE*> classes(file.classRecords, file.classRecords + file.classCount);
    SetLastError(0);
    const int result = ScanClassList(&file);
    Expect(result == scanResult && (result == 1 || GetLastError() == scanError), "rescan result changed");
    Expect(file.classCount == classes.size() &&
               std::equal(classes.begin(), classes.end(), file.classRecords),
           "rescan moved the class table");
    DWORD water = 0;
    for (size_t i = 0; i < want.size(); ++i)
        if (want[i] == SURFACE_WATER)
            Expect(water < file.waterCount && file.waterRecords[water++] == classes[i], "water table");
    Expect(water == file.waterCount, "water table holds a class that is not Water");
}

inline void CheckEdits(ClassListFile& file, const std::vector<uint8_t>& before)
{
    SetLastError(0);
    const int scanResult = ScanClassList(&file);
    const DWORD scanError = GetLastError();
    const DWORD count = file.classCount;
    std::vector<SurfaceType> types(count);
    for (DWORD i = 0; i < count; ++i)
        types[i] = ReadLE16(file.classRecords[i] + CLASS_SURFACE_TYPE_OFS);

    // Update, ticking every other class, with a code past 16 bits.
    std::vector<BYTE*> ticked;
    for (DWORD i = 0; i < count; i += 2) {
        ticked.push_back(file.classRecords[i]);
        types[i] = SURFACE_WATER;
    }
    ApplySurfaceType(0x70000u | SURFACE_WATER, ticked.data(), static_cast<DWORD>(ticked.size()));
    CheckEdited(file, before, types, scanResult, scanError);

    // Default: the table up to position 255, nothing beyond.
    ResetSurfaceTypes();
    for (DWORD i = 0; i < count && i < DEFAULT_SURFACE_TYPE_COUNT; ++i)
        types[i] = DefaultSurfaceTypes[i];
    CheckEdited(file, before, types, scanResult, scanError);
}

// The stores through a listing: on the file as listed they change what the
// plain ones do; with one byte changed outside the surface types, as another
// program might, they refuse and change nothing.
inline void CheckListedEdits(ClassListFile& file, const std::vector<uint8_t>& before)
{
    if (before.empty())
        return;   // no view to list
    SetLastError(0);
    const int scanResult = ScanClassList(&file);
    const DWORD scanError = GetLastError();
    const SurfaceType kCode = 1;   // any code that is not Water
    static ClassListing listing;
    Expect(ListClasses(&file, &listing) == 1 && listing.count == file.classCount, "listing of a readable view");
    const DWORD count = file.classCount;
    std::vector<SurfaceType> types(count);
    std::vector<bool> surfaceByte(before.size(), false);
    for (DWORD i = 0; i < count; ++i) {
        types[i] = listing.classes[i].surfaceType;
        surfaceByte[listing.classes[i].offset + CLASS_SURFACE_TYPE_OFS] = true;
        surfaceByte[listing.classes[i].offset + CLASS_SURFACE_TYPE_OFS + 1] = true;
    }
    std::vector<DWORD> ticked;
    for (DWORD i = 1; i < count; i += 2) {
        ticked.push_back(i);
        types[i] = kCode;
    }
    EditRequest request;
    request.changes = PlanSet(listing, ticked, kCode);
    request.backUp = false;   // no file on disk to back up
    if (!ticked.empty()) {
        // Another program's change, in a byte the input picks (its last),
        // so that it lands in records and in what they point to alike.
        size_t at = before.back() * before.size() / 256;
        while (at < before.size() && surfaceByte[at])
            ++at;
        if (at < before.size()) {
            file.view[at] ^= 0x01;
            const EditResult refused = EditClassList(&file, listing, "", request);
            Expect(refused.outcome == EDIT_FILE_CHANGED && refused.made.empty(),
                   "a store into a changed file was not refused");
            file.view[at] ^= 0x01;
            Expect(std::memcmp(before.data(), file.view, before.size()) == 0, "a refused store changed the file");
        }
    }
    const EditResult edited = EditClassList(&file, listing, "", request);
    Expect(edited.outcome == EDIT_DONE && edited.made.size() == CountChanging(request.changes),
           "an edit of the file as listed failed");
    CheckEdited(file, before, types, scanResult, scanError);
    if (!before.empty())
        std::memcpy(file.view, before.data(), before.size());
}

} // namespace texture_fuzz

// `file` is g_classListFile, freshly scanned, its view a private copy that
// the checks may change; the bytes and tables are as found when they return.
inline void CheckTextureClasses(ClassListFile* file)
{
    texture_fuzz::Expect(file == &g_classListFile, "the texture class operations work on g_classListFile");
    const std::vector<uint8_t> before(file->view, file->view + (file->view ? file->fileSize : 0));
    texture_fuzz::CheckLinesAndNames(*file, before);
    texture_fuzz::CheckEdits(*file, before);
    if (!before.empty())
        std::memcpy(file->view, before.data(), before.size());
    texture_fuzz::CheckListedEdits(*file, before);
    ScanClassList(file);
}
