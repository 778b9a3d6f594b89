#include "cli/edit.h"

#include <cstdio>

#include "cli/changes.h"
#include "cli/exit_code.h"
#include "cli/report.h"
#include "data/class_list_edit.h"
#include "data/texture_classes.h"

namespace {

// A change is listed once it is on disk, so that no line of it reads as done
// when the backup or the flush stops it.
int RunEdit(const CommonOptions& options, const std::string& path, const ClassListing& listing,
            const SurfaceTypeChanges& changes)
{
    const DWORD changing = CountChanging(changes);
    if (changing == 0) {
        std::printf("Nothing to change.\n");
        return EXIT_DONE;
    }
    if (options.dryRun) {
        PrintChanges(changes);
        std::printf("%s would change; nothing was written (--dry-run).\n", Classes(changing).c_str());
        return EXIT_DONE;
    }
    EditRequest request;
    request.changes = changes;
    request.backUp = !options.noBackup;
    request.flush = true;
    const EditResult result = EditClassList(&g_classListFile, listing, path.c_str(), request);
    const std::string shown = ShownPath(path);
    switch (result.outcome) {
    case EDIT_NO_BACKUP: {
        const std::string backup =
            *result.backupPath ? ShownPath(result.backupPath) : shown + CLASS_LIST_BACKUP_SUFFIX;
        if (result.error == ERROR_FILE_EXISTS)
            Complain(backup, "not a backup of " + shown + ": " + NotABackup(result.backupFound, path, listing.fileSize) +
                                 ". Rename or delete it to start a new backup; nothing was changed. "
                                 "--no-backup changes the file without one");
        else
            Complain(backup, "cannot save the backup copy (" + ErrorText(result.error) +
                                 "); nothing was changed. --no-backup changes the file without one");
        return EXIT_FILE_ERROR;
    }
    case EDIT_FILE_CHANGED:
        Complain(shown, ChangedSinceListed(result.error));
        return EXIT_FILE_ERROR;
    case EDIT_DONE:
    case EDIT_FAILED:
    case EDIT_NOT_FLUSHED:
        break;
    default:
        Complain(shown, "nothing was changed (" + ErrorText(result.error) + ")");
        return EXIT_FILE_ERROR;
    }
    // Said only now: a backup withdrawn with its refused change is no news.
    if (result.backupMade)
        std::printf("Backup saved as %s\n", ShownPath(result.backupPath).c_str());
    if (result.outcome == EDIT_FAILED) {
        Complain(shown, "the system failed a store into the file (" + ErrorText(result.error) + "); " +
                            DescribeDone(result.made) + " before it, the others are as they were");
        return EXIT_FILE_ERROR;
    }
    if (result.outcome == EDIT_NOT_FLUSHED) {
        Complain(shown, "the change may not have reached the disk (" + ErrorText(result.error) + ")");
        return EXIT_FILE_ERROR;
    }
    PrintChanges(result.made);
    std::printf("%s changed.\n", Classes(result.made.size()).c_str());
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
    return RunEdit(options, path, listing, PlanSet(listing, positions, code));
}

int Reset(const CommonOptions& options, const std::string& path, const ClassListing& listing)
{
    return RunEdit(options, path, listing, PlanReset(listing));
}
