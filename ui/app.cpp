#include "ui/app.h"

#include <cstdio>

#include "ui/class_list_dlg.h"
#include "ui/resource.h"
#include "ui/virtual_store.h"

// Constructed before WinMain; the framework's entry point finds it.
static CClassListApp theApp;

BEGIN_MESSAGE_MAP(CClassListApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CClassListApp::CClassListApp() : CWinApp(nullptr) {}

CClassListApp::~CClassListApp() = default;

BOOL CClassListApp::InitInstance()
{
    // Only named: the program keeps no settings of its own.
    SetRegistryKey("Kelvane");

    CClassListDlg dlg;
    m_pMainWnd = &dlg;
    // Every way of ending the dialog, and a failure to create it, ends the
    // program alike.
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // No message loop of our own: the program ends with the dialog.
    return FALSE;
}

BEGIN_MESSAGE_MAP(CAboutBox, CDialog)
END_MESSAGE_MAP()

CAboutBox::CAboutBox(LPCSTR lpszClassList) : CDialog(IDD_ABOUTBOX, nullptr), m_lpszClassList(lpszClassList) {}

CAboutBox::~CAboutBox() = default;

void CAboutBox::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

BOOL CAboutBox::OnInitDialog()
{
    const BOOL bResult = CDialog::OnInitDialog();
    // The copy Windows serves is the one the game reads: name it first.
    char szServed[2 * MAX_PATH + 64];
    char szText[sizeof szServed + 2 * MAX_PATH + 64];
    if (m_lpszClassList == nullptr)
        ::lstrcpynA(szText, "None is open.", sizeof szText);
    else if (ServedCopyPath(m_lpszClassList, szServed, sizeof szServed))
        std::snprintf(szText, sizeof szText, "%s\r\n(Windows' per-user copy of %s)", szServed, m_lpszClassList);
    else
        ::lstrcpynA(szText, m_lpszClassList, sizeof szText);
    SetDlgItemText(IDC_ABOUT_CLASS_LIST, szText);
    return bResult;
}
