// turfwise-cli: the class list from a terminal or a script. The same shape as
// the dialog: parse, open, scan, act through the data layer, report.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/arguments.h"
#include "cli/edit.h"
#include "cli/exit_code.h"
#include "cli/list.h"
#include "cli/open.h"
#include "cli/report.h"
#include "cli/restore.h"
#include "turfwise_version.h"

namespace {

int Run(int argc, char** argv)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(argc, argv, &arguments, &error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return EXIT_USAGE;
    }
    if (arguments.help) {
        std::fputs(HelpText().c_str(), stdout);
        return EXIT_DONE;
    }
    if (arguments.version) {
        std::printf("%s %s\n", kProgram, TURFWISE_VERSION);
        return EXIT_DONE;
    }
    const CommonOptions& options = arguments.common;
    SurfaceType code = 0;
    if (arguments.command == Arguments::SET && arguments.selection.Empty()) {
        std::fprintf(stderr, "%s: set: choose the classes with --class, --position, --water or --all\n", kProgram);
        return EXIT_USAGE;
    }
    if (arguments.command == Arguments::SET && !ParseSurfaceType(arguments.type, &code)) {
        Complain(arguments.type, "not a surface type; use one of " + SurfaceTypeList() +
                                     " (any case, a hyphen for a blank, or the number)");
        return EXIT_USAGE;
    }

    ClassListFile& file = g_classListFile;
    std::string path;
    if (int rc = FindClassList(options, &file, &path))
        return rc;
    // Looking needs no write access: a read-only class list can be listed.
    const bool looking = arguments.command == Arguments::LIST || options.dryRun;
    if (!(looking ? OpenClassListReadOnlyAt(&file, path.c_str()) : OpenClassListAt(&file, path.c_str()))) {
        const DWORD error = GetLastError();
        // Windows' own text for an empty mapping speaks of a changed volume.
        if (error == ERROR_FILE_INVALID)
            Complain(ShownPath(path), "the file is empty, so it is no class list (error " + std::to_string(error) + ")");
        else
            Complain(ShownPath(path), "cannot open and map the class list (" + ErrorText(error) + ")");
        return EXIT_FILE_ERROR;
    }
    const ScanResult scan = Scan(&file, true);
    if (!scan.complete)
        ReportStop(path, file, scan);
    if (!scan.complete && !IsDamage(scan)) {
        CloseClassList(&file);
        return EXIT_FILE_ERROR;
    }

    std::unique_ptr<ClassListing> listing(new (std::nothrow) ClassListing());
    if (!listing) {
        Complain(ShownPath(path), "out of memory");
        CloseClassList(&file);
        return EXIT_FILE_ERROR;
    }
    if (!ListScanned(path, file, listing.get())) {
        CloseClassList(&file);
        return EXIT_FILE_ERROR;
    }

    int rc;
    switch (arguments.command) {
    case Arguments::LIST:
        rc = List(arguments.list, path, scan, *listing);
        break;
    case Arguments::RESTORE:
        rc = Restore(options, path);
        break;
    default:
        if (!scan.complete && !options.force) {
            Complain(ShownPath(path),
                     "refused: the file is damaged; --force changes the classes found before the damage");
            rc = EXIT_DAMAGED_OR_DIFFERENT;
        } else if (arguments.command == Arguments::SET) {
            rc = Set(options, arguments.selection, code, path, *listing);
        } else {
            rc = Reset(options, path, *listing);
        }
        break;
    }
    CloseClassList(&file);
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    int rc = Run(argc, argv);
    // The C library keeps a failed write of standard output to itself, and a
    // script must not take what reached the file for the whole output.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Complain("standard output", std::string("cannot write (") + std::strerror(errno) + ")");
        rc = EXIT_FILE_ERROR;
    }
    return rc;
}
