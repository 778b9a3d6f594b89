#include "ui/anchor_dialog.h"

#include <cstdlib>

namespace {

void ApplyAnchor(WORD wFlags, int dx, int dy, RECT& rc)
{
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
}

int Scale(int n, int nDpi, int nFromDpi) { return ::MulDiv(n, nDpi, nFromDpi); }

}  // namespace

BEGIN_MESSAGE_MAP(CAnchorDialog, CDialog)
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_DESTROY()
    ON_WM_CREATE()
    ON_MESSAGE(WM_DPICHANGED, &CAnchorDialog::OnDpiChanged)
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
    // The dialog manager of Windows 10 would scale the dialog on a DPI change too.
    DisableDialogManagerDpiScaling(m_hWnd);
    return TRUE;
}

int CAnchorDialog::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (CDialog::OnCreate(lpCreateStruct) == -1)
        return -1;
    // The outer size, frame and caption included: the measure of the minimum tracking size.
    m_cxCreate = lpCreateStruct->cx;
    m_cyCreate = lpCreateStruct->cy;
    m_nBaseDpi = m_nDpi = GetWindowDpi(m_hWnd);
    m_dpiFont.DeleteObject();
    return 0;
}

void CAnchorDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI)
{
    if (m_cxCreate == 0) {
        CDialog::OnGetMinMaxInfo(lpMMI);
        return;
    }
    if (m_nDpi == m_nBaseDpi || m_cxBase == 0) {
        lpMMI->ptMinTrackSize.x = m_cxCreate;
        lpMMI->ptMinTrackSize.y = m_cyCreate;
        return;
    }
    // The client area scales; the frame is the system's at the window's DPI.
    RECT rc = {0, 0, Scale(m_cxBase, m_nDpi, m_nBaseDpi), Scale(m_cyBase, m_nDpi, m_nBaseDpi)};
    AdjustWindowRectForDpi(m_hWnd, &rc);
    lpMMI->ptMinTrackSize.x = rc.right - rc.left;
    lpMMI->ptMinTrackSize.y = rc.bottom - rc.top;
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
            ApplyAnchor(wFlags, dx, dy, rc);
            pControl->MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
            pControl->InvalidateRect(nullptr, TRUE);
        }
    } else if (m_cxBase == 0) {
        m_cxBase = cx;
        m_cyBase = cy;
    }
    m_cxClient = cx;
    m_cyClient = cy;
}

void CAnchorDialog::SaveBaseLayout()
{
    // Where each control would be at the first client size: the anchors
    // have moved it by the change since.
    const int dx = m_cxBase - m_cxClient;
    const int dy = m_cyBase - m_cyClient;
    m_baseLayout.clear();
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild != nullptr; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        BaseRect base = {hChild, {}};
        ::GetWindowRect(hChild, &base.rc);
        ScreenToClient(&base.rc);
        for (INT_PTR i = 0; i < m_anchors.GetSize(); ++i) {
            const DWORD dwEntry = m_anchors[i];
            if (::GetDlgItem(m_hWnd, LOWORD(dwEntry)) == hChild)
                ApplyAnchor(HIWORD(dwEntry), dx, dy, base.rc);
        }
        m_baseLayout.push_back(base);
    }
    m_hTemplateFont = GetFont();
    m_bBaseLayoutSaved = true;
}

