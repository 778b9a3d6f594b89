// What a list shown to the user rests on, and the check that the file still
// holds it. The class list is opened with read and write sharing, so another
// program (an add-on's installer, a second Turfwise) may rewrite it while it
// is listed; a store through the table of an older scan would then land in
// whatever lies at the old offset now.
#pragma once

#include <cstdint>

#include "data/class_list_file.h"
#include "data/class_record.h"

// One class as the scan found it: copied out of the view, so that choosing
// and planning read nothing the system may fail to bring in.
struct ListedClass {
    DWORD offset;              // of its record in the file
    int classNumber;
    SurfaceType surfaceType;
};

struct ClassListing {
    DWORD fileSize;
    DWORD count;               // as classCount
    uint64_t digest;           // of every byte of the file but the listed classes' surface types
    ListedClass classes[CLASS_TABLE_SIZE];
};

// The listing of the class table the last scan of `file` left, read under a
// guard. 0 with the system's error when the view cannot be read.
int ListClasses(const ClassListFile* file, ClassListing* listing);

// Whether the file still holds what was listed: the same size, the same
// records at the same offsets with the same class numbers, and the same bytes
// everywhere but in the listed classes' surface types, which another Turfwise
// may have set. 1 when it does; 0 with ERROR_FILE_INVALID (1006, "externally
// altered") when it does not, or with the system's error when it cannot be read.
int CheckListing(const ClassListFile* file, const ClassListing* listing);

// The listed class whose record starts at `offset`, or -1.
int FindListed(const ClassListing* listing, DWORD offset);

// Tells, asked byte by byte in rising order, which bytes are the listed
// classes' surface types (the classes are in file order): the one walk that
// the digest, the backup's comparison and the restore share. A plain loop,
// for a guarded access.
class SurfaceTypeBytes {
public:
    SurfaceTypeBytes(const ListedClass* classes, DWORD count) : classes_(classes), count_(count) {}
    // 0 when byte k is no surface type's, else 1 or 2 for its first or second byte.
    int At(DWORD k)
    {
        while (next_ < count_ && uint64_t(classes_[next_].offset) + CLASS_SURFACE_TYPE_OFS + 2 <= k)
            ++next_;
        if (next_ == count_ || k < uint64_t(classes_[next_].offset) + CLASS_SURFACE_TYPE_OFS)
            return 0;
        return k == uint64_t(classes_[next_].offset) + CLASS_SURFACE_TYPE_OFS ? 1 : 2;
    }

private:
    const ListedClass* classes_;
    DWORD count_;
    DWORD next_ = 0;
};

// FNV-1a over [view, view + size) less the surface type of each of the
// `count` classes; with none, of every byte.
uint64_t DigestOutside(const BYTE* view, DWORD size, const ListedClass* classes, DWORD count);

// Whether the backup is the class list itself (a link to it), asked of the
// two handles.
bool SameFile(HANDLE a, HANDLE b);
