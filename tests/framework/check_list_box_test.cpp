// CCheckListBox on a real owner-drawn list box, driven by posted mouse and
// keyboard messages through the dialog's modal loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <uxtheme.h>
#include <vsstyle.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/afxwin.h"
#include "framework/theme.h"
#include "tests/support/canvas.h"
#include "tests/support/look_override.h"
#include "tests/framework/dialog_script.h"
#include "tests/framework/test_dialogs.h"

namespace {

class CCheckListDlg : public CDialog {
public:
    CCheckListDlg() : CDialog(IDD_FW_CHECKLIST) {}

    CCheckListBox m_list;
    std::vector<std::pair<WPARAM, LPARAM>> m_commands;  // every WM_COMMAND from the list

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (int i = 0; i < 6; ++i) {
            const std::string text = "a" + std::to_string(i);
            const int nIndex = m_list.AddString(text.c_str());
            m_list.SetItemData(nIndex, 100 + i);
        }
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_FW_LIST)
            m_commands.emplace_back(wParam, lParam);
        return CDialog::WindowProc(message, wParam, lParam);
    }

    int Count(UINT nCode) const
    {
        int n = 0;
        for (const auto& command : m_commands)
            n += HIWORD(command.first) == nCode ? 1 : 0;
        return n;
    }

    std::set<int> Checked() const
    {
        std::set<int> checked;
        for (int i = 0; i < m_list.GetCount(); ++i)
            if (m_list.GetCheck(i) == 1)
                checked.insert(i);
        return checked;
    }

    std::set<std::string> CheckedTexts() const
    {
        std::set<std::string> texts;
        for (int i : Checked()) {
            char szText[64] = {};
            m_list.GetText(i, szText);
            texts.insert(szText);
        }
        return texts;
    }

    std::set<int> Selected() const
    {
        std::set<int> selected;
        for (int i = 0; i < m_list.GetCount(); ++i)
            if (m_list.GetSel(i) > 0)
                selected.insert(i);
        return selected;
    }

    void Select(std::initializer_list<int> lines)
    {
        m_list.SetSel(-1, FALSE);
        for (int i : lines)
            m_list.SetSel(i, TRUE);
    }

    // A point on line i: on its check box, or on its text.
    int LineY(int i) const { return i * m_list.GetItemHeight(0) + m_list.GetItemHeight(0) / 2; }
    static constexpr int kBoxX = 6;
    static constexpr int kTextX = 60;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_FW_LIST, m_list); }
};

using CScriptedCheckListDlg = ScriptedDialog<CCheckListDlg>;

