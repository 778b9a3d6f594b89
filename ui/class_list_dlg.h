// The main dialog: the texture classes of CLASSLIST.BGL with a tick box each,
// a preview of the selected class's texture, the surface type box, the
// commands and the status line.
#pragma once

#include <windows.h>
#include <shellapi.h>  // HDROP

#include <cstdint>

#include "data/backup_restore.h"
#include "data/class_list_backup.h"
#include "data/class_list_edit.h"
#include "data/class_list_file.h"
#include "data/class_listing.h"
#include "framework/afxwin.h"
#include "ui/anchor_dialog.h"
#include "ui/preview_static.h"

#if defined(__GNUC__)
#define TURFWISE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TURFWISE_PRINTF(fmt, args)
#endif

class CClassListDlg : public CAnchorDialog {
public:
    explicit CClassListDlg(CWnd* pParent = nullptr);
    ~CClassListDlg() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    void SetStatus(LPCSTR lpszFormat, ...) TURFWISE_PRINTF(2, 3);
    void ShowMessage(UINT nType, LPCSTR lpszFormat, ...) TURFWISE_PRINTF(3, 4);
    // 1 when the class's line was inserted at nPosition with the record as its
    // item data; 0 with 87 as the last-error code when not even the record
    // can be read. A class whose texture cannot be read is a line with the
    // error in place of its name.
    int AddListEntry(int nPosition, BYTE* pRecord);
    void ShowSelectedTexture();

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnClearAll();
    afx_msg void OnDefault();
    afx_msg void OnSelectAll();
    afx_msg void ShowAllClasses();
    afx_msg void ShowWaterClasses();
    afx_msg void OnUpdate();
    afx_msg void OnQuit();
    afx_msg void OnDblClkClassList();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnDestroy();
    afx_msg void OnDropFiles(HDROP hDropInfo);
    afx_msg void OnInitMenuPopup(HMENU hPopupMenu, UINT nIndex, BOOL bSysMenu);
    afx_msg LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

    CButton m_btnShowWater;
    CButton m_btnShowAll;
    CComboBox m_cbSurfaceType;
    CPreviewStatic m_preview;
    CCheckListBox m_classList;
    int m_bModified;       // Default or Update has written to the file this run
    int m_bShowingAll;     // 1 all classes listed, 0 the water classes only
    UINT_PTR m_nStatusTimer;
    HICON m_hIcon;
    CFont m_listFont;
    CToolTipCtrl m_toolTip;
    char m_szClassListPath[CLASS_LIST_PATH_SIZE];  // the file open, or last tried at start-up
    ClassListing m_listing;    // what the list shows was read from; every edit checks the file against it
    int m_bWithoutBackup;      // the user said Yes to changing the file without a backup...
    uint64_t m_nWithoutBackupDigest;   // ...when it held what the listing with this digest did
    EditHistory m_history;     // Undo and Redo, for the open file as this run changed it

private:
    // The list's own font, for the dialog's DPI.
    void SetListFont(int nDpi);
    // Shared by Show All and Show Water.
    void FillList(BOOL bAll);
    void EnableEditing(BOOL bEnable);
    // An edit through the data layer, the backup question asked when the
    // backup cannot be made. TRUE when something may have been stored, with
    // the outcome in *pResult; FALSE when nothing was, after saying why (the
    // file changed by another program is listed again).
    BOOL Edit(EditRequest request, EditResult* pResult);
    // Says that another program changed the file, lists it again and drops
    // the history, which no longer describes it.
    void ListChangedFile(DWORD dwError);
    void OnUndoOrRedo(bool bRedo);
    // The system menu's Undo and Redo name their steps, greyed when there is none.
    void UpdateHistoryItems();
    BOOL AskToGoOnWithoutBackup(const EditResult& result);
    // After an edit: the file scanned and the list shown again; FALSE, after
    // saying why, when the scan fails.
    BOOL ListAgain();
    // Scans the open class list as ScanClassList does, showing first the report of an
    // unrecognised record that stopped it; the scan's last-error code stays.
    int ScanAndReport();
    // Fills the list from the tables of the last scan, listed first: the
    // lines and the listing the stores check come from the same bytes.
    void ListTable(BYTE* const* records, DWORD count);

    // The list of the file just opened and scanned, chosen, selected and
    // previewed as at start-up.
    void ShowFirstList();
    // Another class list in place of the open one, which stays open when the
    // new one cannot be opened. FALSE then, after saying why.
    BOOL OpenOtherClassList(LPCSTR lpszPath);
    void OnOpenClassList();
    void OnRestoreBackup();
    void TellRestoreRefused(const RestoreDecision& decision, const ClassListBackup& backup);
    // Restore Backup is offered only while something stands under the backup's name.
    void UpdateRestoreItem();
    // A message box owned by the dialog, which takes no input while it is up.
    int AskOrTell(UINT nType, LPCSTR lpszFormat, ...) TURFWISE_PRINTF(3, 4);
};
