// Turfwise's window framework: a thin MFC-like layer over raw Win32 (ANSI).
//
// A dialog class declares its map and handlers like this:
//
//   // my_dlg.h
//   class CMyDlg : public CDialog {
//   public:
//       explicit CMyDlg(CWnd* pParent = nullptr) : CDialog(IDD_MY_DIALOG, pParent) {}
//       BOOL OnInitDialog() override;          // call CDialog::OnInitDialog() first: it binds the controls
//       BOOL PreTranslateMessage(MSG* pMsg) override;
//   protected:
//       void DoDataExchange(CDataExchange* pDX) override;   // DDX_Control(pDX, IDC_LIST, m_list);
//       afx_msg void OnSysCommand(UINT nID, LPARAM lParam); // fixed name and signature per ON_WM_* entry
//       afx_msg void OnPaint();
//       afx_msg HCURSOR OnQueryDragIcon();
//       afx_msg void OnTimer(UINT_PTR nIDEvent);
//       afx_msg void OnDestroy();
//       afx_msg void OnClearAll();             // any name for command handlers: void()
//       CCheckListBox m_list;
//       DECLARE_MESSAGE_MAP()
//   };
//
//   // my_dlg.cpp
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)        // chains to CDialog's map
//       ON_WM_SYSCOMMAND()
//       ON_WM_PAINT()
//       ON_WM_QUERYDRAGICON()
//       ON_BN_CLICKED(IDC_CLEAR_ALL, &CMyDlg::OnClearAll)
//       ON_LBN_SELCHANGE(IDC_LIST, &CMyDlg::OnSelChangeList)
//       ON_WM_TIMER()
//       ON_WM_DESTROY()
//   END_MESSAGE_MAP()
//
// Handlers call their base (CDialog::OnSysCommand(nID, lParam)) or Default()
// for default processing. Other handler signatures: int OnCreate(LPCREATESTRUCT),
// void OnSize(UINT nType, int cx, int cy), void OnGetMinMaxInfo(MINMAXINFO*),
// BOOL OnEraseBkgnd(CDC*), ON_MESSAGE(msg, &C::Fn) with LRESULT Fn(WPARAM, LPARAM),
// ON_COMMAND(id, &C::Fn) with void Fn(). A control class takes back its own
// WM_DRAWITEM / WM_MEASUREITEM / notifications with ON_WM_DRAWITEM_REFLECT()
// (void DrawItem(LPDRAWITEMSTRUCT)), ON_WM_MEASUREITEM_REFLECT() and
// ON_CONTROL_REFLECT(code, &C::Fn).
//
// The program's entry point (WinMain) is in the framework: define one static
// object of a CWinApp subclass that overrides InitInstance.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/check_list_box.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/dpi.h"
#include "framework/dword_array.h"
#include "framework/gdi.h"
#include "framework/message_map.h"
#include "framework/tool_tip_ctrl.h"
#include "framework/win_app.h"
#include "framework/wnd.h"
