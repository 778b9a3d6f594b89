#include "cli/changes.h"

#include <cstdio>
#include <string>

#include "data/texture_classes.h"

namespace {

Change ChangeAt(const ClassListing& listing, DWORD position, SurfaceType to)
{
    const ListedClass& c = listing.classes[position];
    return {position, c.offset, c.classNumber, c.surfaceType, to};
}

} // namespace

std::vector<Change> PlanSet(const ClassListing& listing, const std::vector<DWORD>& positions, SurfaceType code)
{
    std::vector<Change> changes;
    for (DWORD p : positions)
        if (p < listing.count && listing.classes[p].surfaceType != code)
            changes.push_back(ChangeAt(listing, p, code));
    return changes;
}

std::vector<Change> PlanReset(const ClassListing& listing)
{
    std::vector<Change> changes;
    for (DWORD p = 0; p < listing.count && p < DEFAULT_SURFACE_TYPE_COUNT; ++p)
        if (listing.classes[p].surfaceType != DefaultSurfaceTypes[p])
            changes.push_back(ChangeAt(listing, p, DefaultSurfaceTypes[p]));
    return changes;
}

std::vector<Change> DiffSurfaceTypes(const ClassListing& listing, const BYTE* other)
{
    std::vector<Change> changes;
    for (DWORD p = 0; p < listing.count; ++p) {
        const SurfaceType to = SurfaceTypeOf(other + listing.classes[p].offset);
        if (listing.classes[p].surfaceType != to)
            changes.push_back(ChangeAt(listing, p, to));
    }
    return changes;
}

void PrintChanges(const std::vector<Change>& changes)
{
    for (const Change& c : changes) {
        std::string from = SurfaceTypeName(c.from);   // the name buffer is shared
        std::printf("position %lu, class %d: %s -> %s\n", static_cast<unsigned long>(c.position), c.classNumber,
                    from.c_str(), SurfaceTypeName(c.to));
    }
}

std::string DescribeDone(const std::vector<Change>& done)
{
    if (done.empty())
        return "no class was changed";
    std::string text;
    for (const Change& c : done)
        text += (text.empty() ? "" : "; ") + std::string("position ") + std::to_string(c.position) + ", class " +
                std::to_string(c.classNumber);
    return (done.size() == 1 ? "1 class was changed (" : std::to_string(done.size()) + " classes were changed (") +
           text + ")";
}
