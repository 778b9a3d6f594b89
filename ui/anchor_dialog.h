// CAnchorDialog: a dialog whose registered controls follow its right and bottom
// edges when it is resized, and which cannot be made smaller than it was created.
#pragma once

#include "framework/afxwin.h"

// Anchor flags, the high 16 bits of an anchor entry.
#define ANCHOR_MOVE_X 0x0001  // moves with the right edge
#define ANCHOR_MOVE_Y 0x0002  // moves with the bottom edge
#define ANCHOR_SIZE_X 0x0004  // width follows the right edge (wins over ANCHOR_MOVE_X)
#define ANCHOR_SIZE_Y 0x0008  // height follows the bottom edge (wins over ANCHOR_MOVE_Y)

class CAnchorDialog : public CDialog {
public:
    CAnchorDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CAnchorDialog() override;

    // Registers control nID (low 16 bits) with the flags (low 16 bits; 0 adds
    // nothing). May be called before the window exists.
    void AddAnchor(UINT nID, UINT nFlags);

    BOOL OnInitDialog() override;

protected:
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg void OnDestroy();
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);

    DECLARE_MESSAGE_MAP()

    int m_cxCreate;  // outer size from WM_CREATE; 0 until then and after WM_DESTROY
    int m_cyCreate;
    int m_cxClient;  // client size of the last WM_SIZE handled; 0 while none
    int m_cyClient;
    CDWordArray m_anchors;  // id in bits 0-15, flags in bits 16-31
};
