// turfwise-cli: the class list from a terminal or a script. The same shape as
// the dialog: parse, open, scan, act through the data layer, report.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "data/byte_order.h"
#include "data/class_list_backup.h"
#include "data/class_list_file.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "turfwise_version.h"

namespace {

enum ExitCode { EXIT_DONE = 0, EXIT_USAGE = 1, EXIT_NO_FILE = 2, EXIT_DAMAGED = 3 };

const char kProgram[] = "turfwise-cli";

struct Options {
    DWORD code = 0;
    std::string file;
    std::string gameFolder;
    bool dryRun = false;
    bool noBackup = false;
    bool force = false;
    bool water = false;
    bool json = false;
    bool all = false;
    std::string type;
    std::vector<std::string> classes;
    std::vector<std::string> positions;
};

// One class whose surface type an edit changes.
struct Change {
    DWORD position;
    int classNumber;
    WORD from;
    WORD to;
};

// Where the scan of a file stopped, for the messages.
struct ScanResult {
    bool complete = true;
    DWORD error = 0;
    DWORD offset = 0;
};

std::string g_scanReport;

void KeepScanReport(const char* text, const char*)
{
    g_scanReport = text;
}

std::string ErrorText(DWORD code)
{
    char text[512] = {};
    std::string meaning = "unknown error";
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof text, nullptr) != 0) {
        meaning = text;
        while (!meaning.empty() && std::isspace(static_cast<unsigned char>(meaning.back())))
            meaning.pop_back();
    }
    return "error " + std::to_string(code) + ": " + meaning;
}

void Complain(const std::string& subject, const std::string& what)
{
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, subject.c_str(), what.c_str());
}

int ClassNumber(const BYTE* record)
{
    return ReadLE16s(record + CLASS_CLASS_NUMBER_OFS);
}

WORD SurfaceTypeOf(const BYTE* record)
{
    return ReadLE16(record + CLASS_SURFACE_TYPE_OFS);
}

// The game's texture names are in its ANSI code page; JSON wants UTF-8.
std::string Latin1ToUtf8(const char* text)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p < 0x80) {
            out += static_cast<char>(*p);
        } else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return out;
}

std::string StopReason(const BYTE* view, const ScanResult& scan)
{
    char text[128];
    switch (scan.error) {
    case ERROR_INVALID_FUNCTION:
        std::snprintf(text, sizeof text, "an unrecognised record (opcode %04X)",
                      static_cast<unsigned>(ReadLE16(view + scan.offset)));
        return text;
    case ERROR_NOT_ENOUGH_MEMORY:
        return "more than " + std::to_string(CLASS_TABLE_SIZE) + " texture classes";
    case ERROR_INVALID_DATA:
        return "a damaged record (it runs past the end of the file or is shorter than its own length field)";
    default:
        return ErrorText(scan.error);
    }
}

// Scans `file`; the report of an unrecognised record is printed once, here.
ScanResult Scan(ClassListFile* file, bool report)
{
    ScanResult scan;
    g_scanReport.clear();
    if (!ScanClassListEx(file, &scan.offset)) {
        scan.complete = false;
        scan.error = GetLastError();
    }
    if (report && !g_scanReport.empty())
        std::fprintf(stderr, "%s: %s\n", kProgram, g_scanReport.c_str());
    return scan;
}

void ReportStop(const std::string& path, const ClassListFile& file, const ScanResult& scan)
{
    char text[512];
    std::snprintf(text, sizeof text, "the scan stopped at offset %lu (0x%lX): %s (error %lu); %lu classes found before it",
                  static_cast<unsigned long>(scan.offset), static_cast<unsigned long>(scan.offset),
                  StopReason(file.view, scan).c_str(), static_cast<unsigned long>(scan.error),
                  static_cast<unsigned long>(file.classCount));
    Complain(path, text);
}

// ---- which file ----------------------------------------------------------------

bool FullPath(const std::string& name, std::string* full)
{
    char buffer[CLASS_LIST_PATH_SIZE];
    DWORD n = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer)
        return false;
    *full = buffer;
    return true;
}

