#include "cli/list.h"

#include <nlohmann/json.hpp>

#include <cstdio>

#include "cli/exit_code.h"
#include "cli/report.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"

namespace {

nlohmann::ordered_json ClassAsJson(const ClassListFile& file, DWORD position, const ListedClass& listed)
{
    const BYTE* record = file.view + listed.offset;
    nlohmann::ordered_json entry;
    entry["position"] = position;
    entry["offset"] = listed.offset;
    entry["class"] = listed.classNumber;
    DWORD entries = 0;
    entry["entries"] = GetTextureEntryCount(record, &entries) ? nlohmann::ordered_json(entries) : nlohmann::ordered_json();
    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (GetTextureName(record, name, &length)) {
        entry["texture"] = JsonText(name);
    } else {
        entry["textureError"] = GetLastError();
        entry["texture"] = nullptr;
    }
    entry["surfaceType"] = listed.surfaceType;
    entry["surfaceTypeName"] = SurfaceTypeName(listed.surfaceType);
    return entry;
}

} // namespace

int List(const ListOptions& options, const std::string& path, const ScanResult& scan, const ClassListing& listing)
{
    const ClassListFile& file = g_classListFile;
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    std::string lines;
    for (DWORD position = 0; position < listing.count; ++position) {
        // Positions count in the whole table, which is what the defaults and --position go by.
        const ListedClass& listed = listing.classes[position];
        if (options.waterOnly && listed.surfaceType != SURFACE_WATER)
            continue;
        if (options.json) {
            all.push_back(ClassAsJson(file, position, listed));
            continue;
        }
        char line[CLASS_LINE_SIZE];
        const int whole = FormatClassLineOrError(file.view + listed.offset, line);
        const DWORD error = GetLastError();
        // 87 is the file's damage; anything else, the system's failure to read it.
        if (!whole && error != ERROR_INVALID_PARAMETER) {
            Complain(ShownPath(path), "cannot read the class list (" + ErrorText(error) + ")");
            return EXIT_FILE_ERROR;
        }
        if (!whole) {
            char where[96];
            std::snprintf(where, sizeof where, "class at position %lu, offset %lu: its texture list is outside the file",
                          static_cast<unsigned long>(position), static_cast<unsigned long>(listed.offset));
            Complain(ShownPath(path), where);
        }
        lines += ShownText(line) + "\n";
    }
    // What was read is printed only once the file is known to have stayed as
    // listed: a file cut short or rewritten meanwhile gives lines of neither.
    if (!CheckListing(&file, &listing)) {
        const DWORD error = GetLastError();
        Complain(ShownPath(path), error == ERROR_FILE_INVALID
                                      ? "another program cut the class list short or rewrote it while it was read (" +
                                            ErrorText(error) + "); nothing is listed"
                                      : "cannot read the class list (" + ErrorText(error) + ")");
        return EXIT_FILE_ERROR;
    }
    if (options.json)
        std::printf("%s\n", all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    else
        std::fputs(lines.c_str(), stdout);
    return scan.complete ? EXIT_DONE : EXIT_DAMAGED_OR_DIFFERENT;
}
