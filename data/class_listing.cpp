#include "data/class_listing.h"

#include <memory>
#include <new>

#include "data/class_listing_internal.h"
#include "data/record_scan.h"
#include "platform/last_error.h"
#include "platform/view_guard.h"

uint64_t DigestOutside(const BYTE* view, DWORD size, const ListedClass* classes, DWORD count)
{
    uint64_t digest = 0xcbf29ce484222325ull;
    SurfaceTypeBytes surfaceTypes(classes, count);
    for (DWORD k = 0; k < size; ++k)
        if (!surfaceTypes.At(k))
            digest = (digest ^ view[k]) * 0x100000001b3ull;
    return digest;
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

int ListClasses(const ClassListFile* file, ClassListing* listing)
{
    if (!file || !listing)
        return FailWith(ERROR_INVALID_PARAMETER);
    listing->fileSize = file->view ? file->fileSize : 0;
    listing->count = 0;
    listing->digest = 0;
    if (!file->view)
        return 1;
    auto copy = [&] {
        for (DWORD p = 0; p < file->classCount; ++p) {
            const BYTE* record = file->classRecords[p];
            listing->classes[p] = {static_cast<DWORD>(record - file->view), ClassNumberOf(record),
                                   SurfaceTypeOf(record)};
        }
        listing->digest = DigestOutside(file->view, file->fileSize, listing->classes, file->classCount);
    };
    if (!GuardViewAccess(file->view, file->fileSize, copy))
        return 0;
    listing->count = file->classCount;
    return 1;
}

int CheckListedSize(const ClassListFile* file, const ClassListing* listing)
{
    if (!file->view || file->fileSize != listing->fileSize)
        return FailWith(ERROR_FILE_INVALID);
    if (file->fileHandle) {
        DWORD high = 0;
        SetLastError(ERROR_SUCCESS);
        const DWORD size = GetFileSize(file->fileHandle, &high);
        if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
            return 0;
        if (size != listing->fileSize || high != 0)
            return FailWith(ERROR_FILE_INVALID);
    }
    return 1;
}

bool ViewHoldsListing(const ClassListFile* file, const ClassListing* listing, ClassListFile* scratch)
{
    scratch->view = file->view;
    scratch->fileSize = file->fileSize;
    // A damaged file was listed up to its damage, and is judged by what the walk finds up to there.
    WalkClassList(scratch);
    if (scratch->classCount != listing->count)
        return false;
    for (DWORD p = 0; p < listing->count; ++p) {
        const BYTE* record = scratch->classRecords[p];
        if (static_cast<DWORD>(record - file->view) != listing->classes[p].offset ||
            ClassNumberOf(record) != listing->classes[p].classNumber)
            return false;
    }
    return DigestOutside(file->view, file->fileSize, listing->classes, listing->count) == listing->digest;
}

int CheckListing(const ClassListFile* file, const ClassListing* listing)
{
    if (!file || !listing)
        return FailWith(ERROR_INVALID_PARAMETER);
    if (!CheckListedSize(file, listing))
        return 0;
    std::unique_ptr<ClassListFile> scratch(new (std::nothrow) ClassListFile());
    if (!scratch)
        return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    volatile bool holds = false;
    auto check = [&] { holds = ViewHoldsListing(file, listing, scratch.get()); };
    if (!GuardViewAccess(file->view, file->fileSize, check))
        return 0;
    return holds ? 1 : FailWith(ERROR_FILE_INVALID);
}

int FindListed(const ClassListing* listing, DWORD offset)
{
    DWORD low = 0, high = listing->count;
    while (low < high) {
        const DWORD mid = low + (high - low) / 2;
        if (listing->classes[mid].offset < offset)
            low = mid + 1;
        else
            high = mid;
    }
    return low < listing->count && listing->classes[low].offset == offset ? int(low) : -1;
}
