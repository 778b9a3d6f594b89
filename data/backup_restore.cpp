#include "data/backup_restore.h"

#include <memory>
#include <new>

#include "data/class_listing.h"
#include "data/class_list_edit.h"
#include "data/class_record.h"
#include "data/record_scan.h"
#include "platform/last_error.h"
#include "platform/view_guard.h"

namespace {

// The backup scanned on its own, as the class list would be after the restore.
bool ScanBackup(const ClassListBackup* backup, RestoreDecision* decision)
{
    std::unique_ptr<ClassListFile> copy(new (std::nothrow) ClassListFile());
    if (!copy)
        return FailWith(ERROR_NOT_ENOUGH_MEMORY, false);
    copy->view = backup->bytes;
    copy->fileSize = backup->size;
    ScanStop stop{};
    if (!ScanClassListEx(copy.get(), &stop)) {
        decision->damaged = true;
        decision->scanError = GetLastError();
    } else if (stop.pastEndLength != 0) {
        // A backup cut short inside its last record is no whole copy.
        decision->damaged = true;
        decision->scanError = ERROR_INVALID_DATA;
        decision->scanPastEndLength = stop.pastEndLength;
    }
    decision->scanOffset = stop.offset;
    decision->scanOpcode = stop.opcode;
    decision->scanClasses = copy->classCount;
    return true;
}


int Decided(RestoreDecision* decision, RestoreVerdict verdict)
{
    decision->verdict = verdict;
    return verdict == RESTORE_ALLOWED ? 1 : 0;
}

int Unreadable(RestoreDecision* decision, RestoreVerdict verdict = RESTORE_UNREADABLE)
{
    decision->error = GetLastError();
    return Decided(decision, verdict);
}

} // namespace

int DecideRestore(const ClassListFile* file, LPCSTR classListPath, bool force, ClassListBackup* backup,
                  RestoreDecision* decision, ClassListing* listing)
{
    if (!file || !file->view || !backup || !decision || !listing)
        return FailWith(ERROR_INVALID_PARAMETER);
    *decision = RestoreDecision{};
    if (!ReadClassListBackupOf(file, classListPath, backup))
        return Unreadable(decision);
    if (backup->isTheClassList)
        return Decided(decision, RESTORE_IS_THE_CLASS_LIST);
    if (backup->length != file->fileSize)
        return Decided(decision, RESTORE_OTHER_SIZE);
    decision->backupDigest = DigestOutside(backup->bytes, backup->size, nullptr, 0);
    if (!ScanBackup(backup, decision))
        return Unreadable(decision);
    if (decision->damaged && !force)
        return Decided(decision, RESTORE_DAMAGED);
    // The file as it is now, not as a list shown earlier has it: another
    // program may have rewritten it since.
    std::unique_ptr<ClassListFile> now(new (std::nothrow) ClassListFile());
    if (!now) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return Unreadable(decision);
    }
    now->view = file->view;
    now->fileSize = file->fileSize;
    if ((!ScanClassList(now.get()) && !IsScanDamage(GetLastError())) || !ListClasses(now.get(), listing))
        return Unreadable(decision, RESTORE_FILE_UNREADABLE);
    // Turfwise changes only surface types: any other byte that differs was
    // changed by something else since the backup, and a restore would undo it.
    auto compare = [&] {
        CompareWithListing(file->view, listing, backup->bytes, backup->size, &decision->compared);
        decision->viewDigest = DigestOutside(file->view, file->fileSize, nullptr, 0);
    };
    if (!GuardViewAccess(file->view, file->fileSize, compare))
        return Unreadable(decision, RESTORE_FILE_UNREADABLE);
    decision->changedClasses = static_cast<DWORD>(PlanRestore(*listing, backup->bytes).size());
    if (decision->compared.differing != 0 && !force)
        return Decided(decision, RESTORE_OTHER_BYTES);
    if (decision->changedClasses == 0 && decision->compared.differing == 0)
        return Decided(decision, RESTORE_ALREADY_MATCHES);
    return Decided(decision, RESTORE_ALLOWED);
}

EditRequest RestoreRequest(const ClassListing& listing, const ClassListBackup& backup)
{
    EditRequest request;
    request.changes = PlanRestore(listing, backup.bytes);
    // Put back whole, as the user asked: where the decision found other bytes
    // too (forced), those go back with the surface types.
    request.wholeFile = backup.bytes;
    request.backUp = false;   // the backup is what goes back
    request.flush = true;
    return request;
}

bool SameRestore(const RestoreDecision& asked, const RestoreDecision& now)
{
    return asked.verdict == now.verdict && asked.viewDigest == now.viewDigest &&
           asked.backupDigest == now.backupDigest;
}
