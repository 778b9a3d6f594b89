#include "ui/class_list_dlg.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "data/class_list_backup.h"
#include "data/class_list_file.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "ui/app.h"
#include "ui/resource.h"

namespace {

const UINT_PTR kStatusTimerId = 1;
const UINT kStatusTimerPeriod = 15000;
const int kTextSize = MAX_PATH;

const char kInvalidSurfaceType[] = "Choose a surface type first.";

// The list is rebuilt with its redraw suspended: a visible owner-drawn list
// repaints on every insert, which makes a full table take seconds.
class CRedrawSuspended {
public:
    explicit CRedrawSuspended(CWnd& wnd) : m_wnd(wnd) { m_wnd.SendMessage(WM_SETREDRAW, FALSE); }
    ~CRedrawSuspended()
    {
        m_wnd.SendMessage(WM_SETREDRAW, TRUE);
        m_wnd.Invalidate();
    }
    CRedrawSuspended(const CRedrawSuspended&) = delete;
    CRedrawSuspended& operator=(const CRedrawSuspended&) = delete;

private:
    CWnd& m_wnd;
};

} // namespace

BEGIN_MESSAGE_MAP(CClassListDlg, CAnchorDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_CLEAR_ALL, &CClassListDlg::OnClearAll)
    ON_BN_CLICKED(IDC_DEFAULT, &CClassListDlg::OnDefault)
    ON_BN_CLICKED(IDC_SELECT_ALL, &CClassListDlg::OnSelectAll)
    ON_BN_CLICKED(IDC_SHOW_ALL, &CClassListDlg::ShowAllClasses)
    ON_BN_CLICKED(IDC_SHOW_WATER, &CClassListDlg::ShowWaterClasses)
    ON_BN_CLICKED(IDC_UPDATE, &CClassListDlg::OnUpdate)
    ON_LBN_SELCHANGE(IDC_CLASS_LIST, &CClassListDlg::ShowSelectedTexture)
    ON_BN_CLICKED(IDOK, &CClassListDlg::OnQuit)
    ON_LBN_DBLCLK(IDC_CLASS_LIST, &CClassListDlg::OnDblClkClassList)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_WM_DROPFILES()
    ON_WM_INITMENUPOPUP()
    ON_MESSAGE(WM_DPICHANGED, &CClassListDlg::OnDpiChanged)
END_MESSAGE_MAP()

