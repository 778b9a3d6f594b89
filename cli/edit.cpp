#include "cli/edit.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "cli/changes.h"
#include "cli/exit_code.h"
#include "cli/report.h"
#include "data/class_list_backup.h"
#include "data/class_listing.h"
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
bool BackUp(const CommonOptions& options, const std::string& path, const ClassListing& listing, char* backup,
            BackupMade* made)
{
    if (options.noBackup)
        return true;
    BackupComparison found;
    if (BackupListedClassList(&g_classListFile, &listing, path.c_str(), backup, &found, made))
        return true;
    const DWORD error = GetLastError();
    const std::string shown = *backup ? ShownPath(backup) : ShownPath(path) + CLASS_LIST_BACKUP_SUFFIX;
    if (error == ERROR_FILE_INVALID)
        Complain(ShownPath(path), ChangedSinceListed(error) + "; no backup was made");
    else if (error == ERROR_FILE_EXISTS)
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
int RunEdit(const CommonOptions& options, const std::string& path, const ClassListing& listing,
            const std::vector<Change>& changes, const Store& store)
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
    char backup[BACKUP_PATH_SIZE] = {};
    BackupMade made{};
    if (!BackUp(options, path, listing, backup, &made))
        return EXIT_FILE_ERROR;
    std::vector<Change> done;
    const int stored = store(&done);
    const DWORD error = GetLastError();
    if (!stored && error == ERROR_FILE_INVALID && done.empty()) {
        // Nothing was changed, so nothing needs the backup, which is of a
        // file that is no longer there.
        if (made.made)
            WithdrawBackup(backup, &made);
        Complain(ShownPath(path), ChangedSinceListed(error));
        return EXIT_FILE_ERROR;
    }
    // Said only now: a backup withdrawn with its refused change is no news.
    if (made.made)
        std::printf("Backup saved as %s\n", ShownPath(backup).c_str());
    if (!stored) {
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

int Set(const CommonOptions& options, const Selection& selection, SurfaceType code, const std::string& path,
        const ClassListing& listing)
{
    std::vector<DWORD> positions;
    SelectionError error;
    if (!SelectPositions(selection, listing.classes, listing.count, &positions, &error)) {
        Complain(error.subject, error.what);
        return EXIT_USAGE;
    }
    const std::vector<Change> changes = PlanSet(listing, positions, code);
    return RunEdit(options, path, listing, changes, [&](std::vector<Change>* done) {
        std::vector<BYTE*> records;
        for (DWORD p : positions)
            records.push_back(g_classListFile.classRecords[p]);
        DWORD stored = 0;
        if (ApplyListedSurfaceType(&listing, code, records.data(), static_cast<DWORD>(records.size()), &stored))
            return 1;
        for (const Change& c : changes)
            if (std::find(positions.begin(), positions.begin() + stored, c.position) != positions.begin() + stored)
                done->push_back(c);
        return 0;
    });
}

int Reset(const CommonOptions& options, const std::string& path, const ClassListing& listing)
{
    const std::vector<Change> changes = PlanReset(listing);
    return RunEdit(options, path, listing, changes, [&](std::vector<Change>* done) {
        DWORD stored = 0;
        if (ResetListedSurfaceTypes(&listing, &stored))
            return 1;
        for (const Change& c : changes)
            if (c.position < stored)
                done->push_back(c);
        return 0;
    });
}
