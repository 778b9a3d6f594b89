#include "framework/win_app.h"

#include "framework/wnd.h"

namespace {

CWinApp* g_pApp = nullptr;

}  // namespace

// The program's entry point lives beside CWinApp's constructor, so that linking
// a program's application object brings it in from the static library.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->SetCurrentHandles(hInstance, lpCmdLine, nCmdShow);
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr; }

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    g_pApp = this;
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

void CWinApp::SetCurrentHandles(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    m_hInstance = hInstance;
    m_lpCmdLine = lpCmdLine;
    m_nCmdShow = nCmdShow;

    char szModule[MAX_PATH] = {};
    ::GetModuleFileNameA(hInstance, szModule, MAX_PATH - 1);
    std::string name = szModule;
    const size_t nSlash = name.find_last_of("\\/");
    if (nSlash != std::string::npos)
        name.erase(0, nSlash + 1);
    const size_t nDot = name.rfind('.');
    if (nDot != std::string::npos)
        name.erase(nDot);
    m_strExeName = name;
    m_pszExeName = m_strExeName.c_str();
    if (m_pszAppName == nullptr) {
        m_strAppName = name;
        m_pszAppName = m_strAppName.c_str();
    }
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    ExitInstance();
    return static_cast<int>(msg.wParam);
}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey != nullptr ? lpszRegistryKey : "";
    m_pszRegistryKey = m_strRegistryKey.c_str();
    m_pszProfileName = m_pszAppName;
}

// Turfwise ships no help file, so the standard help command has nothing to open.
void CWinApp::OnHelp() {}