TEST(CheckListBoxMouse, ClickOnAnUnselectedLinesBoxTogglesItAndSelectsIt)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] { PostClick(dlg.m_list.m_hWnd, dlg.kBoxX, dlg.LineY(2)); });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{2}, dlg.Checked());
        EXPECT_EQ(std::set<int>{2}, dlg.Selected());
        ASSERT_EQ(1, dlg.Count(CLBN_CHKCHANGE));
        for (const auto& command : dlg.m_commands) {
            if (HIWORD(command.first) == CLBN_CHKCHANGE) {
                EXPECT_EQ(reinterpret_cast<LPARAM>(dlg.m_list.m_hWnd), command.second);
            }
        }
        // The line is selected now: the next click unticks it and keeps the selection.
        PostClick(dlg.m_list.m_hWnd, dlg.kBoxX, dlg.LineY(2));
    });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
        EXPECT_EQ(std::set<int>{2}, dlg.Selected());
        EXPECT_EQ(2, dlg.Count(CLBN_CHKCHANGE));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxMouse, ClickOnASelectedLinesBoxGivesTheWholeSelectionItsNewState)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        dlg.Select({1, 3, 4});
        dlg.m_list.SetCheck(3, 1);
        dlg.m_list.SetCheck(5, 1);  // not selected: left alone
        PostClick(dlg.m_list.m_hWnd, dlg.kBoxX, dlg.LineY(1));
    });
    dlg.Then([&] {
        EXPECT_EQ((std::set<int>{1, 3, 4, 5}), dlg.Checked());
        EXPECT_EQ((std::set<int>{1, 3, 4}), dlg.Selected());
        EXPECT_EQ(1, dlg.Count(CLBN_CHKCHANGE));
        PostClick(dlg.m_list.m_hWnd, dlg.kBoxX, dlg.LineY(4));
    });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{5}, dlg.Checked());
        EXPECT_EQ((std::set<int>{1, 3, 4}), dlg.Selected());
        EXPECT_EQ(2, dlg.Count(CLBN_CHKCHANGE));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxMouse, ClickOnTheTextSelectsWithoutTicking)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        dlg.Select({1, 3});
        PostClick(dlg.m_list.m_hWnd, dlg.kTextX, dlg.LineY(4));
    });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
        EXPECT_EQ(std::set<int>{4}, dlg.Selected());
        EXPECT_EQ(0, dlg.Count(CLBN_CHKCHANGE));
        EXPECT_EQ(1, dlg.Count(LBN_SELCHANGE));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxMouse, DoubleClickOnTheBoxIsTwoTogglesAndNoDoubleClickNotification)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        PostClick(dlg.m_list.m_hWnd, dlg.kBoxX, dlg.LineY(1));
        PostClick(dlg.m_list.m_hWnd, dlg.kBoxX, dlg.LineY(1), WM_LBUTTONDBLCLK);
    });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
        EXPECT_EQ(2, dlg.Count(CLBN_CHKCHANGE));
        EXPECT_EQ(0, dlg.Count(LBN_DBLCLK));
        // On the text a double click is the list box's own.
        PostClick(dlg.m_list.m_hWnd, dlg.kTextX, dlg.LineY(3));
        PostClick(dlg.m_list.m_hWnd, dlg.kTextX, dlg.LineY(3), WM_LBUTTONDBLCLK);
    });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
        EXPECT_EQ(1, dlg.Count(LBN_DBLCLK));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxMouse, SecondClickOnTheBoxOfALineThatLeftTheSelectionIsAClick)
{
    // Ctrl+click on a selected line's text takes it out of the selection; a
    // click on its box a moment later, close enough to be the second click
    // of a double click, must tick it and select it like any click.
    const struct {
        UINT keys;
        std::set<int> selected;
    } runs[] = {{0, {3}}, {MK_CONTROL, {1, 3}}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.keys);
        CScriptedCheckListDlg dlg;
        dlg.Then([&] {
            dlg.Select({1, 3});
            dlg.m_list.SetCheck(1, 1);
            const LPARAM onText = MAKELPARAM(16, dlg.LineY(3));
            ::PostMessageA(dlg.m_list.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, onText);
            ::PostMessageA(dlg.m_list.m_hWnd, WM_LBUTTONUP, MK_CONTROL, onText);
        });
        dlg.Then([&] {
            ASSERT_EQ(std::set<int>{1}, dlg.Selected());
            dlg.m_commands.clear();
            const LPARAM onBox = MAKELPARAM(13, dlg.LineY(3));
            ::PostMessageA(dlg.m_list.m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON | run.keys, onBox);
            ::PostMessageA(dlg.m_list.m_hWnd, WM_LBUTTONUP, run.keys, onBox);
        });
        dlg.Then([&] {
            EXPECT_EQ((std::set<int>{1, 3}), dlg.Checked());
            EXPECT_EQ(run.selected, dlg.Selected());
            EXPECT_EQ(1, dlg.Count(CLBN_CHKCHANGE));
            EXPECT_EQ(0, dlg.Count(LBN_DBLCLK));
            EXPECT_EQ(1, dlg.Count(LBN_SELCHANGE));
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
    }
}

TEST(CheckListBoxKeyboard, SpaceTogglesTheCaretLineAndTheSelectionFollows)
{
    // Lines that begin with a blank, as class numbers do: the space that the
    // loop makes of the key must not be taken for a search that moves the caret.
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        dlg.m_list.ResetContent();
        int nLine = 0;
        for (const char* text : {"  7 a", "  8 b", " 12 c", " 40 d", "100 e", "200 f"})
            dlg.m_list.InsertString(nLine++, text);
        dlg.Select({2, 3});
        dlg.m_list.SendMessage(LB_SETCARETINDEX, 3, FALSE);
        PostKey(dlg.m_list.m_hWnd, VK_SPACE);
    });
    dlg.Then([&] {
        EXPECT_EQ((std::set<int>{2, 3}), dlg.Checked());
        EXPECT_EQ((std::set<int>{2, 3}), dlg.Selected());
        EXPECT_EQ(3, dlg.m_list.GetCaretIndex());
        EXPECT_EQ(1, dlg.Count(CLBN_CHKCHANGE));
        EXPECT_EQ(0, dlg.Count(LBN_SELCHANGE));
        PostKey(dlg.m_list.m_hWnd, VK_SPACE);
    });
    dlg.Then([&] {
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
        EXPECT_EQ((std::set<int>{2, 3}), dlg.Selected());
        EXPECT_EQ(3, dlg.m_list.GetCaretIndex());
        EXPECT_EQ(2, dlg.Count(CLBN_CHKCHANGE));
        // Other characters still find the next line that starts with them.
        ::PostMessageA(dlg.m_list.m_hWnd, WM_CHAR, '1', 1);
    });
    dlg.Then([&] {
        EXPECT_EQ(4, dlg.m_list.GetCaretIndex());
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxState, ItemDataIsTheListBoxsOwnAndApartFromTheTicks)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        HWND hList = dlg.m_list.m_hWnd;
        for (int i = 0; i < 6; ++i)
            dlg.m_list.SetCheck(i, i % 2);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(100 + i, ::SendMessageA(hList, LB_GETITEMDATA, i, 0));
        ::SendMessageA(hList, LB_SETITEMDATA, 3, 0x7EADBEEF);
        EXPECT_EQ(0x7EADBEEF, ::SendMessageA(hList, LB_GETITEMDATA, 3, 0));
        EXPECT_EQ((std::set<int>{1, 3, 5}), dlg.Checked());
        // Any non-zero state reads back as 1; indexes that are no line read 0.
        dlg.m_list.SetCheck(0, 7);
        EXPECT_EQ(1, dlg.m_list.GetCheck(0));
        EXPECT_EQ(0, dlg.m_list.GetCheck(6));
        EXPECT_EQ(0, dlg.m_list.GetCheck(-1));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxState, TicksFollowTheirLinesThroughMessagesSentToTheWindow)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        HWND hList = dlg.m_list.m_hWnd;
        dlg.m_list.SetCheck(1, 1);
        dlg.m_list.SetCheck(3, 1);
        const std::set<std::string> ticked = {"a1", "a3"};

        EXPECT_EQ(3, ::SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a25")));  // sorted in
        EXPECT_EQ(ticked, dlg.CheckedTexts());
        ::SendMessageA(hList, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("first"));
        EXPECT_EQ(ticked, dlg.CheckedTexts());
        ::SendMessageA(hList, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("last"));
        EXPECT_EQ(ticked, dlg.CheckedTexts());
        EXPECT_EQ(0, dlg.m_list.GetCheck(dlg.m_list.GetCount() - 1));

        ::SendMessageA(hList, LB_DELETESTRING, 2, 0);  // "a1"
        EXPECT_EQ(std::set<std::string>{"a3"}, dlg.CheckedTexts());
        ::SendMessageA(hList, LB_DELETESTRING, 0, 0);
        EXPECT_EQ(std::set<std::string>{"a3"}, dlg.CheckedTexts());
        EXPECT_EQ(LB_ERR, ::SendMessageA(hList, LB_DELETESTRING, 99, 0));
        EXPECT_EQ(std::set<std::string>{"a3"}, dlg.CheckedTexts());

        ::SendMessageA(hList, LB_RESETCONTENT, 0, 0);
        EXPECT_EQ(0, dlg.m_list.GetCheck(0));
        ::SendMessageA(hList, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("again"));
        EXPECT_EQ(0, dlg.m_list.GetCheck(0));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// Counts the messages that reach one window while it is installed.
class MessageCounter {
public:
    explicit MessageCounter(HWND hWnd)
    {
        s_hWnd = hWnd;
        s_nCount = 0;
        m_hHook = ::SetWindowsHookExA(WH_CALLWNDPROC, Hook, nullptr, ::GetCurrentThreadId());
    }
    ~MessageCounter() { ::UnhookWindowsHookEx(m_hHook); }
    int Count() const { return s_nCount; }

private:
    static LRESULT CALLBACK Hook(int nCode, WPARAM wParam, LPARAM lParam)
    {
        if (nCode == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lParam)->hwnd == s_hWnd)
            ++s_nCount;
        return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
    }
    static inline HWND s_hWnd = nullptr;
    static inline int s_nCount = 0;
    HHOOK m_hHook;
};

