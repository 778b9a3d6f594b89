#include "ui/anchor_dialog.h"

BEGIN_MESSAGE_MAP(CAnchorDialog, CDialog)
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_DESTROY()
    ON_WM_CREATE()
END_MESSAGE_MAP()

CAnchorDialog::CAnchorDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : CDialog(nIDTemplate, pParentWnd), m_cxCreate(0), m_cyCreate(0), m_cxClient(0), m_cyClient(0)
{
}

CAnchorDialog::~CAnchorDialog() { m_anchors.RemoveAll(); }

void CAnchorDialog::AddAnchor(UINT nID, UINT nFlags)
{
    const WORD wFlags = LOWORD(nFlags);
    if (wFlags == 0)
        return;
    m_anchors.Add(MAKELONG(LOWORD(nID), wFlags));
}

BOOL CAnchorDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}

int CAnchorDialog::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CDialog::OnCreate(lpCreateStruct) == -1)
        return -1;
    // The outer size, frame and caption included: the measure of the minimum tracking size.
    m_cxCreate = lpCreateStruct->cx;
    m_cyCreate = lpCreateStruct->cy;
    return 0;
}

void CAnchorDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI)
{
    if (m_cxCreate == 0) {
        CDialog::OnGetMinMaxInfo(lpMMI);
        return;
    }
    lpMMI->ptMinTrackSize.x = m_cxCreate;
    lpMMI->ptMinTrackSize.y = m_cyCreate;
}

void CAnchorDialog::OnSize(UINT nType, int cx, int cy)
{
    CDialog::OnSize(nType, cx, cy);
    // Minimising records nothing, so restoring is measured against the size before it.
    if (nType == SIZE_MINIMIZED)
        return;

    const int dx = cx - m_cxClient;
    const int dy = cy - m_cyClient;
    // The first size after creation is only recorded.
    if (m_cxClient != 0) {
        for (INT_PTR i = 0; i < m_anchors.GetSize(); ++i) {
            const DWORD dwEntry = m_anchors[i];
            CWnd* pControl = GetDlgItem(LOWORD(dwEntry));
            if (pControl == nullptr)
                continue;
            const WORD wFlags = HIWORD(dwEntry);
            if (wFlags == 0)
                continue;

            RECT rc;
            pControl->GetWindowRect(&rc);
            ScreenToClient(&rc);
            if (wFlags & ANCHOR_SIZE_X) {
                rc.right += dx;
            } else if (wFlags & ANCHOR_MOVE_X) {
                rc.left += dx;
                rc.right += dx;
            }
            if (wFlags & ANCHOR_SIZE_Y) {
                rc.bottom += dy;
            } else if (wFlags & ANCHOR_MOVE_Y) {
                rc.top += dy;
                rc.bottom += dy;
            }
            pControl->MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
            pControl->InvalidateRect(nullptr, TRUE);
        }
    }
    m_cxClient = cx;
    m_cyClient = cy;
}

void CAnchorDialog::OnDestroy()
{
    // A window created again from this object starts over, with the same anchors.
    m_cxCreate = 0;
    m_cyCreate = 0;
    m_cxClient = 0;
    m_cyClient = 0;
    CDialog::OnDestroy();
}
