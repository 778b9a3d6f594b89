#include "framework/check_list_box.h"

#include <vsstyle.h>

#include <algorithm>
#include <string>

#include "framework/dpi.h"

namespace {

// In pixels at 96 DPI; the list scales them to the screen's DPI.
const int kCheckSize = 13;                   // the system's check box glyph
const int kCheckAreaWidth = kCheckSize + 2;  // the check box and its margin, before the text
const int kInset = 1;                        // the box from the line's edge, the text from the box's cell

}  // namespace

BEGIN_MESSAGE_MAP(CCheckListBox, CListBox)
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_KEYDOWN()
    ON_MESSAGE(WM_CHAR, &CCheckListBox::OnChar)
    ON_MESSAGE(WM_SETFONT, &CCheckListBox::OnSetFont)
    ON_MESSAGE(LB_ADDSTRING, &CCheckListBox::OnAddString)
    ON_MESSAGE(LB_INSERTSTRING, &CCheckListBox::OnInsertString)
    ON_MESSAGE(LB_DELETESTRING, &CCheckListBox::OnDeleteString)
    ON_MESSAGE(LB_RESETCONTENT, &CCheckListBox::OnResetContent)
    ON_MESSAGE(WM_MOUSEMOVE, &CCheckListBox::OnMouseMove)
    ON_MESSAGE(WM_MOUSELEAVE, &CCheckListBox::OnMouseLeave)
    ON_MESSAGE(WM_THEMECHANGED, &CCheckListBox::OnThemeChanged)
    ON_MESSAGE(WM_SYSCOLORCHANGE, &CCheckListBox::OnThemeChanged)
    ON_WM_DRAWITEM_REFLECT()
    ON_WM_MEASUREITEM_REFLECT()
END_MESSAGE_MAP()

int CCheckListBox::GetCheck(int nIndex) const
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_checks.size())
        return 0;
    return m_checks[static_cast<size_t>(nIndex)];
}

void CCheckListBox::SetCheck(int nIndex, int nCheck)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_checks.size())
        return;
    const unsigned char nNew = nCheck != 0 ? 1 : 0;
    if (m_checks[static_cast<size_t>(nIndex)] == nNew)
        return;
    m_checks[static_cast<size_t>(nIndex)] = nNew;
    InvalidateCheck(nIndex);
    NotifyStateChange(nIndex);
}

void CCheckListBox::InvalidateCheck(int nIndex)
{
    RECT rcItem;
    if (m_hWnd != nullptr && GetItemRect(nIndex, &rcItem) != LB_ERR)
        InvalidateRect(&rcItem, FALSE);
}

void CCheckListBox::PreSubclassWindow()
{
    CListBox::PreSubclassWindow();
    m_nDpi = GetWindowDpi(m_hWnd);
    const int nCount = GetCount();
    m_checks.assign(nCount > 0 ? static_cast<size_t>(nCount) : 0, 0);
    // The list box measured its lines before it had an object; measure them again.
    if ((GetStyle() & (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)) == (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS))
        SetItemHeight(0, static_cast<UINT>(CalcMinimumItemHeight()));
}

void CCheckListBox::SetDpi(int nDpi)
{
    m_nDpi = nDpi;
    // The theme's parts are sized for a DPI: opened again at the next drawing.
    m_theme.Close();
    m_bThemeTried = false;
    // WM_MEASUREITEM comes only once, at creation.
    const DWORD dwFixedWithStrings = LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
    if (m_hWnd != nullptr && (GetStyle() & dwFixedWithStrings) == dwFixedWithStrings) {
        SetItemHeight(0, static_cast<UINT>(CalcMinimumItemHeight()));
        Invalidate();
    }
}

void CCheckListBox::PostNcDestroy()
{
    m_checks.clear();
    m_theme.Close();
    m_bThemeTried = false;
    m_nHotCheck = -1;
}

int CCheckListBox::CalcMinimumItemHeight()
{
    CClientDC dc(this);
    CSelectObject font(dc, GetFont());
    TEXTMETRICA tm{};
    ::GetTextMetricsA(dc, &tm);
    return std::max(static_cast<int>(tm.tmHeight), DpiScale(kCheckSize + kInset, m_nDpi));
}

void CCheckListBox::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    lpMeasureItemStruct->itemHeight = static_cast<UINT>(CalcMinimumItemHeight());
}