void CAnchorDialog::LayOutForDpi(int cx, int cy)
{
    const int dx = cx - Scale(m_cxBase, m_nDpi, m_nBaseDpi);
    const int dy = cy - Scale(m_cyBase, m_nDpi, m_nBaseDpi);
    for (const BaseRect& base : m_baseLayout) {
        if (!::IsWindow(base.hWnd) || ::GetParent(base.hWnd) != m_hWnd)
            continue;
        // Edge by edge, so that each lands within a pixel of where the dialog
        // manager would put it at this DPI, and back at the first DPI exactly there.
        RECT rc = {Scale(base.rc.left, m_nDpi, m_nBaseDpi), Scale(base.rc.top, m_nDpi, m_nBaseDpi),
                   Scale(base.rc.right, m_nDpi, m_nBaseDpi), Scale(base.rc.bottom, m_nDpi, m_nBaseDpi)};
        for (INT_PTR i = 0; i < m_anchors.GetSize(); ++i) {
            const DWORD dwEntry = m_anchors[i];
            if (::GetDlgItem(m_hWnd, LOWORD(dwEntry)) == base.hWnd)
                ApplyAnchor(HIWORD(dwEntry), dx, dy, rc);
        }
        ::MoveWindow(base.hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
    }
}

void CAnchorDialog::SetDialogFontForDpi()
{
    const HFONT hOld = m_dpiFont.m_hObject != nullptr ? m_dpiFont.m_hObject : m_hTemplateFont;
    CFont font;
    if (m_nDpi != m_nBaseDpi && m_hTemplateFont != nullptr) {
        LOGFONTA lf = {};
        if (::GetObjectA(m_hTemplateFont, sizeof lf, &lf) == 0)
            return;
        // As the dialog manager makes it: the template's point size at the new DPI.
        const int nPoints = ::MulDiv(std::abs(lf.lfHeight), 72, m_nBaseDpi);
        lf.lfHeight = -::MulDiv(nPoints, m_nDpi, 72);
        lf.lfWidth = 0;
        if (!font.Attach(::CreateFontIndirectA(&lf)))
            return;
    }
    const HFONT hNew = font.m_hObject != nullptr ? font.m_hObject : m_hTemplateFont;
    if (hNew == nullptr || hNew == hOld)
        return;
    for (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD); hChild != nullptr; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        if (reinterpret_cast<HFONT>(::SendMessageA(hChild, WM_GETFONT, 0, 0)) == hOld)
            ::SendMessageA(hChild, WM_SETFONT, reinterpret_cast<WPARAM>(hNew), FALSE);
    // The dialog's own font stays the template's: the dialog manager deletes
    // whatever font the dialog holds when it goes.
    if (font.m_hObject != nullptr)
        m_dpiFont.Attach(font.Detach());
    else
        m_dpiFont.DeleteObject();
}

LRESULT CAnchorDialog::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    const int nDpi = HIWORD(wParam);
    const RECT* prcSuggested = reinterpret_cast<const RECT*>(lParam);
    if (nDpi <= 0 || m_nBaseDpi == 0 || m_cxBase == 0)
        return 0;
    if (!m_bBaseLayoutSaved)
        SaveBaseLayout();
    const int nOldDpi = m_nDpi;
    m_nDpi = nDpi;
    SetDialogFontForDpi();

    // Unrecorded, the size that comes with the move moves no control: the
    // layout below places them all.
    const int cxBefore = m_cxClient;
    const int cyBefore = m_cyClient;
    m_cxClient = 0;
    m_cyClient = 0;
    RECT rcClient = {0, 0, Scale(cxBefore, nDpi, nOldDpi), Scale(cyBefore, nDpi, nOldDpi)};
    if (!IsIconic()) {
        if (prcSuggested != nullptr)
            ::SetWindowPos(m_hWnd, nullptr, prcSuggested->left, prcSuggested->top,
                           prcSuggested->right - prcSuggested->left, prcSuggested->bottom - prcSuggested->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(&rcClient);
    } else if (prcSuggested != nullptr) {
        // A minimised window keeps its restored place apart: the suggestion is
        // for that one, and the client area is the suggestion less the frame,
        // not the last one scaled again, which would drift with every move.
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        if (::GetWindowPlacement(m_hWnd, &wp) &&
            ::GetMonitorInfoA(::MonitorFromRect(prcSuggested, MONITOR_DEFAULTTONEAREST), &mi)) {
            // The placement is in work area coordinates.
            wp.rcNormalPosition = *prcSuggested;
            ::OffsetRect(&wp.rcNormalPosition, mi.rcMonitor.left - mi.rcWork.left, mi.rcMonitor.top - mi.rcWork.top);
            ::SetWindowPlacement(m_hWnd, &wp);
        }
        RECT rcFrame = {0, 0, 0, 0};
        AdjustWindowRectForDpi(m_hWnd, &rcFrame);
        rcClient.right = prcSuggested->right - prcSuggested->left - (rcFrame.right - rcFrame.left);
        rcClient.bottom = prcSuggested->bottom - prcSuggested->top - (rcFrame.bottom - rcFrame.top);
    }
    LayOutForDpi(rcClient.right, rcClient.bottom);
    m_cxClient = rcClient.right;
    m_cyClient = rcClient.bottom;
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    return 0;
}

void CAnchorDialog::OnDestroy()
{
    // A window created again from this object starts over, with the same anchors.
    m_cxCreate = 0;
    m_cyCreate = 0;
    m_cxClient = 0;
    m_cyClient = 0;
    m_nBaseDpi = 0;
    m_nDpi = 0;
    m_cxBase = 0;
    m_cyBase = 0;
    m_baseLayout.clear();
    m_bBaseLayoutSaved = false;
    m_hTemplateFont = nullptr;
    CDialog::OnDestroy();
}
