#include "data/class_list_edit.h"

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "data/class_listing_internal.h"
#include "data/texture_classes.h"
#include "platform/last_error.h"
#include "platform/view_guard.h"

namespace {

SurfaceTypeChange ChangeAt(const ClassListing& listing, DWORD position, SurfaceType to)
{
    const ListedClass& c = listing.classes[position];
    return {position, c.offset, c.classNumber, c.surfaceType, to};
}

enum ChangeState : BYTE { NOT_REACHED, STORED, LEFT_ALONE, ALREADY_SO };

// Everything the edit reads and writes of the view, in one guarded access:
// the check's last read comes directly before the first store, so the window
// another program has is the stores themselves.
struct Pass {
    ClassListFile* file;
    const ClassListing* listing;
    ClassListFile* scratch;       // the check's walk, allocated before
    const EditRequest* request;
    SurfaceType* found;           // per change, what its field held
    ChangeState* state;           // per change
    volatile int holds;           // the file holds the listing (-1 not known yet)
    volatile DWORD done;          // changes handled, or bytes restored
};

void StoreChanges(Pass& pass)
{
    BYTE* const view = pass.file->view;
    const SurfaceTypeChanges& changes = pass.request->changes;
    for (DWORD i = pass.done; i < changes.size();) {
        const SurfaceTypeChange& c = changes[i];
        BYTE* record = view + c.offset;
        const SurfaceType now = SurfaceTypeOf(record);
        pass.found[i] = now;
        if (now == c.to) {
            pass.state[i] = ALREADY_SO;
        } else if (pass.request->onlyWhereStill && now != c.from) {
            pass.state[i] = LEFT_ALONE;
        } else {
            StoreSurfaceType(record, c.to);
            pass.state[i] = STORED;
        }
        // Counted only once it is in the view, whatever the compiler would reorder.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        pass.done = ++i;
    }
}

// In file order and only where the bytes differ: a page the system cannot
// back stops it with everything before it restored and nothing after, and
// pages that need no change are not dirtied. A surface type goes in as a
// pair, so that it is never left half the new one.
void StoreWholeFile(Pass& pass)
{
    BYTE* const view = pass.file->view;
    const BYTE* bytes = pass.request->wholeFile;
    const DWORD size = pass.listing->fileSize;
    SurfaceTypeBytes surfaceTypes(pass.listing->classes, pass.listing->count);
    for (DWORD k = pass.done; k < size;) {
        volatile BYTE* at = view + k;
        if (surfaceTypes.At(k) == 1 && k + 1 < size) {
            if (at[0] != bytes[k] || at[1] != bytes[k + 1]) {
                at[0] = at[0];
                at[1] = at[1];
                at[0] = bytes[k];
                at[1] = bytes[k + 1];
            }
            k += 2;
        } else {
            if (at[0] != bytes[k])
                at[0] = bytes[k];
            ++k;
        }
        std::atomic_signal_fence(std::memory_order_seq_cst);
        pass.done = k;
    }
}

void RunPass(void* context)
{
    Pass& pass = *static_cast<Pass*>(context);
    pass.holds = ViewHoldsListing(pass.file, pass.listing, pass.scratch) ? 1 : 0;
    if (!pass.holds)
        return;
    if (pass.request->wholeFile)
        StoreWholeFile(pass);
    else
        StoreChanges(pass);
}

bool NamesListedClass(const ClassListing& listing, const SurfaceTypeChange& c)
{
    return c.position < listing.count && listing.classes[c.position].offset == c.offset &&
           uint64_t(c.offset) + CLASS_RECORD_SIZE <= listing.fileSize;
}

EditResult Ended(EditResult& result, EditOutcome outcome, DWORD error = 0)
{
    result.outcome = outcome;
    result.error = error;
    return result;
}

} // namespace

SurfaceTypeChanges PlanSet(const ClassListing& listing, const std::vector<DWORD>& positions, SurfaceType code)
{
    SurfaceTypeChanges changes;
    for (DWORD p : positions)
        if (p < listing.count)
            changes.push_back(ChangeAt(listing, p, code));
    return changes;
}

SurfaceTypeChanges PlanReset(const ClassListing& listing)
{
    SurfaceTypeChanges changes;
    for (DWORD p = 0; p < listing.count && p < DEFAULT_SURFACE_TYPE_COUNT; ++p)
        changes.push_back(ChangeAt(listing, p, DefaultSurfaceTypes[p]));
    return changes;
}

SurfaceTypeChanges PlanRestore(const ClassListing& listing, const BYTE* other)
{
    SurfaceTypeChanges changes;
    for (DWORD p = 0; p < listing.count; ++p) {
        const SurfaceType to = SurfaceTypeOf(other + listing.classes[p].offset);
        if (listing.classes[p].surfaceType != to)
            changes.push_back(ChangeAt(listing, p, to));
    }
    return changes;
}

SurfaceTypeChanges Reversed(const SurfaceTypeChanges& changes)
{
    SurfaceTypeChanges reversed = changes;
    for (SurfaceTypeChange& c : reversed)
        std::swap(c.from, c.to);
    return reversed;
}

