#include "cli/restore.h"

#include <cstdio>
#include <memory>

#include "cli/changes.h"
#include "cli/exit_code.h"
#include "cli/open.h"
#include "cli/report.h"
#include "data/backup_restore.h"

int Restore(const CommonOptions& options, const std::string& path)
{
    ClassListFile& file = g_classListFile;
    const auto backup = std::make_unique<ClassListBackup>();
    // The classes as the decision found them: a walk made now, copied out of the view.
    const auto now = std::make_unique<ClassListing>();
    RestoreDecision decision;
    DecideRestore(&file, path.c_str(), options.force, backup.get(), &decision, now.get());
    if (decision.verdict == RESTORE_UNREADABLE) {
        const std::string shown = *backup->path ? ShownPath(backup->path) : ShownPath(path) + CLASS_LIST_BACKUP_SUFFIX;
        Complain(shown, "cannot read the backup (" + ErrorText(decision.error) + ")");
        return EXIT_FILE_ERROR;
    }
    if (decision.verdict == RESTORE_FILE_UNREADABLE) {
        Complain(ShownPath(path), "cannot read the class list (" + ErrorText(decision.error) + "); nothing was changed");
        return EXIT_FILE_ERROR;
    }
    const std::string backupPath = ShownPath(backup->path);
    if (decision.verdict == RESTORE_IS_THE_CLASS_LIST) {
        Complain(backupPath, "refused: it is " + ShownPath(path) + " itself, under another name, not a backup of it; "
                                 "nothing was changed");
        return EXIT_DAMAGED_OR_DIFFERENT;
    }
    if (decision.verdict == RESTORE_OTHER_SIZE) {
        Complain(backupPath, "the backup is " + std::to_string(backup->length) + " bytes and " + ShownPath(path) + " " +
                                 std::to_string(file.fileSize) + ": refused, nothing was changed");
        return EXIT_DAMAGED_OR_DIFFERENT;
    }
    if (decision.damaged) {
        ClassListFile stopped{};
        stopped.fileSize = backup->size;
        stopped.classCount = decision.scanClasses;
        ReportStop(backup->path, stopped,
                   ScanResult{false, decision.scanError, decision.scanOffset, decision.scanPastEndLength,
                              decision.scanOpcode});
    }
    if (decision.verdict == RESTORE_DAMAGED) {
        Complain(backupPath, "refused: the backup is damaged; --force restores it anyway");
        return EXIT_DAMAGED_OR_DIFFERENT;
    }
    const BackupComparison& compared = decision.compared;
    if (decision.verdict == RESTORE_OTHER_BYTES) {
        Complain(backupPath, "refused: " + NotABackup(compared, path, file.fileSize) +
                                 "; a restore would undo those changes too. Nothing was changed; --force puts the "
                                 "backup back whole");
        return EXIT_DAMAGED_OR_DIFFERENT;
    }

    const EditRequest request = RestoreRequest(*now, *backup);
    const auto otherBytes = [&] {
        if (compared.differing != 0)
            std::printf("%lu other bytes differ from the backup.\n", static_cast<unsigned long>(compared.differing));
    };
    if (decision.verdict == RESTORE_ALREADY_MATCHES) {
        otherBytes();
        std::printf("The class list already matches its backup.\n");
        return EXIT_DONE;
    }
    if (options.dryRun) {
        PrintChanges(request.changes);
        otherBytes();
        std::printf("%s would be restored from %s; nothing was written (--dry-run).\n", ShownPath(path).c_str(),
                    backupPath.c_str());
        return EXIT_DONE;
    }
    const EditResult result = EditClassList(&file, *now, path.c_str(), request);
    switch (result.outcome) {
    case EDIT_DONE:
        // Listed only once they are on disk: a refused or failed write leaves no line that reads as done.
        PrintChanges(result.made);
        otherBytes();
        std::printf("Restored %s from %s.\n", ShownPath(path).c_str(), backupPath.c_str());
        return EXIT_DONE;
    case EDIT_FILE_CHANGED:
        Complain(ShownPath(path), ChangedSinceListed(result.error));
        return EXIT_FILE_ERROR;
    case EDIT_NOT_FLUSHED:
        Complain(ShownPath(path), "the restore may not have reached the disk (" + ErrorText(result.error) + ")");
        return EXIT_FILE_ERROR;
    default:
        break;
    }
    Complain(ShownPath(path), "the system failed a store into the file at offset " + std::to_string(result.restored) +
                                  " (" + ErrorText(result.error) + "): the bytes before it are the backup's, the rest "
                                  "as they were; " + DescribeDone(result.made) + " before it");
    return EXIT_FILE_ERROR;
}
