#include "framework/dialog.h"

#include "framework/win_app.h"

namespace {

// The framework's window procedure, installed as the dialog is created, does
// all the work; the dialog procedure leaves everything to the dialog manager.
INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd != nullptr)
        return;
    HWND hWndControl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (hWndControl != nullptr)
        rControl.SubclassWindow(hWndControl);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
    ON_MESSAGE(WM_SYSCOLORCHANGE, &CDialog::OnSysColorChange)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    HWND hWndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    if (hWndOwner == nullptr) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd != nullptr && pMainWnd != this)
            hWndOwner = pMainWnd->m_hWnd;
    }
    if (hWndOwner != nullptr)
        hWndOwner = ::GetAncestor(hWndOwner, GA_ROOT);

    bool bEnableOwner = false;
    if (hWndOwner != nullptr && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        bEnableOwner = true;
    }

    m_nModalResult = -1;
    m_bContinueModal = true;  // EndDialog in OnInitDialog ends the dialog before the loop
    HWND hWnd = CreateModeless(hWndOwner);
    if (hWnd != nullptr) {
        if (m_bContinueModal)
            RunModalLoop();
        if (m_hWnd != nullptr)
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    m_bContinueModal = false;

    // Enable the owner before the dialog goes, so that it is activated in its place.
    if (bEnableOwner)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWndOwner != nullptr && m_hWnd != nullptr && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndOwner);
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    return hWnd != nullptr ? m_nModalResult : -1;
}

HWND CDialog::CreateModeless(HWND hWndOwner)
{
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), hWndOwner,
                                     AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    if (hWnd != nullptr)
        m_bCreated = true;
    return hWnd;
}

void CDialog::RunModalLoop()
{
    bool bShown = ::IsWindowVisible(m_hWnd) != FALSE;
    MSG msg;
    while (m_bContinueModal) {
        // A template without WS_VISIBLE is shown once the queue first runs dry.
        if (!bShown && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            ::UpdateWindow(m_hWnd);
            bShown = true;
        }
        const BOOL bGot = ::GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0) {
            // Leave WM_QUIT for the loop that will end the program.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            return;
        }
        if (bGot == -1)
            return;
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bContinueModal = false;
    if (m_hWnd != nullptr)
        PostMessage(WM_NULL);  // wakes the modal loop if it is waiting
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    const UINT message = pMsg->message;
    const bool bInput = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                        (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
    return bInput && ::IsDialogMessageA(m_hWnd, pMsg);
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

LRESULT CDialog::OnSysColorChange(WPARAM wParam, LPARAM lParam)
{
    const LRESULT lResult = Default();
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild != nullptr; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ::SendMessageA(hChild, WM_SYSCOLORCHANGE, wParam, lParam);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return lResult;
}

BOOL CDialog::OnUnhandledCommand(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    // Commands (not control notifications) that no window takes go to the application.
    const UINT nCode = HIWORD(wParam);
    const UINT nID = LOWORD(wParam);
    const bool bCommand = nCode == 0 || (nCode == 1 && lParam == 0);
    CWinApp* pApp = AfxGetApp();
    if (!bCommand || nID >= 0xF000 || pApp == nullptr)
        return FALSE;
    return pApp->DispatchMessageMap(WM_COMMAND, wParam, lParam, pResult);
}
