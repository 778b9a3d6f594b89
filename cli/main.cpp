// turfwise-cli: the class list from a terminal or a script. The same shape as
// the dialog: parse, open, scan, act through the data layer, report.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/edit.h"
#include "cli/exit_code.h"
#include "cli/list.h"
#include "cli/open.h"
#include "cli/report.h"
#include "cli/restore.h"
#include "data/class_list_backup.h"
#include "turfwise_version.h"

namespace {

// One value per use, so that `set --class 10 water` leaves TYPE to the word
// after; negative class numbers are values, not options.
CLI::Option* Repeatable(CLI::App* command, const std::string& name, std::vector<std::string>& values,
                        const std::string& help)
{
    return command->add_option(name, values, help)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
}

} // namespace

int main(int argc, char** argv)
{
    CommonOptions options;
    ListOptions listOptions;
    Selection selection;
    std::string type;

    CLI::App app{"Lists and changes the surface types of the texture classes in Combat Flight Simulator's "
                 "CLASSLIST.BGL, as Turfwise does.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " TURFWISE_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    auto* fileOption = app.add_option("--file", options.file, "the class list file to work on");
    app.add_option("--game-folder", options.gameFolder,
                   "the game's folder; its Scenery\\All\\Scenery\\CLASSLIST.BGL is used")
        ->excludes(fileOption);
    app.add_flag("--dry-run", options.dryRun, "show what would change and write nothing");
    app.add_flag("--no-backup", options.noBackup, "change the file without saving its backup copy first");
    app.add_flag("--force", options.force,
                 "change a file whose scan stops early; restore a damaged backup, or one that differs from the "
                 "class list in more than surface types, whole");
    app.footer("Without --file or --game-folder the game's folder comes from its registry entry (under Wine on\n"
               "Linux and macOS: the prefix in $WINEPREFIX, else ~/.wine). Before the first change of a class\n"
               "list its copy is saved beside it as CLASSLIST.BGL" CLASS_LIST_BACKUP_SUFFIX
               "; a copy already there is kept when it\n"
               "differs from the class list only in surface types, and nothing is changed when it does not.\n"
               "Class numbers may be negative: --class -5, --class -5--1.\n"
               "Exit codes: 0 done, 1 usage, 2 a file cannot be located, opened, mapped, read, backed up or\n"
               "written, 3 the class list or its backup is damaged (list prints the classes before the damage)\n"
               "or the backup differs from the class list in more than surface types (refused).");

    auto* list = app.add_subcommand("list", "one line per class, as Turfwise lists them");
    list->add_flag("--water", listOptions.waterOnly, "only the classes whose surface type is Water");
    list->add_flag("--json", listOptions.json, "a JSON array of the classes");

    auto* set = app.add_subcommand("set", "give the selected classes one surface type");
    set->add_option("TYPE", type, "one of: " + SurfaceTypeList())->required();
    Repeatable(set, "--class", selection.classes, "a class number N or a range N-M (repeat for more)");
    Repeatable(set, "--position", selection.positions, "a list position N or a range N-M, the first is 0 (repeat for more)");
    set->add_flag("--water", selection.water, "every class whose surface type is Water");
    set->add_flag("--all", selection.all, "every class");

    auto* reset = app.add_subcommand("reset", "every class to its default surface type, as Default does");
    auto* restore = app.add_subcommand("restore", "put the backup copy (CLASSLIST.BGL" CLASS_LIST_BACKUP_SUFFIX
                                                  ") back over the class list");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? EXIT_DONE : EXIT_USAGE;
    }
    SurfaceType code = 0;
    if (set->parsed() && selection.Empty()) {
        std::fprintf(stderr, "%s: set: choose the classes with --class, --position, --water or --all\n", kProgram);
        return EXIT_USAGE;
    }
    if (set->parsed() && !ParseSurfaceType(type, &code)) {
        Complain(type, "not a surface type; use one of " + SurfaceTypeList() +
                           " (any case, a hyphen for a blank, or the number)");
        return EXIT_USAGE;
    }

    ClassListFile& file = g_classListFile;
    std::string path;
    if (int rc = FindClassList(options, &file, &path))
        return rc;
    if (!OpenClassListAt(&file, path.c_str())) {
        Complain(ShownPath(path), "cannot open and map the class list (" + ErrorText(GetLastError()) + ")");
        return EXIT_FILE_ERROR;
    }
    const ScanResult scan = Scan(&file, true);
    if (!scan.complete)
        ReportStop(path, file, scan);

    int rc;
    if (list->parsed()) {
        rc = List(listOptions, path, scan);
    } else if (restore->parsed()) {
        rc = Restore(options, path);
    } else if (!scan.complete && !options.force) {
        Complain(ShownPath(path), "refused: the file is damaged; --force changes the classes found before the damage");
        rc = EXIT_DAMAGED_OR_DIFFERENT;
    } else if (set->parsed()) {
        rc = Set(options, selection, code, path);
    } else {
        (void)reset;
        rc = Reset(options, path);
    }
    CloseClassList(&file);
    return rc;
}
