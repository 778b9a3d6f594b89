#include "cli/changes.h"

#include <cstdio>

#include "data/texture_classes.h"

void PrintChanges(const SurfaceTypeChanges& changes)
{
    for (const SurfaceTypeChange& c : changes) {
        if (c.from == c.to)
            continue;
        std::string from = SurfaceTypeName(c.from);   // the name buffer is shared
        std::printf("position %lu, class %d: %s -> %s\n", static_cast<unsigned long>(c.position), c.classNumber,
                    from.c_str(), SurfaceTypeName(c.to));
    }
}

std::string DescribeDone(const SurfaceTypeChanges& done)
{
    if (done.empty())
        return "no class was changed";
    std::string text;
    for (const SurfaceTypeChange& c : done)
        text += (text.empty() ? "" : "; ") + std::string("position ") + std::to_string(c.position) + ", class " +
                std::to_string(c.classNumber);
    return (done.size() == 1 ? "1 class was changed (" : std::to_string(done.size()) + " classes were changed (") +
           text + ")";
}
