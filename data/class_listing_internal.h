// The listing check as the edit runs it: inside its own guarded access,
// directly before its stores.
#pragma once

#include "data/class_listing.h"

// The file's size as its handle tells it (the mapping keeps its length, the
// file's tells whether it was cut short or grew): 1 when it is the listed
// one; 0 with ERROR_FILE_INVALID, or the system's error.
int CheckListedSize(const ClassListFile* file, const ClassListing* listing);

// Whether the view holds the listing: a walk into `scratch`'s tables finds
// the listed records at the listed offsets with the listed class numbers, and
// the digest is the listed one. Reads the view unguarded: for a guarded access.
bool ViewHoldsListing(const ClassListFile* file, const ClassListing* listing, ClassListFile* scratch);
