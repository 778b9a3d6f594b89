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
    DWORD next = 0;
    for (DWORD k = 0; k < size; ++k) {
        // The classes are in file order, so one pass steps over each surface type.
        while (next < count && uint64_t(classes[next].offset) + CLASS_SURFACE_TYPE_OFS + 2 <= k)
            ++next;
        if (next < count && k >= classes[next].offset + CLASS_SURFACE_TYPE_OFS)
            continue;
        digest = (digest ^ view[k]) * 0x100000001b3ull;
    }
    return digest;
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

namespace {

struct Copy {
    const ClassListFile* file;
    ClassListing* listing;
};

void CopyClasses(void* context)
{
    Copy& copy = *static_cast<Copy*>(context);
    const ClassListFile& file = *copy.file;
    ClassListing& listing = *copy.listing;
    for (DWORD p = 0; p < file.classCount; ++p) {
        const BYTE* record = file.classRecords[p];
        listing.classes[p] = {static_cast<DWORD>(record - file.view), ClassNumberOf(record), SurfaceTypeOf(record)};
    }
    listing.digest = DigestOutside(file.view, file.fileSize, listing.classes, file.classCount);
}

bool IsDamage(DWORD error)
{
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_INVALID_DATA;
}

} // namespace

int ListClasses(const ClassListFile* file, ClassListing* listing)
{
    if (!file || !listing)
        return FailWith(ERROR_INVALID_PARAMETER);
    listing->fileSize = file->view ? file->fileSize : 0;
    listing->count = 0;
    listing->digest = 0;
    if (!file->view)
        return 1;
    Copy copy{file, listing};
    if (!GuardViewAccess(file->view, file->fileSize, CopyClasses, &copy))
        return 0;
    listing->count = file->classCount;
    return 1;
}

int CheckListedRecords(const ClassListFile* file, const ClassListing* listing)
{
    if (!file || !listing)
        return FailWith(ERROR_INVALID_PARAMETER);
    if (!file->view || file->fileSize != listing->fileSize)
        return FailWith(ERROR_FILE_INVALID);
    // The mapping keeps its length; the file's own tells whether it was cut short or grew.
    if (file->fileHandle) {
        DWORD high = 0;
        SetLastError(ERROR_SUCCESS);
        const DWORD size = GetFileSize(file->fileHandle, &high);
        if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
            return 0;
        if (size != listing->fileSize || high != 0)
            return FailWith(ERROR_FILE_INVALID);
    }
    std::unique_ptr<ClassListFile> now(new (std::nothrow) ClassListFile());
    if (!now)
        return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    now->view = file->view;
    now->fileSize = file->fileSize;
    // A damaged file was listed up to its damage, and is judged by what the walk finds up to there.
    if (!ScanClassList(now.get()) && !IsDamage(GetLastError()))
        return 0;
    if (now->classCount != listing->count)
        return FailWith(ERROR_FILE_INVALID);
    for (DWORD p = 0; p < now->classCount; ++p)
        if (static_cast<DWORD>(now->classRecords[p] - now->view) != listing->classes[p].offset)
            return FailWith(ERROR_FILE_INVALID);
    return 1;
}

namespace {

struct DigestCheck {
    const ClassListFile* file;
    const ClassListing* listing;
    volatile int same;
};

void CompareDigest(void* context)
{
    DigestCheck& check = *static_cast<DigestCheck*>(context);
    check.same = DigestOutside(check.file->view, check.file->fileSize, check.listing->classes,
                               check.listing->count) == check.listing->digest;
}

} // namespace

int CheckListing(const ClassListFile* file, const ClassListing* listing)
{
    if (!CheckListedRecords(file, listing))
        return 0;
    DigestCheck check{file, listing, 0};
    if (!GuardViewAccess(file->view, file->fileSize, CompareDigest, &check))
        return 0;
    return check.same ? 1 : FailWith(ERROR_FILE_INVALID);
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
