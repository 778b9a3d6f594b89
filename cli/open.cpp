#include "cli/open.h"

#include <cstdio>

#include "cli/exit_code.h"
#include "cli/report.h"
#include "data/record_scan.h"
#include "platform/native_path.h"

namespace {

std::string StopReason(const ClassListFile& file, const ScanResult& scan)
{
    char text[128];
    if (scan.pastEndLength != 0) {
        std::snprintf(text, sizeof text, "a record %lu bytes long with %lu bytes of the file left: it runs past the end of the file",
                      static_cast<unsigned long>(scan.pastEndLength),
                      static_cast<unsigned long>(file.fileSize - scan.offset));
        return text;
    }
    switch (scan.error) {
    case ERROR_INVALID_FUNCTION:
        std::snprintf(text, sizeof text, "an unrecognised record (opcode %04X)", static_cast<unsigned>(scan.opcode));
        return text;
    case ERROR_NOT_ENOUGH_MEMORY:
        return "more than " + std::to_string(CLASS_TABLE_SIZE) + " texture classes";
    case ERROR_INVALID_DATA:
        return "a damaged record (it runs past the end of the file or is shorter than its own length field)";
    default:
        return ErrorText(scan.error);
    }
}

} // namespace

int FindClassList(const CommonOptions& options, ClassListFile* file, std::string* path)
{
    const std::string& named = options.file.empty() ? options.gameFolder : options.file;
    if (!named.empty()) {
        std::string full;
        const bool found = ArgumentPath(named, &full);
        *path = options.file.empty() ? PathBelow(full, "Scenery\\All\\Scenery\\CLASSLIST.BGL") : full;
        // Room for the backup's name too.
        if (!found || path->size() >= CLASS_LIST_PATH_SIZE) {
            Complain(named, "the path is too long");
            return EXIT_USAGE;
        }
        return EXIT_DONE;
    }
    std::snprintf(file->fileName, sizeof file->fileName, "CLASSLIST.BGL");
    if (!LocateGameFolder(file)) {
        const DWORD error = GetLastError();
        Complain("cannot locate Combat Flight Simulator",
                 "no folder in the registry entry HKLM\\" GAME_REGISTRY_KEY ", value " GAME_REGISTRY_VALUE " (" +
                     ErrorText(error) + "); name the file with --file or the folder with --game-folder");
        return EXIT_FILE_ERROR;
    }
    char buffer[CLASS_LIST_PATH_SIZE];
    FormatClassListPath(file, buffer, sizeof buffer);
    // The file system's own name from here on: its backup is that name and ".bak".
    *path = NativePath(buffer);
    return EXIT_DONE;
}

bool IsDamage(const ScanResult& scan)
{
    return IsScanDamage(scan.error);
}

ScanResult Scan(ClassListFile* file, bool report)
{
    ScanResult scan;
    ScanStop stop;
    if (!ScanClassListEx(file, &stop)) {
        scan.complete = false;
        scan.error = GetLastError();
    } else if (stop.pastEndLength != 0) {
        scan.complete = false;
        scan.error = ERROR_INVALID_DATA;
        scan.pastEndLength = stop.pastEndLength;
    }
    scan.offset = stop.offset;
    scan.opcode = stop.opcode;
    char text[128];
    if (report && FormatScanReport(file, stop, text, sizeof text))
        std::fprintf(stderr, "%s: %s\n", kProgram, text);
    return scan;
}

bool ListScanned(const std::string& path, const ClassListFile& file, ClassListing* listing)
{
    if (ListClasses(&file, listing))
        return true;
    Complain(ShownPath(path), "cannot read the class list (" + ErrorText(GetLastError()) + ")");
    return false;
}

void ReportStop(const std::string& path, const ClassListFile& file, const ScanResult& scan)
{
    char text[512];
    std::snprintf(text, sizeof text, "the scan stopped at offset %lu (0x%lX): %s (error %lu); %lu classes found before it",
                  static_cast<unsigned long>(scan.offset), static_cast<unsigned long>(scan.offset),
                  StopReason(file, scan).c_str(), static_cast<unsigned long>(scan.error),
                  static_cast<unsigned long>(file.classCount));
    Complain(ShownPath(path), text);
}
