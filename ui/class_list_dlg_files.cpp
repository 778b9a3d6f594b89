// The main dialog's commands on files: another class list from the Open
// dialog or a drop, and the backup put back.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "data/backup_restore.h"
#include "data/record_scan.h"
#include "ui/class_list_dlg.h"
#include "ui/resource.h"
#include "ui/shell_dialogs.h"

namespace {

const char kSceneryFolder[] = "\\Scenery\\All\\Scenery\\";
const int kMessageSize = 4 * MAX_PATH;

// The system's words for an error, without the line end it comes with.
void ErrorMeaning(DWORD dwError, char* lpszText, DWORD nSize)
{
    lpszText[0] = '\0';
    if (::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0, lpszText,
                         nSize, nullptr) == 0)
        lpszText[0] = '\0';
    for (size_t n = std::strlen(lpszText); n > 0 && (lpszText[n - 1] == '\r' || lpszText[n - 1] == '\n'); --n)
        lpszText[n - 1] = '\0';
}

// Names the record after the file: its name, and the game folder when the
// file lies where the game keeps its class list, so that the preview finds
// the game's textures.
void NameAfter(ClassListFile* file, LPCSTR lpszPath)
{
    const char* pszName = std::strrchr(lpszPath, '\\');
    pszName = pszName != nullptr ? pszName + 1 : lpszPath;
    ::lstrcpynA(file->fileName, pszName, MAX_PATH);
    const size_t nFolder = size_t(pszName - lpszPath);
    const size_t nScenery = sizeof kSceneryFolder - 1;
    file->gameFolder[0] = '\0';
    if (nFolder >= nScenery && nFolder - nScenery < MAX_PATH &&
        _strnicmp(lpszPath + nFolder - nScenery, kSceneryFolder, nScenery) == 0)
        ::lstrcpynA(file->gameFolder, lpszPath, int(nFolder - nScenery + 1));
}

} // namespace

int CClassListDlg::AskOrTell(UINT nType, LPCSTR lpszFormat, ...)
{
    char szText[kMessageSize];
    va_list args;
    va_start(args, lpszFormat);
    std::vsnprintf(szText, sizeof szText, lpszFormat, args);
    va_end(args);
    return ::MessageBoxA(m_hWnd, szText, "Turfwise", nType);
}

void CClassListDlg::UpdateRestoreItem()
{
    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (hSysMenu == nullptr)
        return;
    char szBackup[BACKUP_PATH_SIZE];
    const BOOL bThere = g_classListFile.view != nullptr &&
                        FormatBackupPath(m_szClassListPath, szBackup, sizeof szBackup) &&
                        ::GetFileAttributesA(szBackup) != INVALID_FILE_ATTRIBUTES;
    ::EnableMenuItem(hSysMenu, IDM_RESTOREBACKUP, MF_BYCOMMAND | (bThere ? MF_ENABLED : MF_GRAYED));
}

void CClassListDlg::OnInitMenuPopup(HMENU hPopupMenu, UINT nIndex, BOOL bSysMenu)
{
    (void)hPopupMenu;
    (void)nIndex;
    // The backup may have come or gone since: another program, or the user in Explorer.
    if (bSysMenu) {
        UpdateRestoreItem();
        UpdateHistoryItems();
    }
    Default();
}

void CClassListDlg::OnOpenClassList()
{
    // The open file's folder, or else where the game keeps its class list.
    char szFolder[CLASS_LIST_PATH_SIZE] = {};
    if (g_classListFile.view != nullptr) {
        ::lstrcpynA(szFolder, m_szClassListPath, sizeof szFolder);
        char* pszName = std::strrchr(szFolder, '\\');
        if (pszName != nullptr)
            *pszName = '\0';
    } else if (g_classListFile.gameFolder[0] != '\0') {
        std::snprintf(szFolder, sizeof szFolder, "%s\\Scenery\\All\\Scenery", g_classListFile.gameFolder);
    }
    char szPath[CLASS_LIST_PATH_SIZE];
    const int nChosen = ChooseClassListFile(m_hWnd, szFolder, szPath, sizeof szPath);
    if (nChosen < 0)
        AskOrTell(MB_OK | MB_ICONERROR, "Could not show the Open dialog (ERROR:%X).", unsigned(::GetLastError()));
    else if (nChosen > 0)
        OpenOtherClassList(szPath);
}

