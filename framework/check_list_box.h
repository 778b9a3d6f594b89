// CCheckListBox: an owner-drawn fixed list box with strings that draws a check
// box before each line, sized for the screen's DPI, with the system's theme
// where one is active and the classic look elsewhere. Check states (0 or 1) live
// in this object, apart from the item data, and follow inserts, deletes and
// resets sent to the window directly, so GetCheck needs no message.
#pragma once

#include <vector>

#include "framework/controls.h"
#include "framework/theme.h"

class CCheckListBoxAccessible;

// WM_COMMAND notification code sent to the parent after every toggle.
#define CLBN_CHKCHANGE 40

class CCheckListBox : public CListBox {
public:
    CCheckListBox() = default;
    ~CCheckListBox() override;

    // 0 or 1; 0 for an index that is not a line.
    int GetCheck(int nIndex) const;
    // Sets the state, redraws the line and tells screen readers of a change;
    // the parent is not notified.
    void SetCheck(int nIndex, int nCheck);

    // The DPI the box and its margins are drawn for, and the line height that
    // follows from it: the window's when attached, the new one's after a
    // DPI change.
    void SetDpi(int nDpi);

    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    virtual void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;
    void PostNcDestroy() override;

    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg LRESULT OnChar(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnAddString(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnInsertString(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnDeleteString(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnResetContent(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnThemeChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    int CalcMinimumItemHeight();
    // The line under the point and whether the point is on its check box; -1 for none.
    int CheckFromPoint(CPoint point, bool& bInCheck) const;
    // A click on line nIndex's check box, the first or the second of a double click.
    void ClickCheck(int nIndex, UINT nFlags, CPoint point);
    // Toggles nIndex; in a multi-selection list every selected line takes its new state when bSelection.
    void ToggleCheck(int nIndex, bool bSelection);
    void InvalidateCheck(int nIndex);
    void NotifyCheckChange();
    // The box of line nIndex, with the theme where one is active, else as a classic frame control.
    void DrawCheckBox(HDC hDC, const RECT& rcBox, int nIndex, UINT nItemState);
    void SetHotCheck(int nIndex);

    // For screen readers (check_list_box_accessible.cpp).
    friend class CCheckListBoxAccessible;
    void NotifyStateChange(int nIndex);
    // The default action of line nIndex: that line alone, as a click on its box notifies.
    void ToggleFromReader(int nIndex);
    // Readers hear once of what the messages between the two did to the caret
    // and the selection, where the list box does not tell them itself.
    struct SelectionSeen {
        int nCaret = -1;
        std::vector<int> selected;
        bool bFocus = false;
    };
    bool BeginSelectionWatch(SelectionSeen* pBefore);
    void EndSelectionWatch(const SelectionSeen& before, bool bFocusMessage);
    void DisconnectAccessible();
    CCheckListBoxAccessible* m_pAccessible = nullptr;  // made at a reader's first question
    int m_nSelectionWatch = 0;                         // messages being watched for selection changes

    std::vector<unsigned char> m_checks;
    CThemeData m_theme;  // the button theme for the boxes, opened at the first drawing
    bool m_bThemeTried = false;
    int m_nHotCheck = -1;  // the line whose box is under the mouse
    int m_nDpi = 96;  // its box and margins scale with it
};