TEST(CheckListBoxState, ReadingTicksSendsTheListNoMessage)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        dlg.m_list.SendMessage(WM_SETREDRAW, FALSE);
        for (int i = 0; i < 1018; ++i)
            dlg.m_list.AddString("b");
        dlg.m_list.SendMessage(WM_SETREDRAW, TRUE);
        ASSERT_EQ(1024, dlg.m_list.GetCount());
        MessageCounter counter(dlg.m_list.m_hWnd);
        ::SendMessageA(dlg.m_list.m_hWnd, LB_GETCOUNT, 0, 0);
        int nTicked = 0;
        for (int i = 0; i < 1024; ++i)
            nTicked += dlg.m_list.GetCheck(i);
        EXPECT_EQ(0, nTicked);
        EXPECT_EQ(1, counter.Count());  // the LB_GETCOUNT only
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

int TextHeight(HFONT hFont)
{
    HDC hDC = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hDC, hFont);
    TEXTMETRICA tm{};
    ::GetTextMetricsA(hDC, &tm);
    ::SelectObject(hDC, hOld);
    ::ReleaseDC(nullptr, hDC);
    return tm.tmHeight;
}

TEST(CheckListBoxLook, LineHeightFollowsTheFontButNeverUndercutsTheBox)
{
    CScriptedCheckListDlg dlg;
    CFont large;
    CFont tiny;
    dlg.Then([&] {
        ASSERT_TRUE(large.CreateFont(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN, "Courier New"));
        ASSERT_TRUE(tiny.CreateFont(-5, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN, "Courier New"));
        ASSERT_GT(TextHeight(large), 14);
        ASSERT_LT(TextHeight(tiny), 14);

        dlg.m_list.SetFont(&large);
        EXPECT_EQ(TextHeight(large), dlg.m_list.GetItemHeight(0));
        // The dialog hands WM_MEASUREITEM to the list's object, which measures alike.
        MEASUREITEMSTRUCT mis{ODT_LISTBOX, IDC_FW_LIST, 0, 0, 0, 0};
        EXPECT_TRUE(dlg.SendMessage(WM_MEASUREITEM, IDC_FW_LIST, reinterpret_cast<LPARAM>(&mis)));
        EXPECT_EQ(static_cast<UINT>(TextHeight(large)), mis.itemHeight);

        dlg.m_list.SetFont(&tiny);
        EXPECT_EQ(14, dlg.m_list.GetItemHeight(0));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

const int kLineWidth = 100;
const int kCheckCell = 15;  // the box and its margin at 96 DPI

void DrawLine(CCheckListBox& list, int nIndex, Canvas& canvas, UINT nState = 0)
{
    DRAWITEMSTRUCT dis{ODT_LISTBOX, IDC_FW_LIST, static_cast<UINT>(nIndex), ODA_DRAWENTIRE, nState, list.m_hWnd,
                       canvas.DC(), {0, 0, canvas.m_cx, canvas.m_cy}, 0};
    list.DrawItem(&dis);
}

// The check box cell of a line as the theme or the classic frame control
// draws a box of 13 by 13 in it, centred down, on the window's colour.
std::vector<COLORREF> ExpectedCell(CCheckListBox& list, HTHEME hTheme, int nPart, int nState)
{
    Canvas canvas(kCheckCell, list.GetItemHeight(0));
    RECT rcCell = {0, 0, kCheckCell, canvas.m_cy};
    ::FillRect(canvas.DC(), &rcCell, ::GetSysColorBrush(COLOR_WINDOW));
    RECT rcBox = {1, (canvas.m_cy - 13) / 2, 14, (canvas.m_cy - 13) / 2 + 13};
    if (hTheme != nullptr)
        ::DrawThemeBackground(hTheme, canvas.DC(), nPart, nState, &rcBox, nullptr);
    else
        ::DrawFrameControl(canvas.DC(), &rcBox, DFC_BUTTON, static_cast<UINT>(nState));
    return canvas.Columns(kCheckCell);
}

std::vector<COLORREF> DrawnCell(CCheckListBox& list, int nIndex, UINT nItemState = 0)
{
    Canvas canvas(kLineWidth, list.GetItemHeight(0));
    DrawLine(list, nIndex, canvas, nItemState);
    return canvas.Columns(kCheckCell);
}

TEST(CheckListBoxLook, BoxesAreTheThemesCheckBoxInTheLinesState)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        CCheckListBox& list = dlg.m_list;
        HTHEME hTheme = ::OpenThemeData(list.m_hWnd, L"BUTTON");
        ASSERT_NE(hTheme, nullptr) << "no theme in the prefix";
        const int states[] = {CBS_UNCHECKEDNORMAL, CBS_CHECKEDNORMAL, CBS_UNCHECKEDHOT, CBS_CHECKEDHOT,
                              CBS_UNCHECKEDDISABLED, CBS_CHECKEDDISABLED};
        std::vector<std::vector<COLORREF>> expected;
        for (int nState : states)
            expected.push_back(ExpectedCell(list, hTheme, BP_CHECKBOX, nState));
        for (size_t a = 0; a < expected.size(); ++a)
            for (size_t b = a + 1; b < expected.size(); ++b)
                if (expected[a] == expected[b])
                    std::printf("the theme draws states %d and %d alike\n", states[a], states[b]);
        // Wine's Light theme draws an unticked disabled box as an enabled one;
        // the other states it tells apart.
        ASSERT_NE(expected[0], expected[1]);
        ASSERT_NE(expected[1], expected[5]);
        ASSERT_NE(expected[0], expected[2]);
        ASSERT_NE(expected[1], expected[3]);

        list.SetCheck(1, 1);
        list.SetCheck(3, 1);
        EXPECT_EQ(expected[0], DrawnCell(list, 0));
        EXPECT_EQ(expected[1], DrawnCell(list, 1));
        EXPECT_EQ(expected[0], DrawnCell(list, 2, ODS_SELECTED | ODS_FOCUS));
        // The mouse over line 2's box makes it hot, and that line only.
        list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(dlg.kBoxX, dlg.LineY(2)));
        EXPECT_EQ(expected[2], DrawnCell(list, 2));
        EXPECT_EQ(expected[1], DrawnCell(list, 1));
        list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(dlg.kBoxX, dlg.LineY(3)));
        EXPECT_EQ(expected[3], DrawnCell(list, 3));
        EXPECT_EQ(expected[0], DrawnCell(list, 2));
        list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(dlg.kTextX, dlg.LineY(3)));  // on the text: not hot
        EXPECT_EQ(expected[1], DrawnCell(list, 3));
        list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(dlg.kBoxX, dlg.LineY(3)));
        list.SendMessage(WM_MOUSELEAVE);
        EXPECT_EQ(expected[1], DrawnCell(list, 3));

        ::EnableWindow(list.m_hWnd, FALSE);
        EXPECT_EQ(expected[4], DrawnCell(list, 0));
        EXPECT_EQ(expected[5], DrawnCell(list, 1));
        ::EnableWindow(list.m_hWnd, TRUE);
        ::CloseThemeData(hTheme);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxLook, WithNoThemeTheClassicBoxesAreDrawnUntilAThemeComesBack)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        CCheckListBox& list = dlg.m_list;
        HTHEME hTheme = ::OpenThemeData(list.m_hWnd, L"BUTTON");
        ASSERT_NE(hTheme, nullptr) << "no theme in the prefix";
        list.SetCheck(1, 1);
        const std::vector<COLORREF> themed = ExpectedCell(list, hTheme, BP_CHECKBOX, CBS_CHECKEDNORMAL);
        ASSERT_EQ(themed, DrawnCell(list, 1));
        const UINT nClassic = DFCS_BUTTONCHECK | DFCS_FLAT;
        const std::vector<COLORREF> unticked = ExpectedCell(list, nullptr, 0, nClassic);
        const std::vector<COLORREF> ticked = ExpectedCell(list, nullptr, 0, nClassic | DFCS_CHECKED);
        ASSERT_NE(unticked, ticked);
        ASSERT_NE(themed, ticked);
        {
            LookOverride classic({true, false});
            EXPECT_EQ(themed, DrawnCell(list, 1)) << "the theme is opened again only when it changes";
            list.SendMessage(WM_THEMECHANGED);
            EXPECT_EQ(unticked, DrawnCell(list, 0));
            EXPECT_EQ(ticked, DrawnCell(list, 1));
            ::EnableWindow(list.m_hWnd, FALSE);
            EXPECT_EQ(ExpectedCell(list, nullptr, 0, nClassic | DFCS_CHECKED | DFCS_INACTIVE), DrawnCell(list, 1));
            ::EnableWindow(list.m_hWnd, TRUE);
        }
        list.SendMessage(WM_THEMECHANGED);
        EXPECT_EQ(themed, DrawnCell(list, 1));
        ::CloseThemeData(hTheme);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// Anywhere right of the check box cell.
