#include "ui/app.h"

#include "ui/class_list_dlg.h"
#include "ui/resource.h"

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

CAboutBox::CAboutBox() : CDialog(IDD_ABOUTBOX, nullptr) {}

CAboutBox::~CAboutBox() = default;

void CAboutBox::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}
