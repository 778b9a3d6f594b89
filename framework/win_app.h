// CWinApp: the program's one static application object. The framework's
// WinMain calls its InitInstance; FALSE ends the program at once (exit
// processing only), TRUE runs the application's message loop.
#pragma once

#include <windows.h>

#include <string>

#include "framework/message_map.h"

class CWnd;

// The framework's standard help command.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CWinApp : public CCmdTarget {
public:
    // lpszAppName null: the name is the executable's file name without extension.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();

    // Names the company key under which settings would be kept
    // (HKEY_CURRENT_USER\Software\key\application name); nothing is written.
    void SetRegistryKey(LPCSTR lpszRegistryKey);

    // The framework's standard help command.
    afx_msg void OnHelp();

    CWnd* m_pMainWnd = nullptr;  // owns dialogs that are created without a parent
    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    LPCSTR m_pszAppName = nullptr;
    LPCSTR m_pszExeName = nullptr;
    LPCSTR m_pszRegistryKey = nullptr;
    LPCSTR m_pszProfileName = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR, int);
    void SetCurrentHandles(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);

    std::string m_strAppName;
    std::string m_strExeName;
    std::string m_strRegistryKey;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// What the framework's WinMain does; the one application object must exist.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
