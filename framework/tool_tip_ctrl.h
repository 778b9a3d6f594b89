// CToolTipCtrl: tools known by the control's window handle and fed only through
// RelayEvent; the tooltip never subclasses the controls it describes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/wnd.h"

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // nIDTool 0: the tool is pWnd's window, belonging to pWnd's parent (TTF_IDISHWND);
    // otherwise the tool nIDTool belongs to pWnd and covers lpRectTool.
    BOOL AddTool(CWnd* pWnd, LPCSTR lpszText, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, bActivate); }
    void RelayEvent(LPMSG lpMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg)); }
};
