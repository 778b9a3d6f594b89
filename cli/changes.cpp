#include "cli/changes.h"

#include <cstdio>

#include "cli/report.h"
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

std::string NotABackup(const BackupComparison& found, const std::string& path, DWORD classListSize)
{
    char text[160];
    switch (found.mismatch) {
    case BACKUP_OTHER_SIZE:
        std::snprintf(text, sizeof text, "it is %llu bytes and the class list %lu",
                      static_cast<unsigned long long>(found.sizeHigh) << 32 | found.size,
                      static_cast<unsigned long>(classListSize));
        return text;
    case BACKUP_OTHER_BYTES:
        std::snprintf(text, sizeof text, "%lu bytes besides surface types differ from the class list, the first at offset %lu (0x%lX)",
                      static_cast<unsigned long>(found.differing), static_cast<unsigned long>(found.firstOffset),
                      static_cast<unsigned long>(found.firstOffset));
        return text;
    case BACKUP_IS_THE_CLASS_LIST:
        return "it is " + ShownPath(path) + " itself, under another name";
    default:
        return "it is not a regular file";
    }
}
