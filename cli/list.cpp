#include "cli/list.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "cli/exit_code.h"
#include "cli/report.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"

namespace {

nlohmann::ordered_json ClassAsJson(const ClassListFile& file, DWORD position, const BYTE* record)
{
    nlohmann::ordered_json entry;
    entry["position"] = position;
    entry["offset"] = static_cast<DWORD>(record - file.view);
    entry["class"] = ClassNumberOf(record);
    const BYTE* list = LocateTextureList(record);
    entry["entries"] = list ? nlohmann::ordered_json(ReadLE16(list + LIST_ENTRY_COUNT_OFS)) : nlohmann::ordered_json();
    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (GetTextureName(record, name, &length)) {
        entry["texture"] = JsonText(name);
    } else {
        entry["textureError"] = GetLastError();
        entry["texture"] = nullptr;
    }
    entry["surfaceType"] = SurfaceTypeOf(record);
    entry["surfaceTypeName"] = SurfaceTypeName(SurfaceTypeOf(record));
    return entry;
}

} // namespace

int List(const ListOptions& options, const std::string& path, const ScanResult& scan)
{
    const ClassListFile& file = g_classListFile;
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (DWORD position = 0; position < file.classCount; ++position) {
        // Positions count in the whole table, which is what the defaults and --position go by.
        const BYTE* record = file.classRecords[position];
        if (options.waterOnly && SurfaceTypeOf(record) != SURFACE_WATER)
            continue;
        if (options.json) {
            all.push_back(ClassAsJson(file, position, record));
            continue;
        }
        char line[CLASS_LINE_SIZE];
        if (!FormatClassLine(record, line)) {
            // No entry count to show, and the name's error where the name would be.
            std::snprintf(line, sizeof line, "%3d [?] ERROR:%x Type= %s", ClassNumberOf(record),
                          static_cast<unsigned>(GetLastError()), SurfaceTypeName(SurfaceTypeOf(record)));
            char where[96];
            std::snprintf(where, sizeof where, "class at position %lu, offset %lu: its texture list is outside the file",
                          static_cast<unsigned long>(position), static_cast<unsigned long>(record - file.view));
            Complain(ShownPath(path), where);
        }
        std::printf("%s\n", ShownText(line).c_str());
    }
    if (options.json)
        std::printf("%s\n", all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    return scan.complete ? EXIT_DONE : EXIT_DAMAGED_OR_DIFFERENT;
}