// Fills the record's names and gives the class list's path, or the exit code.
int FindClassList(const Options& options, ClassListFile* file, std::string* path)
{
    if (!options.file.empty()) {
        if (!FullPath(options.file, path)) {
            Complain(options.file, "the path is too long");
            return EXIT_USAGE;
        }
        return EXIT_DONE;
    }
    std::snprintf(file->fileName, sizeof file->fileName, "CLASSLIST.BGL");
    if (!options.gameFolder.empty()) {
        std::string folder;
        if (!FullPath(options.gameFolder, &folder) || folder.size() >= sizeof file->gameFolder) {
            Complain(options.gameFolder, "the path is too long");
            return EXIT_USAGE;
        }
        std::snprintf(file->gameFolder, sizeof file->gameFolder, "%s", folder.c_str());
    } else if (!LocateGameFolder(file)) {
        const DWORD error = GetLastError();
        Complain("cannot locate Combat Flight Simulator",
                 "no folder in the registry entry HKLM\\" GAME_REGISTRY_KEY ", value " GAME_REGISTRY_VALUE " (" +
                     ErrorText(error) + "); name the file with --file or the folder with --game-folder");
        return EXIT_NO_FILE;
    }
    char buffer[CLASS_LIST_PATH_SIZE];
    FormatClassListPath(file, buffer, sizeof buffer);
    *path = buffer;
    return EXIT_DONE;
}

// ---- list ----------------------------------------------------------------------

nlohmann::ordered_json ClassAsJson(const ClassListFile& file, DWORD position, const BYTE* record)
{
    nlohmann::ordered_json entry;
    entry["position"] = position;
    entry["offset"] = static_cast<DWORD>(record - file.view);
    entry["class"] = ClassNumber(record);
    const BYTE* list = LocateTextureList(record);
    entry["entries"] = list ? nlohmann::ordered_json(ReadLE16(list + LIST_ENTRY_COUNT_OFS)) : nlohmann::ordered_json();
    char name[MAX_PATH] = {};
    DWORD length = sizeof name;
    if (GetTextureName(record, name, &length)) {
        entry["texture"] = Latin1ToUtf8(name);
    } else {
        entry["textureError"] = GetLastError();
        entry["texture"] = nullptr;
    }
    entry["surfaceType"] = SurfaceTypeOf(record);
    entry["surfaceTypeName"] = SurfaceTypeName(SurfaceTypeOf(record));
    return entry;
}

int List(const Options& options, const std::string& path)
{
    ClassListFile& file = g_classListFile;
    BYTE* const* records = options.water ? file.waterRecords : file.classRecords;
    const DWORD count = options.water ? file.waterCount : file.classCount;
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (DWORD i = 0; i < count; ++i) {
        // The position in the whole table, which is what the defaults and --position go by.
        DWORD position = i;
        while (options.water && file.classRecords[position] != records[i])
            ++position;
        if (options.json) {
            all.push_back(ClassAsJson(file, position, records[i]));
            continue;
        }
        char line[CLASS_LINE_SIZE];
        if (FormatClassLine(records[i], line)) {
            std::printf("%s\n", line);
        } else {
            char where[96];
            std::snprintf(where, sizeof where, "class at position %lu, offset %lu: its texture list is outside the file",
                          static_cast<unsigned long>(position), static_cast<unsigned long>(records[i] - file.view));
            Complain(path, where);
        }
    }
    if (options.json)
        std::printf("%s\n", all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    return EXIT_DONE;
}

// ---- set and reset -------------------------------------------------------------

bool ParseSurfaceType(const std::string& text, DWORD* code)
{
    std::string wanted = text;
    for (char& c : wanted)
        if (c == '-')
            c = ' ';
    const bool number = !text.empty() && text.size() < 6 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        const std::string name = SurfaceTypeChoices[i].name;
        bool same = name.size() == wanted.size();
        for (size_t k = 0; same && k < name.size(); ++k)
            same = std::tolower(static_cast<unsigned char>(name[k])) == std::tolower(static_cast<unsigned char>(wanted[k]));
        if (same || (number && std::stoul(text) == SurfaceTypeChoices[i].code)) {
            *code = SurfaceTypeChoices[i].code;
            return true;
        }
    }
    return false;
}