void CClassListDlg::OnDropFiles(HDROP hDropInfo)
{
    char szDropped[MAX_PATH];
    if (!TakeDroppedFile(hDropInfo, szDropped, sizeof szDropped))
        return;
    // A folder is taken for a game folder.
    const DWORD dwAttributes = ::GetFileAttributesA(szDropped);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        char szPath[CLASS_LIST_PATH_SIZE];
        std::snprintf(szPath, sizeof szPath, "%s%sCLASSLIST.BGL", szDropped, kSceneryFolder);
        OpenOtherClassList(szPath);
    } else {
        OpenOtherClassList(szDropped);
    }
}

BOOL CClassListDlg::OpenOtherClassList(LPCSTR lpszPath)
{
    char szPath[CLASS_LIST_PATH_SIZE];
    const DWORD n = ::GetFullPathNameA(lpszPath, sizeof szPath, szPath, nullptr);
    if (n == 0 || n >= sizeof szPath)
        ::lstrcpynA(szPath, lpszPath, sizeof szPath);
    std::unique_ptr<ClassListFile> next(new (std::nothrow) ClassListFile());
    if (!next || !OpenClassListAt(next.get(), szPath)) {
        const DWORD dwError = next ? ::GetLastError() : DWORD(ERROR_NOT_ENOUGH_MEMORY);
        char szMeaning[MAX_PATH];
        ErrorMeaning(dwError, szMeaning, sizeof szMeaning);
        AskOrTell(MB_OK | MB_ICONERROR, "Could not open %s (ERROR:%X). %s", szPath, unsigned(dwError), szMeaning);
        return FALSE;
    }

    // Nothing may refer into the view about to go, not even while a box
    // about the new file is up.
    m_classList.ResetContent();
    m_listing.count = 0;
    CloseClassList(&g_classListFile);
    g_classListFile = *next;
    NameAfter(&g_classListFile, szPath);
    ::lstrcpynA(m_szClassListPath, szPath, sizeof m_szClassListPath);
    // The new file has had no change and no backup from this run yet.
    m_bModified = 0;
    m_bWithoutBackup = 0;
    m_history.Clear();
    UpdateHistoryItems();
    UpdateRestoreItem();
    if (!ScanAndReport())
        ShowMessage(MB_OK, "WARNING:%X  Scanning %s\n", unsigned(::GetLastError()), g_classListFile.fileName);
    ShowFirstList();
    SetStatus("Ready");
    return TRUE;
}

void CClassListDlg::OnRestoreBackup()
{
    if (g_classListFile.view == nullptr)
        return;
    const char* name = g_classListFile.fileName;
    ClassListBackup backup{};
    RestoreDecision decision;
    std::unique_ptr<ClassListing> pDecided(new (std::nothrow) ClassListing());
    if (!pDecided)
        return;
    // Asked again whenever the file or its backup changed while the question was up.
    for (;;) {
        DecideRestore(&g_classListFile, m_szClassListPath, false, &backup, &decision, pDecided.get());
        if (decision.verdict != RESTORE_ALLOWED) {
            TellRestoreRefused(decision, backup);
            break;
        }
        if (AskOrTell(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2,
                      "Restore %s from its backup %s" CLASS_LIST_BACKUP_SUFFIX "?\n\n"
                      "%lu %s back to the surface types they had then.",
                      name, name, static_cast<unsigned long>(decision.changedClasses),
                      decision.changedClasses == 1 ? "class changes" : "classes change") != IDYES)
            break;
        // Decided again on the file as it is now; what is written is what was asked about.
        RestoreDecision now;
        DecideRestore(&g_classListFile, m_szClassListPath, false, &backup, &now, pDecided.get());
        EditResult result;
        if (SameRestore(decision, now))
            result = EditClassList(&g_classListFile, *pDecided, m_szClassListPath, RestoreRequest(*pDecided, backup));
        if (!SameRestore(decision, now) || result.outcome == EDIT_FILE_CHANGED) {
            AskOrTell(MB_OK | MB_ICONWARNING, "%s or its backup changed while the question was up, so nothing was "
                      "written: another program may be writing it.", name);
            continue;
        }
        if (result.outcome != EDIT_DONE) {
            char szMeaning[MAX_PATH];
            ErrorMeaning(result.error, szMeaning, sizeof szMeaning);
            AskOrTell(MB_OK | MB_ICONERROR, "Could not restore %s (ERROR:%X). %s", name, unsigned(result.error),
                      szMeaning);
        }
        m_bModified = 1;
        // The file is the backup now, whatever the steps of this run were.
        m_history.Clear();
        if (ListAgain() && result.outcome == EDIT_DONE)
            SetStatus("Classlist restored from its backup.");
        break;
    }
    UpdateRestoreItem();
}

