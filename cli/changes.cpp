#include "cli/changes.h"

#include <cstdio>
#include <string>

#include "data/texture_classes.h"

namespace {

Change ChangeAt(const ClassListFile& file, DWORD position, SurfaceType to)
{
    const BYTE* record = file.classRecords[position];
    return {position, ClassNumberOf(record), SurfaceTypeOf(record), to};
}

} // namespace

std::vector<Change> PlanSet(const ClassListFile& file, const std::vector<DWORD>& positions, SurfaceType code)
{
    std::vector<Change> changes;
    for (DWORD p : positions)
        if (p < file.classCount && SurfaceTypeOf(file.classRecords[p]) != code)
            changes.push_back(ChangeAt(file, p, code));
    return changes;
}

std::vector<Change> PlanReset(const ClassListFile& file)
{
    std::vector<Change> changes;
    for (DWORD p = 0; p < file.classCount && p < DEFAULT_SURFACE_TYPE_COUNT; ++p)
        if (SurfaceTypeOf(file.classRecords[p]) != DefaultSurfaceTypes[p])
            changes.push_back(ChangeAt(file, p, DefaultSurfaceTypes[p]));
    return changes;
}

std::vector<Change> DiffSurfaceTypes(const ClassListFile& file, const BYTE* other)
{
    std::vector<Change> changes;
    for (DWORD p = 0; p < file.classCount; ++p) {
        const SurfaceType to = SurfaceTypeOf(other + (file.classRecords[p] - file.view));
        if (SurfaceTypeOf(file.classRecords[p]) != to)
            changes.push_back(ChangeAt(file, p, to));
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