DWORD CountChanging(const SurfaceTypeChanges& changes)
{
    DWORD n = 0;
    for (const SurfaceTypeChange& c : changes)
        n += c.from != c.to ? 1 : 0;
    return n;
}

EditResult EditClassList(ClassListFile* file, const ClassListing& listing, LPCSTR classListPath,
                         const EditRequest& request)
{
    EditResult result;
    if (!file || !file->view)
        return Ended(result, EDIT_NO_FILE, ERROR_INVALID_HANDLE);
    for (const SurfaceTypeChange& c : request.changes)
        if (!NamesListedClass(listing, c))
            return Ended(result, EDIT_NOT_LISTED, ERROR_INVALID_PARAMETER);
    if (!CheckListedSize(file, &listing)) {
        const DWORD error = GetLastError();
        return Ended(result, error == ERROR_FILE_INVALID ? EDIT_FILE_CHANGED : EDIT_FAILED, error);
    }

    BackupMade made{};
    if (request.backUp && (request.wholeFile || CountChanging(request.changes) > 0) &&
        !BackupListedClassList(file, &listing, classListPath, result.backupPath, &result.backupFound, &made)) {
        const DWORD error = GetLastError();
        return Ended(result, error == ERROR_FILE_INVALID ? EDIT_FILE_CHANGED : EDIT_NO_BACKUP, error);
    }
    result.backupMade = made.made;

    const size_t n = request.changes.size();
    std::unique_ptr<ClassListFile> scratch(new (std::nothrow) ClassListFile());
    std::unique_ptr<SurfaceType[]> found(new (std::nothrow) SurfaceType[n + 1]);
    std::unique_ptr<ChangeState[]> state(new (std::nothrow) ChangeState[n + 1]());
    if (!scratch || !found || !state)
        return Ended(result, EDIT_FAILED, ERROR_NOT_ENOUGH_MEMORY);
    Pass pass{file, &listing, scratch.get(), &request, found.get(), state.get(), -1, 0};
    const int guarded = GuardViewAccess(file->view, file->fileSize, RunPass, &pass);
    const DWORD error = GetLastError();

    if (guarded && pass.holds == 0) {
        // Nothing was changed, so nothing needs the backup made for it: left,
        // a copy from before another program's change would stop every later backup.
        if (made.made && WithdrawBackup(result.backupPath, &made))
            result.backupMade = false;
        return Ended(result, EDIT_FILE_CHANGED, ERROR_FILE_INVALID);
    }
    if (request.wholeFile) {
        result.restored = pass.done;
        // A surface type counts as restored only once both its bytes are.
        for (const SurfaceTypeChange& c : request.changes)
            if (uint64_t(c.offset) + CLASS_SURFACE_TYPE_OFS + 2 <= pass.done)
                result.made.push_back(c);
    } else {
        for (size_t i = 0; i < n; ++i) {
            if (state[i] == STORED)
                result.made.push_back({request.changes[i].position, request.changes[i].offset,
                                       request.changes[i].classNumber, found[i], request.changes[i].to});
            result.leftAlone += state[i] == LEFT_ALONE ? 1 : 0;
        }
    }
    if (!guarded) {
        if (pass.holds != 1 && made.made && WithdrawBackup(result.backupPath, &made))
            result.backupMade = false;   // nothing was stored for it
        if (request.flush)
            FlushClassList(file);   // what was changed is on disk as far as the disk allows
        return Ended(result, EDIT_FAILED, error);
    }
    if (request.flush && !FlushClassList(file))
        return Ended(result, EDIT_NOT_FLUSHED, GetLastError());
    return Ended(result, EDIT_DONE);
}

void EditHistory::Record(const ClassListing& listing, EditStepKind kind, const SurfaceTypeChanges& made)
{
    EditStep step{kind, {}};
    for (const SurfaceTypeChange& c : made)
        if (c.from != c.to)
            step.changes.push_back(c);
    if (step.changes.empty())
        return;
    if (!Describes(listing))
        Clear();
    m_digest = listing.digest;
    m_fileSize = listing.fileSize;
    m_undo.push_back(std::move(step));
    m_redo.clear();
}

const EditStep* EditHistory::Next(bool redo) const
{
    const std::vector<EditStep>& steps = redo ? m_redo : m_undo;
    return steps.empty() ? nullptr : &steps.back();
}

EditRequest EditHistory::Request(bool redo) const
{
    EditRequest request;
    if (const EditStep* step = Next(redo))
        request.changes = redo ? step->changes : Reversed(step->changes);
    request.onlyWhereStill = true;
    return request;
}

void EditHistory::Taken(bool redo, const EditResult& result)
{
    std::vector<EditStep>& from = redo ? m_redo : m_undo;
    std::vector<EditStep>& to = redo ? m_undo : m_redo;
    if (from.empty())
        return;
    // A field left as another program set it is that program's now, in both directions.
    EditStep step{from.back().kind, redo ? result.made : Reversed(result.made)};
    from.pop_back();
    if (!step.changes.empty())
        to.push_back(std::move(step));
}

bool EditHistory::Describes(const ClassListing& listing) const
{
    return (m_undo.empty() && m_redo.empty()) || (m_digest == listing.digest && m_fileSize == listing.fileSize);
}

void EditHistory::Clear()
{
    m_undo.clear();
    m_redo.clear();
}
