// The application object, which runs the main dialog and ends with it, and
// the About box that the dialog's system menu opens.
#pragma once

#include "framework/afxwin.h"

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CClassListApp : public CWinApp {
public:
    CClassListApp();
    ~CClassListApp() override;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

class CAboutBox : public CDialog {
public:
    // lpszClassList: the open class list's path, shown in the box; null when
    // none is open. Read when the box opens.
    explicit CAboutBox(LPCSTR lpszClassList = nullptr);
    ~CAboutBox() override;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

    LPCSTR m_lpszClassList;
};
