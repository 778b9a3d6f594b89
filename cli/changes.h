// The classes whose surface type a command changes, worked out from the
// listing alone, which reads nothing of the view: the same list serves the
// dry run, the real one and the report.
#pragma once

#include <string>
#include <vector>

#include "data/class_listing.h"

struct Change {
    DWORD position;
    DWORD offset;   // of the class record
    int classNumber;
    SurfaceType from;
    SurfaceType to;
};

// `code` for the classes at `positions` that have another type.
std::vector<Change> PlanSet(const ClassListing& listing, const std::vector<DWORD>& positions, SurfaceType code);

// The default type for every class that has another, as Default does; none
// for positions past the default table.
std::vector<Change> PlanReset(const ClassListing& listing);

// The classes whose surface type in `other`, a copy of the file of the same
// size, is not the listed one.
std::vector<Change> DiffSurfaceTypes(const ClassListing& listing, const BYTE* other);

// "position 0, class 10: Water -> Grass", a line each.
void PrintChanges(const std::vector<Change>& changes);

// "no class was changed" or "2 classes were changed (position 0, class 10;
// position 3, class 12)", for a change the system stopped part way.
std::string DescribeDone(const std::vector<Change>& done);