CClassListDlg::CClassListDlg(CWnd* pParent)
    : CAnchorDialog(IDD_CLASSLIST_DIALOG, pParent),
      m_bModified(0),
      m_bShowingAll(0),
      m_nStatusTimer(0),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_szClassListPath(),
      m_listing(),
      m_bWithoutBackup(0),
      m_nWithoutBackupDigest(0)
{
    AddAnchor(IDC_CLASS_LIST, ANCHOR_SIZE_Y);
    AddAnchor(IDC_PREVIEW, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
    AddAnchor(IDC_INSTRUCTIONS, ANCHOR_MOVE_Y | ANCHOR_SIZE_X);
    AddAnchor(IDC_SHOW_ALL, ANCHOR_MOVE_Y);
    AddAnchor(IDC_SHOW_WATER, ANCHOR_MOVE_Y);
    AddAnchor(IDC_SELECT_ALL, ANCHOR_MOVE_Y);
    AddAnchor(IDC_UPDATE, ANCHOR_MOVE_Y | ANCHOR_SIZE_X);
    AddAnchor(IDC_SURFACE_TYPE, ANCHOR_MOVE_Y | ANCHOR_SIZE_X);
    AddAnchor(IDC_CLEAR_ALL, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    AddAnchor(IDC_DEFAULT, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    AddAnchor(IDOK, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
    AddAnchor(IDC_STATUS, ANCHOR_MOVE_Y | ANCHOR_SIZE_X);
}

CClassListDlg::~CClassListDlg() = default;

void CClassListDlg::DoDataExchange(CDataExchange* pDX)
{
    CAnchorDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SHOW_WATER, m_btnShowWater);
    DDX_Control(pDX, IDC_SHOW_ALL, m_btnShowAll);
    DDX_Control(pDX, IDC_SURFACE_TYPE, m_cbSurfaceType);
    DDX_Control(pDX, IDC_PREVIEW, m_preview);
    DDX_Control(pDX, IDC_CLASS_LIST, m_classList);
}

BOOL CClassListDlg::OnInitDialog()
{
    CAnchorDialog::OnInitDialog();

    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (hSysMenu != nullptr) {
        ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(hSysMenu, MF_STRING | MF_GRAYED, IDM_UNDO, "Undo\tCtrl+Z");
        ::AppendMenuA(hSysMenu, MF_STRING | MF_GRAYED, IDM_REDO, "Redo\tCtrl+Y");
        ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(hSysMenu, MF_STRING, IDM_OPENCLASSLIST, "&Open Class List...");
        ::AppendMenuA(hSysMenu, MF_STRING | MF_GRAYED, IDM_RESTOREBACKUP, "Restore &Backup...");
        ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, "&About Turfwise...");
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    SetListFont(GetLayoutDpi());

    m_toolTip.Create(this, 0);
    static const struct {
        int nID;
        LPCSTR lpszText;
    } kTools[] = {
        {IDC_CLASS_LIST, "Texture class list"},
        {IDC_SHOW_ALL, "Display all Texture classes"},
        {IDC_SHOW_WATER, "Display only Texture classes with WATER Surface type"},
        {IDC_SELECT_ALL, "Select all items in the Texture class list"},
        {IDC_SURFACE_TYPE, "Texture class Surface types"},
        {IDC_DEFAULT, "Reset Texture class Surface types to their default values"},
        {IDC_CLEAR_ALL, "Unselect all items in the Texture class list"},
        {IDC_UPDATE, "Update the Classlist file"},
        {IDOK, "Quit Turfwise"},
    };
    for (const auto& tool : kTools)
        m_toolTip.AddTool(GetDlgItem(tool.nID), tool.lpszText);
    m_toolTip.Activate(TRUE);

    std::memset(&g_classListFile, 0, sizeof g_classListFile);
    ::lstrcpynA(g_classListFile.fileName, "CLASSLIST.BGL", MAX_PATH);

    // Each failure is reported and the dialog opens regardless, showing
    // whatever the tables hold.
    if (!LocateGameFolder(&g_classListFile))
        ShowMessage(MB_OK, "ERROR:%X  Cannot locate Combat Flight Simulator\n", unsigned(::GetLastError()));
    FormatClassListPath(&g_classListFile, m_szClassListPath, sizeof m_szClassListPath);
    if (!OpenClassList(&g_classListFile))
        ShowMessage(MB_OK, "ERROR:%X  Processing CLASSLIST.BGL\n", unsigned(::GetLastError()));
    UpdateRestoreItem();
    if (!ScanAndReport())
        ShowMessage(MB_OK, "WARNING:%X  Scanning CLASSLIST.BGL\n", unsigned(::GetLastError()));

    // Inserted at explicit positions, so the box keeps table order despite
    // its sort style.
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        m_cbSurfaceType.InsertString(i, SurfaceTypeChoices[i].name);
        m_cbSurfaceType.SetItemData(i, SurfaceTypeChoices[i].code);
    }
    m_cbSurfaceType.SetCurSel(0);

    ShowFirstList();
    SetStatus("Ready");
    return FALSE;
}

void CClassListDlg::SetListFont(int nDpi)
{
    // 12 pixels at 96 DPI: the list's text keeps its size beside the
    // template's controls, which the dialog manager scales with the screen.
    CFont font;
    if (!font.CreateFont(-DpiScale(12, nDpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN | DEFAULT_PITCH,
                         "Courier New"))
        return;
    m_classList.SetFont(&font, TRUE);
    m_listFont.Attach(font.Detach());
}

LRESULT CClassListDlg::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    const LRESULT lResult = CAnchorDialog::OnDpiChanged(wParam, lParam);
    SetListFont(GetLayoutDpi());
    // The list measured its lines once, at creation.
    m_classList.SetDpi(GetLayoutDpi());
    // The tooltip is a window of its own, which the dialog's font change misses.
    if (m_toolTip.m_hWnd != nullptr)
        m_toolTip.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetLayoutFont()), FALSE);
    return lResult;
}

void CClassListDlg::ShowFirstList()
{
    EnableEditing(FALSE);

    {
        CRedrawSuspended suspended(m_classList);
        if (g_classListFile.waterCount > 0) {
            ListTable(g_classListFile.waterRecords, g_classListFile.waterCount);
            m_btnShowAll.EnableWindow(TRUE);
            m_btnShowWater.EnableWindow(FALSE);
            m_bShowingAll = 0;
        } else {
            ListTable(g_classListFile.classRecords, g_classListFile.classCount);
            m_btnShowAll.EnableWindow(FALSE);
            m_btnShowWater.EnableWindow(TRUE);
            m_bShowingAll = 1;
        }
        m_classList.SetSel(0, TRUE);
    }
    ShowSelectedTexture();
}