std::string SurfaceTypeList()
{
    std::string names;
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        names += i ? ", " : "";
        names += std::string(SurfaceTypeChoices[i].name) + " (" + std::to_string(SurfaceTypeChoices[i].code) + ")";
    }
    return names;
}

// "N" or "N-M", decimal, N <= M.
bool ParseRange(const std::string& text, long* low, long* high)
{
    const size_t dash = text.find('-');
    const std::string first = text.substr(0, dash);
    const std::string second = dash == std::string::npos ? first : text.substr(dash + 1);
    auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(first) || !digits(second))
        return false;
    *low = std::stol(first);
    *high = std::stol(second);
    return *low <= *high;
}

// The positions the selectors pick, in file order; or the exit code.
int Select(const Options& options, std::set<DWORD>* positions)
{
    const ClassListFile& file = g_classListFile;
    for (DWORD i = 0; i < file.classCount; ++i) {
        if (options.all)
            positions->insert(i);
        if (options.water && SurfaceTypeOf(file.classRecords[i]) == SURFACE_WATER)
            positions->insert(i);
    }
    for (const std::string& text : options.classes) {
        long low, high;
        if (!ParseRange(text, &low, &high)) {
            Complain("--class " + text, "expected a class number N or a range N-M");
            return EXIT_USAGE;
        }
        bool found = false;
        for (DWORD i = 0; i < file.classCount; ++i) {
            const int number = ClassNumber(file.classRecords[i]);
            if (number >= low && number <= high) {
                positions->insert(i);
                found = true;
            }
        }
        if (!found) {
            Complain("--class " + text, "no class of the file has that number");
            return EXIT_USAGE;
        }
    }
    for (const std::string& text : options.positions) {
        long low, high;
        if (!ParseRange(text, &low, &high)) {
            Complain("--position " + text, "expected a position N or a range N-M (the first class is 0)");
            return EXIT_USAGE;
        }
        if (static_cast<unsigned long>(high) >= file.classCount) {
            Complain("--position " + text,
                     "the file has " + std::to_string(file.classCount) + " classes, at positions 0 to " +
                         std::to_string(static_cast<long>(file.classCount) - 1));
            return EXIT_USAGE;
        }
        for (long p = low; p <= high; ++p)
            positions->insert(static_cast<DWORD>(p));
    }
    return EXIT_DONE;
}

// The classes whose surface type `edit` would change, found by running it on
// a private copy of the file: the data layer's own stores, nothing written.
template <class Edit>
std::vector<Change> Preview(Edit edit)
{
    ClassListFile& file = g_classListFile;
    std::vector<BYTE> copy(file.view, file.view + file.fileSize);
    std::vector<DWORD> offsets;
    for (DWORD i = 0; i < file.classCount; ++i)
        offsets.push_back(static_cast<DWORD>(file.classRecords[i] - file.view));
    BYTE* const mapped = file.view;
    file.view = copy.data();
    Scan(&file, false);
    edit();
    file.view = mapped;
    Scan(&file, false);

    std::vector<Change> changes;
    for (DWORD i = 0; i < offsets.size(); ++i) {
        const WORD from = SurfaceTypeOf(mapped + offsets[i]);
        const WORD to = SurfaceTypeOf(copy.data() + offsets[i]);
        if (from != to)
            changes.push_back({i, ClassNumber(mapped + offsets[i]), from, to});
    }
    return changes;
}

std::string Classes(size_t count)
{
    return std::to_string(count) + (count == 1 ? " class" : " classes");
}

void PrintChanges(const std::vector<Change>& changes)
{
    for (const Change& c : changes) {
        std::string from = SurfaceTypeName(c.from);   // the name buffer is shared
        std::printf("position %lu, class %d: %s -> %s\n", static_cast<unsigned long>(c.position), c.classNumber,
                    from.c_str(), SurfaceTypeName(c.to));
    }
}

