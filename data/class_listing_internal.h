// The parts of the listing check that the stores run themselves.
#pragma once

#include "data/class_listing.h"

// The check less the digest: the file's size, and the records a walk of the
// view finds now at the listed offsets.
int CheckListedRecords(const ClassListFile* file, const ClassListing* listing);

// The listed class whose record starts at `offset`, or -1.
int FindListed(const ClassListing* listing, DWORD offset);