void CClassListDlg::ListTable(BYTE* const* records, DWORD count)
{
    m_classList.ResetContent();
    // A listing that cannot be read lists nothing that could be stored into.
    if (!ListClasses(&g_classListFile, &m_listing))
        m_listing.count = 0;
    // Appended, so that a line that cannot be made leaves the others in order.
    for (DWORD i = 0; i < count; ++i)
        AddListEntry(m_classList.GetCount(), records[i]);
}

BOOL CClassListDlg::PreTranslateMessage(MSG* pMsg)
{
    // Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo; in the surface type box's
    // edit field Ctrl+Z (with Shift or not) is the field's own undo.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == 'Z' || pMsg->wParam == 'Y') && ::GetKeyState(VK_CONTROL) < 0 &&
        ::GetKeyState(VK_MENU) >= 0) {
        const bool bShift = ::GetKeyState(VK_SHIFT) < 0;
        const HWND hFocus = ::GetFocus();
        const bool bInField = hFocus != nullptr && ::GetParent(hFocus) == m_cbSurfaceType.m_hWnd;
        if (pMsg->wParam == 'Z' && !bInField) {
            OnUndoOrRedo(bShift);
            return TRUE;
        }
        if (pMsg->wParam == 'Y' && !bShift) {
            OnUndoOrRedo(true);
            return TRUE;
        }
    }

    // Check states are held by the list object, so this scan costs no
    // message per line.
    const int nCount = m_classList.GetCount();
    int nTicked = 0;
    while (nTicked < nCount && m_classList.GetCheck(nTicked) != 1)
        ++nTicked;
    if (nTicked < nCount) {
        EnableEditing(TRUE);
    } else {
        EnableEditing(FALSE);
        m_cbSurfaceType.SetEditSel(-1, 0);
    }

    // The tooltip does not subclass the controls: it learns of the mouse only
    // from here, addressed to the control under the cursor. It acts on mouse
    // messages alone, and finding the window under the cursor is a round trip
    // to the window server, so other messages are not relayed.
    const UINT message = pMsg->message;
    const bool bClientMouse = message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK;
    if (bClientMouse || message == WM_NCMOUSEMOVE) {
        MSG msg = *pMsg;
        POINT pt = msg.pt;
        msg.hwnd =
            reinterpret_cast<HWND>(m_toolTip.SendMessage(TTM_WINDOWFROMPOINT, 0, reinterpret_cast<LPARAM>(&pt)));
        if (bClientMouse)
            ::ScreenToClient(msg.hwnd, &pt);
        msg.lParam = MAKELPARAM(pt.x, pt.y);
        m_toolTip.RelayEvent(&msg);
    }

    return CAnchorDialog::PreTranslateMessage(pMsg);
}

void CClassListDlg::SetStatus(LPCSTR lpszFormat, ...)
{
    char szText[kTextSize];
    va_list args;
    va_start(args, lpszFormat);
    std::vsnprintf(szText, sizeof szText, lpszFormat, args);
    va_end(args);
    SetDlgItemText(IDC_STATUS, szText);
    // Started once and never restarted: a text stays until the next tick of
    // the same rhythm.
    if (m_nStatusTimer == 0)
        m_nStatusTimer = SetTimer(kStatusTimerId, kStatusTimerPeriod);
}

void CClassListDlg::ShowMessage(UINT nType, LPCSTR lpszFormat, ...)
{
    char szText[kTextSize];
    va_list args;
    va_start(args, lpszFormat);
    std::vsnprintf(szText, sizeof szText, lpszFormat, args);
    va_end(args);
    ::MessageBoxA(nullptr, szText, "Turfwise", nType);
}

int CClassListDlg::ScanAndReport()
{
    ScanStop stop;
    const int nResult = ScanClassListEx(&g_classListFile, &stop);
    char szReport[kTextSize];
    if (!nResult && FormatScanReport(&g_classListFile, stop, szReport, sizeof szReport)) {
        ::MessageBoxA(nullptr, szReport, "Turfwise - Debug", MB_OK);
        ::SetLastError(stop.error);
    }
    return nResult;
}

