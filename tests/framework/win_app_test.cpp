// The application object, the framework's entry point and command routing to
// the application.
#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "tests/framework/dialog_script.h"
#include "tests/framework/test_dialogs.h"

namespace {

constexpr UINT ID_FW_APP_COMMAND = 0x7001;

class CTestApp : public CWinApp {
public:
    int m_nInitInstance = 0;
    int m_nExitInstance = 0;
    int m_nAppCommands = 0;

    BOOL InitInstance() override
    {
        ++m_nInitInstance;
        SetRegistryKey("TurfwiseFrameworkTest");
        return FALSE;
    }
    int ExitInstance() override
    {
        ++m_nExitInstance;
        return 7;
    }

protected:
    void OnAppCommand() { ++m_nAppCommands; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
    ON_COMMAND(ID_FW_APP_COMMAND, &CTestApp::OnAppCommand)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CTestApp theApp;

TEST(WinApp, EntryPointRunsInitInstanceThenExitProcessing)
{
    char szCmdLine[] = "ignored arguments";
    const int nInit = theApp.m_nInitInstance, nExit = theApp.m_nExitInstance;   // a repeated run counts on
    EXPECT_EQ(7, AfxWinMain(::GetModuleHandleA(nullptr), nullptr, szCmdLine, SW_SHOWNORMAL));
    EXPECT_EQ(nInit + 1, theApp.m_nInitInstance);
    EXPECT_EQ(nExit + 1, theApp.m_nExitInstance);
    EXPECT_EQ(&theApp, AfxGetApp());
    // Without a name of its own the application is named after its executable.
    EXPECT_STREQ("framework_tests", theApp.m_pszAppName);
    EXPECT_STREQ("TurfwiseFrameworkTest", theApp.m_pszRegistryKey);
    EXPECT_STREQ("framework_tests", theApp.m_pszProfileName);
    // The key is only named: nothing is written under it.
    HKEY hKey = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TurfwiseFrameworkTest", 0, KEY_READ, &hKey));
}

TEST(WinApp, CommandsNoWindowTakesReachTheApplication)
{
    theApp.m_nAppCommands = 0;
    ScriptedDialog<CDialog> dlg(IDD_FW_BASIC);
    dlg.Then([&] {
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_FW_APP_COMMAND, 0), 0);
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
        // Control notifications are not commands.
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(ID_FW_APP_COMMAND, EN_CHANGE), 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, theApp.m_nAppCommands);
}

}  // namespace