bool Holds(const Canvas& canvas, COLORREF colour)
{
    const std::set<int> columns = canvas.ColumnsWith(colour);
    return columns.lower_bound(kCheckCell) != columns.end();
}

TEST(CheckListBoxLook, InHighContrastEveryColourIsTheSystems)
{
    CScriptedCheckListDlg dlg;
    dlg.Then([&] {
        CCheckListBox& list = dlg.m_list;
        list.SetCheck(1, 1);
        DrawnCell(list, 1);  // the theme is open now
        SystemColours colours({{COLOR_WINDOW, kStrangeWindow},
                               {COLOR_WINDOWTEXT, kStrangeWindowText},
                               {COLOR_HIGHLIGHT, kStrangeHighlight},
                               {COLOR_HIGHLIGHTTEXT, kStrangeHighlightText}});
        LookOverride highContrast({false, true});
        // Windows tells the top-level windows; the dialog tells its controls.
        dlg.SendMessage(WM_SYSCOLORCHANGE);

        std::set<COLORREF> system;
        for (int nIndex : {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT,
                           COLOR_3DDKSHADOW, COLOR_3DLIGHT, COLOR_BTNTEXT, COLOR_GRAYTEXT})
            system.insert(::GetSysColor(nIndex));
        for (int nLine : {0, 1}) {
            int nStrange = 0;
            COLORREF crFirst = 0;
            for (COLORREF c : DrawnCell(list, nLine))
                if (system.count(c) == 0 && nStrange++ == 0)
                    crFirst = c;
            EXPECT_EQ(0, nStrange) << "line " << nLine << ": " << nStrange << " pixels of no system colour, such as "
                                   << std::hex << crFirst;
        }
        EXPECT_NE(DrawnCell(list, 0), DrawnCell(list, 1));

        // A line's text on the window's pair, a selected line's on the highlight's.
        Canvas plain(kLineWidth, list.GetItemHeight(0));
        DrawLine(list, 0, plain);
        EXPECT_EQ(kStrangeWindow, plain.Pixel(kLineWidth - 1, 0));
        EXPECT_TRUE(Holds(plain, kStrangeWindowText));
        Canvas selected(kLineWidth, list.GetItemHeight(0));
        DrawLine(list, 0, selected, ODS_SELECTED);
        EXPECT_EQ(kStrangeHighlight, selected.Pixel(kLineWidth - 1, 0));
        EXPECT_TRUE(Holds(selected, kStrangeHighlightText));
        EXPECT_FALSE(Holds(selected, kStrangeWindowText));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

}  // namespace