void CClassListDlg::TellRestoreRefused(const RestoreDecision& decision, const ClassListBackup& backup)
{
    const char* name = g_classListFile.fileName;
    char szMeaning[MAX_PATH];
    switch (decision.verdict) {
    case RESTORE_ALLOWED:
        break;
    case RESTORE_ALREADY_MATCHES:
        AskOrTell(MB_OK | MB_ICONINFORMATION, "%s already matches its backup %s" CLASS_LIST_BACKUP_SUFFIX
                  ": there is nothing to restore.", name, name);
        break;
    case RESTORE_UNREADABLE:
        ErrorMeaning(decision.error, szMeaning, sizeof szMeaning);
        AskOrTell(MB_OK | MB_ICONWARNING, "Could not read the backup %s (ERROR:%X). %s\n\nNothing was changed.",
                  backup.path, unsigned(decision.error), szMeaning);
        break;
    case RESTORE_FILE_UNREADABLE:
        ErrorMeaning(decision.error, szMeaning, sizeof szMeaning);
        AskOrTell(MB_OK | MB_ICONWARNING, "Could not read %s (ERROR:%X). %s\n\nNothing was changed.", name,
                  unsigned(decision.error), szMeaning);
        break;
    case RESTORE_IS_THE_CLASS_LIST:
        AskOrTell(MB_OK | MB_ICONWARNING, "%s" CLASS_LIST_BACKUP_SUFFIX " is %s itself under another name, not a "
                  "copy of it: there is nothing to restore. Nothing was changed.", name, name);
        break;
    case RESTORE_OTHER_SIZE:
        AskOrTell(MB_OK | MB_ICONWARNING, "%s" CLASS_LIST_BACKUP_SUFFIX " is %llu bytes and %s %lu: it is not a "
                  "backup of this class list. Nothing was changed. To put it back all the same, close Turfwise and "
                  "the game and copy it over %s.", name, static_cast<unsigned long long>(backup.length), name,
                  static_cast<unsigned long>(g_classListFile.fileSize), name);
        break;
    case RESTORE_DAMAGED:
        AskOrTell(MB_OK | MB_ICONWARNING, "The backup %s" CLASS_LIST_BACKUP_SUFFIX " is damaged: its records cannot "
                  "be read past offset %lu (ERROR:%X). Nothing was changed; turfwise-cli restore --force puts it "
                  "back whole.", name, static_cast<unsigned long>(decision.scanOffset),
                  unsigned(decision.scanError));
        break;
    case RESTORE_OTHER_BYTES:
        AskOrTell(MB_OK | MB_ICONWARNING, "%s" CLASS_LIST_BACKUP_SUFFIX " differs from %s in %lu bytes besides "
                  "surface types, the first at offset %lu: restoring it would undo those changes too, an add-on's "
                  "say. Nothing was changed; turfwise-cli restore --force puts it back whole.", name, name,
                  static_cast<unsigned long>(decision.compared.differing),
                  static_cast<unsigned long>(decision.compared.firstOffset));
        break;
    }
}
