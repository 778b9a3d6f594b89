// CAnchorDialog: a dialog whose registered controls follow its right and bottom
// edges when it is resized, and which cannot be made smaller than it was created.
// Moved to a screen of another DPI (WM_DPICHANGED), it lays its controls out
// again from where the dialog manager put them, scaled, and gives them its font
// made for that DPI.
#pragma once

#include <vector>

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

    // The DPI the layout is for: the window's when created, then that of the
    // last WM_DPICHANGED.
    int GetLayoutDpi() const { return m_nDpi; }
    // The template's font at the layout DPI, as the controls have it.
    HFONT GetLayoutFont() const { return m_dpiFont.m_hObject != nullptr ? m_dpiFont.m_hObject : GetFont(); }

protected:
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg void OnDestroy();
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    // Takes the DPI from wParam and moves to the suggested rectangle in
    // lParam. Controls with a font of their own are the derived dialog's to
    // update.
    afx_msg LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

    int m_cxCreate;  // outer size from WM_CREATE; 0 until then and after WM_DESTROY
    int m_cyCreate;
    int m_cxClient;  // client size of the last WM_SIZE handled; 0 while none
    int m_cyClient;
    CDWordArray m_anchors;  // id in bits 0-15, flags in bits 16-31

private:
    struct BaseRect {
        HWND hWnd;
        RECT rc;
    };
    // Every control as the dialog manager placed it, for the first client size at the first DPI.
    void SaveBaseLayout();
    void LayOutForDpi(int cx, int cy);
    void SetDialogFontForDpi();

    int m_nBaseDpi = 0;  // the DPI the template was laid out for; 0 while there is no window
    int m_nDpi = 0;
    int m_cxBase = 0;    // the client size of the first WM_SIZE
    int m_cyBase = 0;
    std::vector<BaseRect> m_baseLayout;  // taken at the first DPI change
    bool m_bBaseLayoutSaved = false;
    HFONT m_hTemplateFont = nullptr;  // the dialog manager's, which it deletes
    CFont m_dpiFont;                  // the template's font for m_nDpi, while that is not m_nBaseDpi
};