// Makes the backup unless told not to; false when it cannot be had.
bool BackUp(const Options& options, const std::string& path)
{
    if (options.noBackup)
        return true;
    char backup[BACKUP_PATH_SIZE];
    FormatBackupPath(path.c_str(), backup, sizeof backup);
    if (!BackupClassList(&g_classListFile, path.c_str())) {
        Complain(backup, "cannot save the backup copy (" + ErrorText(GetLastError()) +
                             "); nothing was changed. --no-backup changes the file without one");
        return false;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        std::printf("Backup saved as %s\n", backup);
    return true;
}

template <class Edit>
int RunEdit(const Options& options, const std::string& path, Edit edit)
{
    const std::vector<Change> changes = Preview(edit);
    PrintChanges(changes);
    if (changes.empty()) {
        std::printf("Nothing to change.\n");
        return EXIT_DONE;
    }
    if (options.dryRun) {
        std::printf("%s would change; nothing was written (--dry-run).\n", Classes(changes.size()).c_str());
        return EXIT_DONE;
    }
    if (!BackUp(options, path))
        return EXIT_NO_FILE;
    edit();
    Scan(&g_classListFile, false);
    std::printf("%s changed.\n", Classes(changes.size()).c_str());
    return EXIT_DONE;
}

int Set(const Options& options, const std::string& path)
{
    const DWORD code = options.code;
    std::set<DWORD> positions;
    if (int rc = Select(options, &positions))
        return rc;
    return RunEdit(options, path, [&] {
        std::vector<BYTE*> records;
        for (DWORD p : positions)
            records.push_back(g_classListFile.classRecords[p]);
        ApplySurfaceType(code, records.data(), static_cast<DWORD>(records.size()));
    });
}

int Reset(const Options& options, const std::string& path)
{
    return RunEdit(options, path, [] { ResetSurfaceTypes(); });
}

// ---- restore -------------------------------------------------------------------

int Restore(const Options& options, const std::string& path)
{
    ClassListFile& file = g_classListFile;
    char backupPath[BACKUP_PATH_SIZE];
    FormatBackupPath(path.c_str(), backupPath, sizeof backupPath);
    std::unique_ptr<ClassListBackup, void (*)(ClassListBackup*)> backup(new ClassListBackup{nullptr, 0},
                                                                         [](ClassListBackup* b) {
                                                                             FreeClassListBackup(b);
                                                                             delete b;
                                                                         });
    if (!ReadClassListBackup(path.c_str(), backup.get())) {
        Complain(backupPath, "cannot read the backup (" + ErrorText(GetLastError()) + ")");
        return EXIT_NO_FILE;
    }
    if (backup->size != file.fileSize) {
        Complain(backupPath, "the backup is " + std::to_string(backup->size) + " bytes and " + path + " " +
                                 std::to_string(file.fileSize) + ": refused, nothing was changed");
        return EXIT_DAMAGED;
    }
    // The backup scanned on its own, as the class list would be after the restore.
    std::unique_ptr<ClassListFile> copy(new ClassListFile());
    copy->view = backup->bytes;
    copy->fileSize = backup->size;
    const ScanResult scan = Scan(copy.get(), true);
    if (!scan.complete) {
        ReportStop(backupPath, *copy, scan);
        if (!options.force) {
            Complain(backupPath, "refused: the backup is damaged; --force restores it anyway");
            return EXIT_DAMAGED;
        }
    }

    std::vector<Change> changes;
    for (DWORD i = 0; i < copy->classCount; ++i) {
        const DWORD offset = static_cast<DWORD>(copy->classRecords[i] - copy->view);
        const WORD from = SurfaceTypeOf(file.view + offset);
        const WORD to = SurfaceTypeOf(copy->classRecords[i]);
        if (from != to)
            changes.push_back({i, ClassNumber(copy->classRecords[i]), from, to});
    }
    // Bytes other than surface types: a restore puts those back too.
    std::vector<bool> surfaceTypeByte(file.fileSize);
    for (DWORD i = 0; i < copy->classCount; ++i) {
        const DWORD offset = static_cast<DWORD>(copy->classRecords[i] - copy->view) + CLASS_SURFACE_TYPE_OFS;
        surfaceTypeByte[offset] = surfaceTypeByte[offset + 1] = true;
    }
    size_t otherBytes = 0;
    for (DWORD k = 0; k < file.fileSize; ++k)
        otherBytes += !surfaceTypeByte[k] && file.view[k] != backup->bytes[k];
    PrintChanges(changes);
    if (otherBytes != 0)
        std::printf("%lu other bytes differ from the backup.\n", static_cast<unsigned long>(otherBytes));
    if (changes.empty() && otherBytes == 0) {
        std::printf("The class list already matches its backup.\n");
        return EXIT_DONE;
    }
    if (options.dryRun) {
        std::printf("%s would be restored from %s; nothing was written (--dry-run).\n", path.c_str(), backupPath);
        return EXIT_DONE;
    }
    RestoreClassList(&file, backup.get());
    Scan(&file, false);
    std::printf("Restored %s from %s.\n", path.c_str(), backupPath);
    return EXIT_DONE;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
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
    app.add_flag("--force", options.force, "change a file (or restore a backup) whose scan stops early");
    app.footer("Without --file or --game-folder the game's folder comes from its registry entry (under Wine on\n"
               "Linux and macOS: the prefix in $WINEPREFIX, else ~/.wine). Before the first change of a class\n"
               "list its copy is saved beside it as CLASSLIST.BGL" CLASS_LIST_BACKUP_SUFFIX
               "; an existing copy is kept.\n"
               "Exit codes: 0 done, 1 usage, 2 the file cannot be located, opened, mapped or backed up,\n"
               "3 a damaged file (or backup) refused.");

    auto* list = app.add_subcommand("list", "one line per class, as Turfwise lists them");
    list->add_flag("--water", options.water, "only the classes whose surface type is Water");
    list->add_flag("--json", options.json, "a JSON array of the classes");

    auto* set = app.add_subcommand("set", "give the selected classes one surface type");
    set->add_option("TYPE", options.type, "one of: " + SurfaceTypeList())->required();
    set->add_option("--class", options.classes, "class numbers N or N-M (repeatable)");
    set->add_option("--position", options.positions, "list positions N or N-M, the first is 0 (repeatable)");
    set->add_flag("--water", options.water, "every class whose surface type is Water");
    set->add_flag("--all", options.all, "every class");

    app.add_subcommand("reset", "every class to its default surface type, as Default does");
    auto* restore = app.add_subcommand("restore", "put the backup copy (CLASSLIST.BGL" CLASS_LIST_BACKUP_SUFFIX
                                                  ") back over the class list");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? EXIT_DONE : EXIT_USAGE;
    }
    if (set->parsed() && !options.all && !options.water && options.classes.empty() && options.positions.empty()) {
        std::fprintf(stderr, "%s: set: choose the classes with --class, --position, --water or --all\n", kProgram);
        return EXIT_USAGE;
    }
    if (set->parsed() && !ParseSurfaceType(options.type, &options.code)) {
        Complain(options.type, "not a surface type; use one of " + SurfaceTypeList() +
                                   " (any case, a hyphen for a blank, or the number)");
        return EXIT_USAGE;
    }

    SetScanReportHook(KeepScanReport);
    ClassListFile& file = g_classListFile;
    std::string path;
    if (int rc = FindClassList(options, &file, &path))
        return rc;
    if (!OpenClassListAt(&file, path.c_str())) {
        Complain(path, "cannot open and map the class list (" + ErrorText(GetLastError()) + ")");
        return EXIT_NO_FILE;
    }
    const ScanResult scan = Scan(&file, true);
    if (!scan.complete)
        ReportStop(path, file, scan);

    int rc = EXIT_DONE;
    if (list->parsed()) {
        rc = List(options, path);
    } else if (restore->parsed()) {
        rc = Restore(options, path);
    } else if (!scan.complete && !options.force) {
        Complain(path, "refused: the file is damaged; --force changes the classes found before the damage");
        rc = EXIT_DAMAGED;
    } else {
        rc = set->parsed() ? Set(options, path) : Reset(options, path);
    }
    CloseClassList(&file);
    return rc;
}