int CClassListDlg::AddListEntry(int nPosition, BYTE* pRecord)
{
    char szLine[CLASS_LINE_SIZE] = {};
    if (pRecord != nullptr)
        FormatClassLineOrError(pRecord, szLine);
    if (szLine[0] == '\0') {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int nIndex = m_classList.InsertString(nPosition, szLine);
    if (nIndex < 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    m_classList.SetItemData(nIndex, reinterpret_cast<DWORD_PTR>(pRecord));
    return 1;
}

void CClassListDlg::ShowSelectedTexture()
{
    // With several lines selected the preview keeps what it shows.
    if (m_classList.GetSelCount() != 1)
        return;
    int nIndex = -1;
    if (m_classList.GetSelItems(1, &nIndex) != 1)
        return;
    const DWORD_PTR data = m_classList.GetItemData(nIndex);
    if (data == 0 || data == static_cast<DWORD_PTR>(LB_ERR)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    const BYTE* pRecord = reinterpret_cast<const BYTE*>(data);

    char szName[MAX_PATH] = {};
    DWORD nLength = sizeof szName;
    if (!GetTextureName(pRecord, szName, &nLength)) {
        SetStatus("ERROR:%x", unsigned(::GetLastError()));
        return;
    }

    const size_t nPathSize = std::strlen(g_classListFile.gameFolder) + std::strlen(szName) + 64;
    std::unique_ptr<char[]> pszPath(new (std::nothrow) char[nPathSize]());
    if (!pszPath) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        SetStatus("ERROR:%x", unsigned(::GetLastError()));
        return;
    }
    std::snprintf(pszPath.get(), nPathSize, "%s\\Texture\\%s", g_classListFile.gameFolder, szName);

    // A missing or broken bitmap keeps the previous picture under the new name.
    m_preview.LoadBitmapFile(pszPath.get());
    m_preview.SetWindowText(szName);
    m_preview.Invalidate(TRUE);
}

void CClassListDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    switch (nID & 0xFFF0) {
    case IDM_ABOUTBOX: {
        CAboutBox dlgAbout(g_classListFile.view != nullptr ? m_szClassListPath : nullptr);
        dlgAbout.DoModal();
        return;
    }
    case IDM_OPENCLASSLIST:
        OnOpenClassList();
        return;
    case IDM_RESTOREBACKUP:
        OnRestoreBackup();
        return;
    case IDM_UNDO:
    case IDM_REDO:
        OnUndoOrRedo((nID & 0xFFF0) == IDM_REDO);
        return;
    }
    CAnchorDialog::OnSysCommand(nID, lParam);
}

void CClassListDlg::OnPaint()
{
    if (!IsIconic()) {
        CAnchorDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CClassListDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}

void CClassListDlg::OnTimer(UINT_PTR nIDEvent)
{
    SetStatus(m_bModified == 1 ? "Ready*" : "Ready");
    CAnchorDialog::OnTimer(nIDEvent);
}

void CClassListDlg::OnDestroy()
{
    CAnchorDialog::OnDestroy();
    CloseClassList(&g_classListFile);
    if (m_nStatusTimer != 0)
        KillTimer(m_nStatusTimer);
}

void CClassListDlg::OnClearAll()
{
    const int nCount = m_classList.GetCount();
    {
        CRedrawSuspended suspended(m_classList);
        for (int i = 0; i < nCount; ++i)
            m_classList.SetCheck(i, 0);
    }
    EnableEditing(FALSE);
    SetStatus("Selections cleared.");
}

void CClassListDlg::OnSelectAll()
{
    const int nCount = m_classList.GetCount();
    {
        CRedrawSuspended suspended(m_classList);
        for (int i = 0; i < nCount; ++i)
            m_classList.SetCheck(i, 1);
    }
    EnableEditing(TRUE);
    SetStatus("All items selected.");
}

void CClassListDlg::ShowAllClasses()
{
    FillList(TRUE);
}

void CClassListDlg::ShowWaterClasses()
{
    FillList(FALSE);
}

void CClassListDlg::FillList(BOOL bAll)
{
    {
        CRedrawSuspended suspended(m_classList);
        if (bAll)
            ListTable(g_classListFile.classRecords, g_classListFile.classCount);
        else
            ListTable(g_classListFile.waterRecords, g_classListFile.waterCount);
        m_classList.SetSel(0, TRUE);
    }
    ShowSelectedTexture();
    m_bShowingAll = bAll ? 1 : 0;
    m_btnShowAll.EnableWindow(!bAll);
    m_btnShowWater.EnableWindow(bAll);
    UpdateHistoryItems();
    SetStatus(bAll ? "All textures listed." : "Textures with WATER surface type listed.");
}

void CClassListDlg::OnUpdate()
{
    DWORD code = 0;
    const int nChoice = m_cbSurfaceType.GetCurSel();
    if (nChoice != CB_ERR) {
        code = static_cast<DWORD>(m_cbSurfaceType.GetItemData(nChoice));
    } else {
        // Text typed into the box counts only when it names a surface type;
        // anything else would store a code the game does not know.
        char szTyped[kTextSize] = {};
        m_cbSurfaceType.GetWindowText(szTyped, kTextSize);
        const SurfaceTypeChoice* choice = FindSurfaceTypeChoice(szTyped);
        if (!choice) {
            SetStatus(kInvalidSurfaceType);
            return;
        }
        code = choice->code;
    }

    std::vector<DWORD> positions;
    const int nCount = m_classList.GetCount();
    for (int i = 0; i < nCount; ++i) {
        const BYTE* pRecord = reinterpret_cast<const BYTE*>(m_classList.GetItemData(i));
        const int nPosition = FindListed(&m_listing, static_cast<DWORD>(pRecord - g_classListFile.view));
        if (m_classList.GetCheck(i) == 1 && nPosition >= 0)
            positions.push_back(DWORD(nPosition));
    }
    EditResult result;
    if (!Edit(EditRequest{PlanSet(m_listing, positions, SurfaceType(code))}, &result))
        return;
    m_history.Record(m_listing, STEP_UPDATE, result.made);
    // The system failed a store: say how far the edit got, then list the
    // file as it is now.
    if (result.outcome == EDIT_FAILED)
        ShowMessage(MB_OK, "ERROR:%X  Updating CLASSLIST.BGL\n%lu of the %lu ticked classes, the first in the list, were "
                    "changed; the others are as they were.\n",
                    unsigned(result.error), static_cast<unsigned long>(result.made.size()),
                    static_cast<unsigned long>(positions.size()));
    if (ListAgain() && result.outcome == EDIT_DONE)
        SetStatus("Classlist updated.");
}

void CClassListDlg::OnDefault()
{
    EditResult result;
    if (!Edit(EditRequest{PlanReset(m_listing)}, &result))
        return;
    m_history.Record(m_listing, STEP_DEFAULT, result.made);
    if (result.outcome == EDIT_FAILED)
        ShowMessage(MB_OK, "ERROR:%X  Resetting CLASSLIST.BGL\n%lu classes, the first in the file, were reset; the "
                    "others are as they were.\n",
                    unsigned(result.error), static_cast<unsigned long>(result.made.size()));
    if (ListAgain() && result.outcome == EDIT_DONE)
        SetStatus("Classlist reset to default surface types.");
}

BOOL CClassListDlg::Edit(EditRequest request, EditResult* pResult)
{
    // The user's leave to go on without a backup holds for the file as it
    // was when it was given: another program's change asks again.
    request.backUp = !(m_bWithoutBackup && m_nWithoutBackupDigest == m_listing.digest);
    *pResult = EditClassList(&g_classListFile, m_listing, m_szClassListPath, request);
    if (pResult->outcome == EDIT_NO_BACKUP) {
        if (!AskToGoOnWithoutBackup(*pResult))
            return FALSE;
        m_bWithoutBackup = 1;
        m_nWithoutBackupDigest = m_listing.digest;
        request.backUp = false;
        *pResult = EditClassList(&g_classListFile, m_listing, m_szClassListPath, request);
    }
    switch (pResult->outcome) {
    case EDIT_FILE_CHANGED:
        ListChangedFile(pResult->error);
        return FALSE;
    case EDIT_DONE:
    case EDIT_FAILED:
    case EDIT_NOT_FLUSHED:
        m_bModified = 1;
        UpdateRestoreItem();
        return TRUE;
    default:
        // No class list is open: what a scan of none says.
        ShowMessage(MB_OK, "ERROR:%X  Scanning CLASSLIST.BGL\n", unsigned(pResult->error));
        return FALSE;
    }
}

void CClassListDlg::ListChangedFile(DWORD dwError)
{
    m_history.Clear();
    UpdateRestoreItem();
    ShowMessage(MB_OK, "ERROR:%X  Another program changed %s since it was listed; nothing was changed.\n",
                unsigned(dwError), g_classListFile.fileName);
    if (!ScanAndReport())
        ShowMessage(MB_OK, "WARNING:%X  Scanning %s\n", unsigned(::GetLastError()), g_classListFile.fileName);
    FillList(m_bShowingAll);
    SetStatus("Classlist listed again: another program changed it.");
}

void CClassListDlg::OnUndoOrRedo(bool bRedo)
{
    const EditStep* pStep = m_history.Next(bRedo);
    if (pStep == nullptr)
        return;
    // Listed again since (Show All, Show Water) after another program's change.
    if (!m_history.Describes(m_listing)) {
        ListChangedFile(ERROR_FILE_INVALID);
        return;
    }
    const char* pszStep = pStep->kind == STEP_DEFAULT ? "Default" : "Update";
    const char* pszDone = bRedo ? "redone" : "undone";
    EditResult result;
    if (!Edit(m_history.Request(bRedo), &result))
        return;
    if (result.outcome == EDIT_FAILED) {
        // Part of the step taken: the history no longer says surely what the file holds.
        m_history.Clear();
        ShowMessage(MB_OK, "ERROR:%X  %s CLASSLIST.BGL\n%lu classes were changed; the others are as they were.\n",
                    unsigned(result.error), bRedo ? "Redoing" : "Undoing",
                    static_cast<unsigned long>(result.made.size()));
    } else {
        m_history.Taken(bRedo, result);
    }
    if (!ListAgain() || result.outcome != EDIT_DONE)
        return;
    if (result.leftAlone == 0)
        SetStatus("%s %s.", pszStep, pszDone);
    else
        SetStatus("%s %s; %lu %s as another program set %s.", pszStep, pszDone,
                  static_cast<unsigned long>(result.leftAlone), result.leftAlone == 1 ? "class left" : "classes left",
                  result.leftAlone == 1 ? "it" : "them");
}

void CClassListDlg::UpdateHistoryItems()
{
    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (hSysMenu == nullptr)
        return;
    for (const bool bRedo : {false, true}) {
        const EditStep* pStep = m_history.Next(bRedo);
        const char* pszStep = pStep == nullptr ? "" : pStep->kind == STEP_DEFAULT ? " Default" : " Update";
        char szItem[64];
        std::snprintf(szItem, sizeof szItem, "%s%s\t%s", bRedo ? "Redo" : "Undo", pszStep,
                      bRedo ? "Ctrl+Y" : "Ctrl+Z");
        const UINT nID = bRedo ? IDM_REDO : IDM_UNDO;
        ::ModifyMenuA(hSysMenu, nID, MF_BYCOMMAND | MF_STRING | (pStep != nullptr ? MF_ENABLED : MF_GRAYED), nID,
                      szItem);
    }
}

BOOL CClassListDlg::ListAgain()
{
    if (!ScanAndReport()) {
        ShowMessage(MB_OK, "ERROR:%X  Scanning CLASSLIST.BGL\n", unsigned(::GetLastError()));
        return FALSE;
    }
    FillList(m_bShowingAll);
    return TRUE;
}

void CClassListDlg::OnQuit()
{
    // The edits are in the file already: nothing to save or ask.
    OnOK();
}

void CClassListDlg::OnDblClkClassList()
{
    int nIndex = -1;
    if (m_classList.GetSelItems(1, &nIndex) != 1)
        return;
    m_classList.SetCheck(nIndex, m_classList.GetCheck(nIndex) == 0 ? 1 : 0);
}

BOOL CClassListDlg::AskToGoOnWithoutBackup(const EditResult& result)
{
    const char* name = g_classListFile.fileName;
    const unsigned error = unsigned(result.error);
    char szText[2 * kTextSize];
    if (error == ERROR_FILE_EXISTS)
        std::snprintf(szText, sizeof szText,
                      "Could not save a backup copy of %s (ERROR:%X): %s" CLASS_LIST_BACKUP_SUFFIX
                      " is there and is not a copy of it. Rename or delete that file to start a new backup.\n\n"
                      "Change the file anyway?",
                      name, error, name);
    else
        std::snprintf(szText, sizeof szText, "Could not save a backup copy of %s (ERROR:%X). Change the file anyway?",
                      name, error);
    // Owned by the dialog, which takes no input while it is up: no second
    // Update can start under it. No is the default: a stray Enter leaves
    // the file as it is.
    return ::MessageBoxA(m_hWnd, szText, "Turfwise", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void CClassListDlg::EnableEditing(BOOL bEnable)
{
    // Update and the surface type box change together, so the box's state
    // stands for both. Called for every message: finding a control by id and
    // changing its state both cost a round trip to the window server, so
    // nothing is done unless the state changes.
    if (!m_cbSurfaceType.IsWindowEnabled() == !bEnable)
        return;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UPDATE), bEnable);
    m_cbSurfaceType.EnableWindow(bEnable);
}
