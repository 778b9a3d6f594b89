#include "cli/edit.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "cli/changes.h"
#include "cli/exit_code.h"
#include "cli/report.h"
#include "data/class_list_backup.h"
#include "data/texture_classes.h"

namespace {

std::string NotABackup(const BackupComparison& found, const std::string& path)
{
    char text[160];
    switch (found.mismatch) {
    case BACKUP_OTHER_SIZE:
        std::snprintf(text, sizeof text, "it is %llu bytes and the class list %lu",
                      static_cast<unsigned long long>(found.sizeHigh) << 32 | found.size,
                      static_cast<unsigned long>(g_classListFile.fileSize));
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

// Makes the backup unless told not to; false when it cannot be had.
bool BackUp(const CommonOptions& options, const std::string& path)
{
    if (options.noBackup)
        return true;
    char backup[BACKUP_PATH_SIZE] = {};
    BackupComparison found;
    if (BackupClassList(&g_classListFile, path.c_str(), backup, &found)) {
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            std::printf("Backup saved as %s\n", ShownPath(backup).c_str());
        return true;
    }
    const DWORD error = GetLastError();
    const std::string shown = *backup ? ShownPath(backup) : ShownPath(path) + CLASS_LIST_BACKUP_SUFFIX;
    if (error == ERROR_FILE_EXISTS)
        Complain(shown, "not a backup of " + ShownPath(path) + ": " + NotABackup(found, path) +
                            ". Rename or delete it to start a new backup; nothing was changed. "
                            "--no-backup changes the file without one");
    else
        Complain(shown, "cannot save the backup copy (" + ErrorText(error) +
                            "); nothing was changed. --no-backup changes the file without one");
    return false;
}

// Stores the change: 1, or 0 with the last-error code when the system failed
// a store, and in *done the changes made before it.
typedef std::function<int(std::vector<Change>* done)> Store;

// A change is listed once it is on disk, so that no line of it reads as done
// when the backup or the flush stops it.
int RunEdit(const CommonOptions& options, const std::string& path, const std::vector<Change>& changes,
            const Store& store)
{
    if (changes.empty()) {
        std::printf("Nothing to change.\n");
        return EXIT_DONE;
    }
    if (options.dryRun) {
        PrintChanges(changes);
        std::printf("%s would change; nothing was written (--dry-run).\n", Classes(changes.size()).c_str());
        return EXIT_DONE;
    }
    if (!BackUp(options, path))
        return EXIT_FILE_ERROR;
    std::vector<Change> done;
    if (!store(&done)) {
        const DWORD error = GetLastError();
        FlushClassList(&g_classListFile);   // what was changed is on disk as far as the disk allows
        Complain(ShownPath(path), "the system failed a store into the file (" + ErrorText(error) + "); " +
                                      DescribeDone(done) + " before it, the others are as they were");
        return EXIT_FILE_ERROR;
    }
    if (!FlushClassList(&g_classListFile)) {
        Complain(ShownPath(path), "the change may not have reached the disk (" + ErrorText(GetLastError()) + ")");
        return EXIT_FILE_ERROR;
    }
    PrintChanges(changes);
    std::printf("%s changed.\n", Classes(changes.size()).c_str());
    return EXIT_DONE;
}

} // namespace

int Set(const CommonOptions& options, const Selection& selection, SurfaceType code, const std::string& path)
{
    const ClassListFile& file = g_classListFile;
    std::vector<DWORD> positions;
    SelectionError error;
    if (!SelectPositions(selection, file.classRecords, file.classCount, &positions, &error)) {
        Complain(error.subject, error.what);
        return EXIT_USAGE;
    }
    const std::vector<Change> changes = PlanSet(file, positions, code);
    return RunEdit(options, path, changes, [&](std::vector<Change>* done) {
        std::vector<BYTE*> records;
        for (DWORD p : positions)
            records.push_back(g_classListFile.classRecords[p]);
        DWORD stored = 0;
        if (ApplySurfaceTypeEx(code, records.data(), static_cast<DWORD>(records.size()), &stored))
            return 1;
        for (const Change& c : changes)
            if (std::find(positions.begin(), positions.begin() + stored, c.position) != positions.begin() + stored)
                done->push_back(c);
        return 0;
    });
}

int Reset(const CommonOptions& options, const std::string& path)
{
    const std::vector<Change> changes = PlanReset(g_classListFile);
    return RunEdit(options, path, changes, [&](std::vector<Change>* done) {
        DWORD stored = 0;
        if (ResetSurfaceTypesEx(&stored))
            return 1;
        for (const Change& c : changes)
            if (c.position < stored)
                done->push_back(c);
        return 0;
    });
}
