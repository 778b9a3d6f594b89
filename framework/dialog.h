// CDialog: a dialog from a template in the program's resources, run modally by
// the framework's own loop so that PreTranslateMessage sees every message.
#pragma once

#include <windows.h>

#include "framework/wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// On the first exchange, attaches the dialog's control nIDC to rControl
// (PreSubclassWindow runs then); later exchanges leave it bound. A missing
// control leaves rControl unbound.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    // pParentWnd null: owned by the application's main window, if it has one.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog, disables its owner and runs the modal loop until
    // EndDialog; returns the end code, or -1 when the dialog cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // The dialog's keyboard handling (IsDialogMessage) for input messages.
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    BOOL OnUnhandledCommand(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    // Only top-level windows hear of new system colours: the controls are told
    // too, so that they redraw and open their themes again.
    afx_msg LRESULT OnSysColorChange(WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    HWND CreateModeless(HWND hWndOwner);
    void RunModalLoop();

    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};