void CCheckListBox::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    HDC hDC = lpDrawItemStruct->hDC;
    const RECT rcItem = lpDrawItemStruct->rcItem;
    const int nCheckSize = DpiScale(kCheckSize, m_nDpi);
    const int nInset = DpiScale(kInset, m_nDpi);
    RECT rcText = rcItem;
    rcText.left += DpiScale(kCheckAreaWidth, m_nDpi);

    if (lpDrawItemStruct->itemID == static_cast<UINT>(-1) || lpDrawItemStruct->itemAction == ODA_FOCUS) {
        // An empty list with the focus, or only the focus moved: the focus rectangle alone.
        if (lpDrawItemStruct->itemState & ODS_FOCUS || lpDrawItemStruct->itemAction == ODA_FOCUS)
            ::DrawFocusRect(hDC, &rcText);
        return;
    }
    const int nIndex = static_cast<int>(lpDrawItemStruct->itemID);
    const int nSaved = ::SaveDC(hDC);

    RECT rcCheckArea = rcItem;
    rcCheckArea.right = rcText.left;
    ::FillRect(hDC, &rcCheckArea, ::GetSysColorBrush(COLOR_WINDOW));
    RECT rcBox;
    rcBox.left = rcItem.left + nInset;
    rcBox.top = rcItem.top + (rcItem.bottom - rcItem.top - nCheckSize) / 2;
    rcBox.right = rcBox.left + nCheckSize;
    rcBox.bottom = rcBox.top + nCheckSize;
    DrawCheckBox(hDC, rcBox, nIndex, lpDrawItemStruct->itemState);

    const bool bSelected = (lpDrawItemStruct->itemState & ODS_SELECTED) != 0;
    ::FillRect(hDC, &rcText, ::GetSysColorBrush(bSelected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int nLength = GetTextLen(nIndex);
    if (nLength > 0) {
        std::string text(static_cast<size_t>(nLength) + 1, '\0');
        const int nGot = GetText(nIndex, &text[0]);
        ::SetBkMode(hDC, TRANSPARENT);
        ::SetTextColor(hDC, ::GetSysColor(bSelected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT rcString = rcText;
        rcString.left += nInset;
        if (nGot > 0)
            ::DrawTextA(hDC, text.c_str(), nGot, &rcString, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (lpDrawItemStruct->itemState & ODS_FOCUS)
        ::DrawFocusRect(hDC, &rcText);
    ::RestoreDC(hDC, nSaved);
}

void CCheckListBox::DrawCheckBox(HDC hDC, const RECT& rcBox, int nIndex, UINT nItemState)
{
    if (!m_bThemeTried) {
        m_theme.Open(m_hWnd, L"BUTTON", m_nDpi);
        m_bThemeTried = true;
    }
    const bool bChecked = GetCheck(nIndex) != 0;
    const bool bDisabled = (nItemState & ODS_DISABLED) != 0 || !IsWindowEnabled();
    const bool bHot = nIndex == m_nHotCheck && !bDisabled;
    if (m_theme.IsOpen()) {
        int nState = bDisabled ? CBS_UNCHECKEDDISABLED : bHot ? CBS_UNCHECKEDHOT : CBS_UNCHECKEDNORMAL;
        if (bChecked)
            nState += CBS_CHECKEDNORMAL - CBS_UNCHECKEDNORMAL;
        // A box of the theme's size for another DPI would not follow the
        // list's; the classic box does.
        if (m_theme.PartFits(hDC, BP_CHECKBOX, nState, rcBox) && m_theme.DrawBackground(hDC, BP_CHECKBOX, nState, rcBox))
            return;
    }
    RECT rc = rcBox;
    ::DrawFrameControl(hDC, &rc, DFC_BUTTON,
                       DFCS_BUTTONCHECK | DFCS_FLAT | (bChecked ? DFCS_CHECKED : 0) | (bDisabled ? DFCS_INACTIVE : 0) |
                           (bHot ? DFCS_HOT : 0));
}

void CCheckListBox::SetHotCheck(int nIndex)
{
    if (nIndex == m_nHotCheck)
        return;
    InvalidateCheck(m_nHotCheck);
    m_nHotCheck = nIndex;
    InvalidateCheck(m_nHotCheck);
    if (nIndex >= 0) {
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&tme);
    }
}

LRESULT CCheckListBox::OnMouseMove(WPARAM, LPARAM lParam)
{
    bool bInCheck = false;
    const int nIndex = CheckFromPoint(CPoint(lParam), bInCheck);
    SetHotCheck(bInCheck ? nIndex : -1);
    return Default();
}

LRESULT CCheckListBox::OnMouseLeave(WPARAM, LPARAM)
{
    SetHotCheck(-1);
    return Default();
}

LRESULT CCheckListBox::OnThemeChanged(WPARAM, LPARAM)
{
    // A new theme, high contrast turned on or off, other system colours: the
    // theme is opened again at the next drawing and every line redrawn.
    const LRESULT lResult = Default();
    m_theme.Close();
    m_bThemeTried = false;
    Invalidate();
    return lResult;
}

int CCheckListBox::CheckFromPoint(CPoint point, bool& bInCheck) const
{
    bInCheck = false;
    const LRESULT lHit = SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    if (HIWORD(lHit) != 0)  // below the last line or outside the client area
        return -1;
    const int nIndex = LOWORD(lHit);
    RECT rcItem;
    if (GetItemRect(nIndex, &rcItem) == LB_ERR)
        return -1;
    bInCheck = point.x >= rcItem.left && point.x < rcItem.left + DpiScale(kCheckAreaWidth, m_nDpi);
    return nIndex;
}

void CCheckListBox::ToggleCheck(int nIndex, bool bSelection)
{
    const int nNewCheck = GetCheck(nIndex) != 0 ? 0 : 1;
    SetCheck(nIndex, nNewCheck);
    if (bSelection && (GetStyle() & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0) {
        const int nSelected = GetSelCount();
        if (nSelected > 0) {
            std::vector<int> selected(static_cast<size_t>(nSelected));
            const int nGot = GetSelItems(nSelected, selected.data());
            for (int i = 0; i < nGot; ++i)
                SetCheck(selected[static_cast<size_t>(i)], nNewCheck);
        }
    }
}

void CCheckListBox::NotifyCheckChange()
{
    ::SendMessageA(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), CLBN_CHKCHANGE),
                   reinterpret_cast<LPARAM>(m_hWnd));
}

void CCheckListBox::ClickCheck(int nIndex, UINT nFlags, CPoint point)
{
    SetFocus();
    const bool bMultiple = (GetStyle() & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
    if (bMultiple && GetSel(nIndex) > 0) {
        // A selected line's box ticks or unticks the whole selection and leaves it as it is.
        ToggleCheck(nIndex, true);
    } else {
        ToggleCheck(nIndex, false);
        // A button-down whatever the message: the list box would take the
        // second click of a double click as its own, select nothing and
        // notify LBN_DBLCLK.
        DefWindowProc(WM_LBUTTONDOWN, nFlags, MAKELPARAM(point.x, point.y));
    }
    NotifyCheckChange();
}

void CCheckListBox::OnLButtonDown(UINT nFlags, CPoint point)
{
    bool bInCheck = false;
    const int nIndex = CheckFromPoint(point, bInCheck);
    if (nIndex >= 0 && bInCheck)
        ClickCheck(nIndex, nFlags, point);
    else
        CListBox::OnLButtonDown(nFlags, point);
}

void CCheckListBox::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    // On the check box the second click of a double click is one more click.
    bool bInCheck = false;
    const int nIndex = CheckFromPoint(point, bInCheck);
    if (nIndex >= 0 && bInCheck)
        ClickCheck(nIndex, nFlags, point);
    else
        CListBox::OnLButtonDblClk(nFlags, point);
}

void CCheckListBox::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
{
    if (nChar == VK_SPACE) {
        const int nCaret = GetCaretIndex();
        if (nCaret >= 0 && nCaret < GetCount()) {
            ToggleCheck(nCaret, true);
            NotifyCheckChange();
        }
        return;
    }
    CListBox::OnKeyDown(nChar, nRepCnt, nFlags);
}

LRESULT CCheckListBox::OnChar(WPARAM wParam, LPARAM)
{
    // The space that the message loop makes of the toggling key would
    // otherwise search for the next line that starts with a blank, moving the
    // caret and stretching the selection to it.
    if (wParam == ' ')
        return 0;
    return Default();
}

LRESULT CCheckListBox::OnSetFont(WPARAM, LPARAM)
{
    Default();
    if ((GetStyle() & (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)) == (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS))
        SetItemHeight(0, static_cast<UINT>(CalcMinimumItemHeight()));
    return 0;
}

LRESULT CCheckListBox::OnAddString(WPARAM, LPARAM)
{
    const LRESULT lIndex = Default();
    if (lIndex >= 0)
        m_checks.insert(m_checks.begin() + std::min(static_cast<size_t>(lIndex), m_checks.size()), 0);
    return lIndex;
}

LRESULT CCheckListBox::OnInsertString(WPARAM, LPARAM)
{
    const LRESULT lIndex = Default();
    if (lIndex >= 0)
        m_checks.insert(m_checks.begin() + std::min(static_cast<size_t>(lIndex), m_checks.size()), 0);
    return lIndex;
}

LRESULT CCheckListBox::OnDeleteString(WPARAM wParam, LPARAM)
{
    const LRESULT lResult = Default();
    if (lResult != LB_ERR && wParam < m_checks.size())
        m_checks.erase(m_checks.begin() + static_cast<std::ptrdiff_t>(wParam));
    return lResult;
}

LRESULT CCheckListBox::OnResetContent(WPARAM, LPARAM)
{
    const LRESULT lResult = Default();
    m_checks.clear();
    return lResult;
}
