#include "cli/arguments.h"

#include <getopt.h>

#include "cli/report.h"
#include "data/class_list_backup.h"

namespace {

enum OptionId {
    OPT_HELP = 'h',
    OPT_VERSION = 256,
    OPT_FILE,
    OPT_GAME_FOLDER,
    OPT_DRY_RUN,
    OPT_NO_BACKUP,
    OPT_FORCE,
    OPT_WATER,
    OPT_JSON,
    OPT_ALL,
    OPT_CLASS,
    OPT_POSITION,
};

const option kOptions[] = {
    {"help", no_argument, nullptr, OPT_HELP},
    {"version", no_argument, nullptr, OPT_VERSION},
    {"file", required_argument, nullptr, OPT_FILE},
    {"game-folder", required_argument, nullptr, OPT_GAME_FOLDER},
    {"dry-run", no_argument, nullptr, OPT_DRY_RUN},
    {"no-backup", no_argument, nullptr, OPT_NO_BACKUP},
    {"force", no_argument, nullptr, OPT_FORCE},
    {"water", no_argument, nullptr, OPT_WATER},
    {"json", no_argument, nullptr, OPT_JSON},
    {"all", no_argument, nullptr, OPT_ALL},
    {"class", required_argument, nullptr, OPT_CLASS},
    {"position", required_argument, nullptr, OPT_POSITION},
    {nullptr, 0, nullptr, 0},
};

const struct {
    const char* name;
    Arguments::Command command;
} kCommands[] = {
    {"list", Arguments::LIST},
    {"set", Arguments::SET},
    {"reset", Arguments::RESET},
    {"restore", Arguments::RESTORE},
};

} // namespace

bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error)
{
    Arguments& a = *arguments;
    bool water = false, json = false;
    std::string problem;
    // 0 starts getopt afresh, in glibc and in mingw-w64's C library alike.
    optind = 0;
    opterr = 0;
    for (int id; (id = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
        switch (id) {
        case OPT_HELP: a.help = true; break;
        case OPT_VERSION: a.version = true; break;
        case OPT_FILE: a.common.file = optarg; break;
        case OPT_GAME_FOLDER: a.common.gameFolder = optarg; break;
        case OPT_DRY_RUN: a.common.dryRun = true; break;
        case OPT_NO_BACKUP: a.common.noBackup = true; break;
        case OPT_FORCE: a.common.force = true; break;
        case OPT_WATER: water = true; break;
        case OPT_JSON: json = true; break;
        case OPT_ALL: a.selection.all = true; break;
        // One value each: a TYPE after them stays TYPE, and "-5" is a value.
        case OPT_CLASS: a.selection.classes.push_back(optarg); break;
        case OPT_POSITION: a.selection.positions.push_back(optarg); break;
        case ':':
            if (problem.empty())
                problem = std::string(argv[optind - 1]) + ": needs a value";
            break;
        default:
            // A short option has its letter in optopt; a long one is the word before optind.
            if (problem.empty())
                problem = (optopt > 0 && optopt < 128 ? std::string("-") + char(optopt) : std::string(argv[optind - 1])) +
                          ": not an option of " + kProgram;
            break;
        }
        // An empty path would read as none given and send the change to the registry's game.
        if ((id == OPT_FILE || id == OPT_GAME_FOLDER) && !*optarg && problem.empty())
            problem = std::string(id == OPT_FILE ? "--file" : "--game-folder") + ": the path is empty";
    }
    if (a.help || a.version)
        return true;
    auto fail = [&](const std::string& text) {
        *error = text + " (see --help)";
        return false;
    };
    if (!problem.empty())
        return fail(problem);

    if (optind == argc)
        return fail("a command is needed: list, set, reset or restore");
    const std::string name = argv[optind++];
    for (const auto& c : kCommands)
        if (name == c.name)
            a.command = c.command;
    if (a.command == Arguments::NONE)
        return fail("'" + name + "' is not a command; the commands are list, set, reset and restore");
    if (a.command == Arguments::SET) {
        if (optind == argc)
            return fail("set: TYPE is needed, one of " + SurfaceTypeList());
        a.type = argv[optind++];
    }
    if (optind < argc)
        return fail(name + ": '" + argv[optind] + "' is more than it takes");

    if (!a.common.file.empty() && !a.common.gameFolder.empty())
        return fail("--file and --game-folder: name the file or the game's folder, not both");
    if (json && a.command != Arguments::LIST)
        return fail(name + ": --json is for list only");
    if ((water || a.selection.all || !a.selection.classes.empty() || !a.selection.positions.empty()) &&
        a.command != Arguments::LIST && a.command != Arguments::SET)
        return fail(name + ": --water, --all, --class and --position are for list and set");
    if (a.command == Arguments::LIST) {
        if (a.selection.all || !a.selection.classes.empty() || !a.selection.positions.empty())
            return fail("list: --all, --class and --position are for set");
        a.list.waterOnly = water;
        a.list.json = json;
    } else {
        a.selection.water = water;
    }
    return true;
}

std::string HelpText()
{
    return std::string(
               "Lists and changes the surface types of the texture classes in Combat Flight Simulator's\n"
               "CLASSLIST.BGL, as Turfwise does.\n"
               "\n"
               "Usage: turfwise-cli [OPTIONS] COMMAND [COMMAND OPTIONS]\n"
               "\n"
               "Options:\n"
               "  -h,--help             print this help and exit\n"
               "  --version             print the program's version and exit\n"
               "  --file PATH           the class list file to work on\n"
               "  --game-folder DIR     the game's folder; its Scenery\\All\\Scenery\\CLASSLIST.BGL is used\n"
               "  --dry-run             show what would change and write nothing\n"
               "  --no-backup           change the file without saving its backup copy first\n"
               "  --force               change the classes before the damage in a damaged file; restore a\n"
               "                        damaged backup, or one that differs from the class list in more than\n"
               "                        surface types, whole\n"
               "\n"
               "Subcommands:\n"
               "  list [--water] [--json]\n"
               "                        one line per class, as Turfwise lists them; --water: only the classes\n"
               "                        whose surface type is Water; --json: a JSON array of the classes\n"
               "  set TYPE SELECTOR...  give the selected classes one surface type\n"
               "  reset                 every class to its default surface type, as Default does\n"
               "  restore               put the backup copy (CLASSLIST.BGL" CLASS_LIST_BACKUP_SUFFIX
               ") back over the class list\n"
               "\n"
               "set: TYPE is one of ") +
           SurfaceTypeList() +
           ",\n"
           "in any case, with a hyphen for a blank, or the number. SELECTORs, any number, taken together,\n"
           "before or after TYPE: --class N or N-M (class numbers, which may be negative: --class -5,\n"
           "--class -5--1), --position N or N-M (places in the file, the first is 0), --water (the classes\n"
           "now Water), --all. --class and --position take one value each; repeat them for more. A --class\n"
           "that matches no class, or a --position past the last class, is a usage error and nothing is\n"
           "written; a selection that changes no class (--water in a file without Water) prints \"Nothing\n"
           "to change.\" and exits 0.\n"
           "\n"
           "Without --file or --game-folder the game's folder comes from its registry entry (under Wine on\n"
           "Linux and macOS: the prefix in $WINEPREFIX, else ~/.wine). Before the first change of a class\n"
           "list its copy is saved beside it as CLASSLIST.BGL" CLASS_LIST_BACKUP_SUFFIX
           "; a copy already there is kept when it\n"
           "differs from the class list only in surface types. When it does not, or no copy can be saved,\n"
           "nothing is changed and the exit code is 2.\n"
           "Exit codes: 0 done, 1 usage, 2 a file (standard output too) cannot be located, opened, mapped,\n"
           "read, backed up or written, 3 the class list or its backup is damaged (list prints the classes\n"
           "before the damage) or restore's backup differs from the class list in more than surface types\n"
           "(refused).\n";
}
