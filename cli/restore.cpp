#include "cli/restore.h"

#include <cstdio>
#include <memory>

#include "cli/changes.h"
#include "cli/exit_code.h"
#include "cli/open.h"
#include "cli/report.h"
#include "data/class_list_backup.h"

namespace {

struct BackupFree {
    void operator()(ClassListBackup* backup) const
    {
        FreeClassListBackup(backup);
        delete backup;
    }
};

} // namespace

int Restore(const CommonOptions& options, const std::string& path)
{
    ClassListFile& file = g_classListFile;
    std::unique_ptr<ClassListBackup, BackupFree> backup(new ClassListBackup{});
    if (!ReadClassListBackup(path.c_str(), backup.get())) {
        const DWORD error = GetLastError();
        const std::string shown = *backup->path ? ShownPath(backup->path) : ShownPath(path) + CLASS_LIST_BACKUP_SUFFIX;
        Complain(shown, "cannot read the backup (" + ErrorText(error) + ")");
        return EXIT_FILE_ERROR;
    }
    const std::string backupPath = ShownPath(backup->path);
    if (backup->size != file.fileSize) {
        Complain(backupPath, "the backup is " + std::to_string(backup->size) + " bytes and " + ShownPath(path) + " " +
                                 std::to_string(file.fileSize) + ": refused, nothing was changed");
        return EXIT_DAMAGED_OR_DIFFERENT;
    }
    // The backup scanned on its own, as the class list would be after the restore.
    std::unique_ptr<ClassListFile> copy(new ClassListFile());
    copy->view = backup->bytes;
    copy->fileSize = backup->size;
    const ScanResult scan = Scan(copy.get(), true);
    if (!scan.complete) {
        ReportStop(backup->path, *copy, scan);
        if (!options.force) {
            Complain(backupPath, "refused: the backup is damaged; --force restores it anyway");
            return EXIT_DAMAGED_OR_DIFFERENT;
        }
    }

    // Turfwise changes only surface types: any other byte that differs was
    // changed by something else since the backup, and a restore would undo it.
    BackupComparison compared;
    CompareWithClassList(&file, backup->bytes, backup->size, &compared);
    if (compared.differing != 0 && !options.force) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "refused: %lu bytes besides surface types differ from the class list, the first at offset %lu "
                      "(0x%lX); a restore would undo those changes too. Nothing was changed; --force puts the "
                      "backup back whole",
                      static_cast<unsigned long>(compared.differing), static_cast<unsigned long>(compared.firstOffset),
                      static_cast<unsigned long>(compared.firstOffset));
        Complain(backupPath, text);
        return EXIT_DAMAGED_OR_DIFFERENT;
    }

    const std::vector<Change> changes = DiffSurfaceTypes(file, backup->bytes);
    PrintChanges(changes);
    if (compared.differing != 0)
        std::printf("%lu other bytes differ from the backup.\n", static_cast<unsigned long>(compared.differing));
    if (changes.empty() && compared.differing == 0) {
        std::printf("The class list already matches its backup.\n");
        return EXIT_DONE;
    }
    if (options.dryRun) {
        std::printf("%s would be restored from %s; nothing was written (--dry-run).\n", ShownPath(path).c_str(),
                    backupPath.c_str());
        return EXIT_DONE;
    }
    DWORD restored = 0;
    if (!RestoreClassListEx(&file, backup.get(), &restored)) {
        const DWORD error = GetLastError();
        FlushClassList(&file);   // what was restored is on disk as far as the disk allows
        std::vector<Change> done;
        for (const Change& c : changes)
            if (static_cast<DWORD>(file.classRecords[c.position] - file.view) + CLASS_SURFACE_TYPE_OFS < restored)
                done.push_back(c);
        Complain(ShownPath(path), "the system failed a store into the file at offset " + std::to_string(restored) +
                                      " (" + ErrorText(error) + "): the bytes before it are the backup's, the rest "
                                      "as they were; " + DescribeDone(done) + " before it");
        return EXIT_FILE_ERROR;
    }
    if (!FlushClassList(&file)) {
        Complain(ShownPath(path), "the restore may not have reached the disk (" + ErrorText(GetLastError()) + ")");
        return EXIT_FILE_ERROR;
    }
    std::printf("Restored %s from %s.\n", ShownPath(path).c_str(), backupPath.c_str());
    return EXIT_DONE;
}
