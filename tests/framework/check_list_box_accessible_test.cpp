// CCheckListBox as a screen reader in the same process sees it: the object
// that AccessibleObjectFromWindow gives for the list, asked line by line, and
// the events a WinEvent hook receives while the list is clicked and typed at.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <set>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "tests/framework/dialog_script.h"
#include "tests/framework/test_dialogs.h"
#include "tests/support/accessible.h"

namespace {

class CAccessibleListDlg : public CDialog {
public:
    CAccessibleListDlg() : CDialog(IDD_FW_CHECKLIST) {}

    CCheckListBox m_list;
    int m_nCheckChanges = 0;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        for (const char* text : {"a0", "a1", "a2", "a3", "a4", "a5"})
            m_list.AddString(text);
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_FW_LIST && HIWORD(wParam) == CLBN_CHKCHANGE)
            ++m_nCheckChanges;
        return CDialog::WindowProc(message, wParam, lParam);
    }

    void Select(std::initializer_list<int> lines, int nCaret)
    {
        m_list.SetSel(-1, FALSE);
        for (int i : lines)
            m_list.SetSel(i, TRUE);
        m_list.SendMessage(LB_SETCARETINDEX, nCaret, FALSE);
    }

    std::set<int> Checked() const
    {
        std::set<int> checked;
        for (int i = 0; i < m_list.GetCount(); ++i)
            if (m_list.GetCheck(i))
                checked.insert(i);
        return checked;
    }

    int LineY(int i) const { return i * m_list.GetItemHeight(0) + m_list.GetItemHeight(0) / 2; }

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_FW_LIST, m_list); }
};

using CScriptedListDlg = ScriptedDialog<CAccessibleListDlg>;

class ComApartment {
public:
    ComApartment() { ::CoInitialize(nullptr); }
    ~ComApartment() { ::CoUninitialize(); }
};

// The list's object as a reader gets it, released at the end of the scope.
class ListObject {
public:
    explicit ListObject(HWND hList)
    {
        m_hr = ::AccessibleObjectFromWindow(hList, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&m_pAcc));
    }
    ~ListObject()
    {
        if (m_pAcc != nullptr)
            m_pAcc->Release();
    }
    ListObject(const ListObject&) = delete;
    ListObject& operator=(const ListObject&) = delete;

    IAccessible* operator->() const { return m_pAcc; }
    IAccessible* get() const { return m_pAcc; }
    HRESULT hr() const { return m_hr; }

private:
    IAccessible* m_pAcc = nullptr;
    HRESULT m_hr = E_FAIL;
};

std::string DefaultAction(IAccessible* pAcc, LONG id)
{
    BSTR bstr = nullptr;
    const HRESULT hr = pAcc->get_accDefaultAction(Child(id), &bstr);
    return hr == S_OK ? Utf8(bstr) : "<hr " + std::to_string(hr) + ">";
}

LONG State(IAccessible* pAcc, VARIANT child)
{
    VARIANT v;
    ::VariantInit(&v);
    return pAcc->get_accState(child, &v) == S_OK && v.vt == VT_I4 ? v.lVal : -1;
}

LONG State(IAccessible* pAcc, LONG id) { return State(pAcc, Child(id)); }

const LONG kLineStates = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_MULTISELECTABLE |
                         STATE_SYSTEM_EXTSELECTABLE;

TEST(CheckListBoxAccessible, StatesFocusAndSelectionFollowTicksSelectionAndCaret)
{
    ComApartment com;
    CScriptedListDlg dlg;
    dlg.Then([&] {
        ListObject acc(dlg.m_list.m_hWnd);
        ASSERT_EQ(S_OK, acc.hr());
        dlg.m_list.SetFocus();
        ASSERT_EQ(dlg.m_list.m_hWnd, ::GetFocus());
        dlg.Select({1, 3}, 3);
        dlg.m_list.SetCheck(1, 1);
        dlg.m_list.SetCheck(4, 1);
        EXPECT_EQ(kLineStates, State(acc.get(), 1));
        EXPECT_EQ(kLineStates | STATE_SYSTEM_SELECTED | STATE_SYSTEM_CHECKED, State(acc.get(), 2));
        EXPECT_EQ(kLineStates | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED, State(acc.get(), 4));
        EXPECT_EQ(kLineStates | STATE_SYSTEM_CHECKED, State(acc.get(), 5));
        EXPECT_EQ("Uncheck", DefaultAction(acc.get(), 2));
        EXPECT_EQ("Check", DefaultAction(acc.get(), 4));
        // The list by an empty id, a line by one passed by reference.
        VARIANT empty = {}, line = Child(2), byRef = {};
        byRef.vt = VT_BYREF | VT_VARIANT;
        byRef.pvarVal = &line;
        EXPECT_EQ(State(acc.get(), CHILDID_SELF), State(acc.get(), empty));
        EXPECT_EQ(kLineStates | STATE_SYSTEM_SELECTED | STATE_SYSTEM_CHECKED, State(acc.get(), byRef));

        VARIANT v;
        ::VariantInit(&v);
        EXPECT_EQ(S_OK, acc->get_accFocus(&v));
        EXPECT_EQ(std::vector<LONG>{4}, ChildIds(v));
        EXPECT_EQ(S_OK, acc->get_accSelection(&v));
        EXPECT_EQ((std::vector<LONG>{2, 4}), ChildIds(v));
        dlg.Select({5}, 5);
        EXPECT_EQ(S_OK, acc->get_accSelection(&v));
        EXPECT_EQ(std::vector<LONG>{6}, ChildIds(v));
        dlg.Select({}, 0);
        EXPECT_EQ(S_FALSE, acc->get_accSelection(&v));
        EXPECT_EQ(std::vector<LONG>{}, ChildIds(v));

        // Without the keyboard focus no line is focused.
        ::SetFocus(::GetDlgItem(dlg.m_hWnd, IDOK));
        EXPECT_EQ(kLineStates, State(acc.get(), 1));
        EXPECT_EQ(S_FALSE, acc->get_accFocus(&v));
        EXPECT_EQ(std::vector<LONG>{}, ChildIds(v));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(CheckListBoxAccessible, DefaultActionTogglesThatLineAloneAndNotifiesTheParent)
{
    ComApartment com;
    CScriptedListDlg dlg;
    ListObject* pAcc = nullptr;
    dlg.Then([&] {
        pAcc = new ListObject(dlg.m_list.m_hWnd);
        ASSERT_EQ(S_OK, pAcc->hr());
        dlg.Select({1, 3}, 3);
        EXPECT_EQ(S_OK, (*pAcc)->accDoDefaultAction(Child(2)));
        EXPECT_EQ(std::set<int>{1}, dlg.Checked());
        EXPECT_EQ(1, dlg.m_nCheckChanges);
        EXPECT_EQ(S_OK, (*pAcc)->accDoDefaultAction(Child(2)));
        EXPECT_EQ(std::set<int>{}, dlg.Checked());
        EXPECT_EQ(S_OK, (*pAcc)->accDoDefaultAction(Child(6)));
        EXPECT_EQ(std::set<int>{5}, dlg.Checked());
        EXPECT_EQ(3, dlg.m_nCheckChanges);
        EXPECT_EQ(E_INVALIDARG, (*pAcc)->accDoDefaultAction(Child(7)));
        EXPECT_EQ(3, dlg.m_nCheckChanges);
        // The selection is the user's: the action leaves it alone.
        EXPECT_EQ(2, dlg.m_list.GetSelCount());
        EXPECT_GT(dlg.m_list.GetSel(1), 0);
        EXPECT_GT(dlg.m_list.GetSel(3), 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    // A reader may hold the object after the window has gone: it is disconnected then.
    ASSERT_NE(nullptr, pAcc);
    long nCount = 99;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, (*pAcc)->get_accChildCount(&nCount));
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, (*pAcc)->accDoDefaultAction(Child(1)));
    delete pAcc;
}

// A list object that goes before its window lets go of its readers, and of
// the apartment that their questions made.
TEST(CheckListBoxAccessible, AListObjectThatGoesBeforeItsWindowDisconnectsItsReaders)
{
    {
        ComApartment com;
        CScriptedListDlg dlg;
        dlg.Then([&] {
            auto* pList = new CCheckListBox;
            ASSERT_TRUE(pList->SubclassWindow(::CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_HASSTRINGS, 0, 0, 99,
                                                                 50, dlg.m_hWnd, nullptr, nullptr, nullptr)));
            ListObject acc(pList->m_hWnd), again(pList->m_hWnd);
            ASSERT_EQ(S_OK, again.hr());
            delete pList;
            long nCount = 0;
            EXPECT_EQ(CO_E_OBJNOTCONNECTED, acc->get_accChildCount(&nCount));
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
    }
    // Had a list kept an apartment of its own, this would find it still there.
    const HRESULT hr = ::CoInitialize(nullptr);
    EXPECT_EQ(S_OK, hr);
    if (SUCCEEDED(hr))
        ::CoUninitialize();
}

TEST(CheckListBoxAccessible, HitTestFindsTheLineUnderAPointOnTheScreen)
{
    ComApartment com;
    CScriptedListDlg dlg;
    dlg.Then([&] {
        ListObject acc(dlg.m_list.m_hWnd);
        ASSERT_EQ(S_OK, acc.hr());
        for (LONG id : {1, 4}) {
            POINT pt = {60, dlg.LineY(id - 1)};
            ::ClientToScreen(dlg.m_list.m_hWnd, &pt);
            VARIANT v;
            ::VariantInit(&v);
            EXPECT_EQ(S_OK, acc->accHitTest(pt.x, pt.y, &v));
            EXPECT_EQ(std::vector<LONG>{id}, ChildIds(v));
        }
        // Below the last line the point is on the list itself.
        POINT pt = {60, dlg.LineY(8)};
        ::ClientToScreen(dlg.m_list.m_hWnd, &pt);
        VARIANT v;
        ::VariantInit(&v);
        EXPECT_EQ(S_OK, acc->accHitTest(pt.x, pt.y, &v));
        EXPECT_EQ(std::vector<LONG>{CHILDID_SELF}, ChildIds(v));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// The events of one window's client area between two event numbers, from an
// out-of-context hook: the child id for a state change, the event's name and
// child id for the others.
class WinEvents {
public:
    WinEvents(HWND hWnd, DWORD eventMin, DWORD eventMax)
    {
        s_hWnd = hWnd;
        s_seen.clear();
        m_hHook = ::SetWinEventHook(eventMin, eventMax, nullptr, Hook, ::GetCurrentProcessId(), 0,
                                    WINEVENT_OUTOFCONTEXT);
    }
    ~WinEvents() { ::UnhookWinEvent(m_hHook); }
    WinEvents(const WinEvents&) = delete;
    WinEvents& operator=(const WinEvents&) = delete;

    bool Installed() const { return m_hHook != nullptr; }
    // What came since the last call, once the events queued for this thread have been delivered.
    std::vector<std::string> Take()
    {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        std::vector<std::string> seen;
        seen.swap(s_seen);
        return seen;
    }

private:
    static void CALLBACK Hook(HWINEVENTHOOK, DWORD event, HWND hWnd, LONG idObject, LONG idChild, DWORD, DWORD)
    {
        // The system's own focus event for the window, before the list's for its line.
        if (hWnd != s_hWnd || idObject != OBJID_CLIENT || (event == EVENT_OBJECT_FOCUS && idChild == CHILDID_SELF))
            return;
        const char* name = event == EVENT_OBJECT_STATECHANGE      ? ""
                           : event == EVENT_OBJECT_FOCUS           ? "focus "
                           : event == EVENT_OBJECT_SELECTION       ? "selection "
                           : event == EVENT_OBJECT_SELECTIONADD    ? "add "
                           : event == EVENT_OBJECT_SELECTIONREMOVE ? "remove "
                           : event == EVENT_OBJECT_SELECTIONWITHIN ? "within "
                                                                   : "other ";
        s_seen.push_back(name + std::to_string(idChild));
    }
    static inline HWND s_hWnd = nullptr;
    static inline std::vector<std::string> s_seen;
    HWINEVENTHOOK m_hHook;
};

using Events = std::vector<std::string>;

TEST(CheckListBoxAccessible, EveryChangeOfATickFiresAStateChangeOfItsLine)
{
    CScriptedListDlg dlg;
    WinEvents* pEvents = nullptr;
    dlg.Then([&] {
        pEvents = new WinEvents(dlg.m_list.m_hWnd, EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE);
        ASSERT_TRUE(pEvents->Installed());
        PostClick(dlg.m_list.m_hWnd, 6, dlg.LineY(2));  // a click on the box
    });
    dlg.Then([&] {
        EXPECT_EQ(Events{"3"}, pEvents->Take());
        dlg.Select({0, 4}, 4);
        PostKey(dlg.m_list.m_hWnd, VK_SPACE);  // the caret line, then the rest of the selection
    });
    dlg.Then([&] {
        EXPECT_EQ((Events{"5", "1"}), pEvents->Take());
        // Setting a line to the state it has changes nothing and says nothing.
        dlg.m_list.SetCheck(0, 1);
        dlg.m_list.SetCheck(1, 0);
        dlg.m_list.SetCheck(5, 1);
    });
    dlg.Then([&] { EXPECT_EQ(Events{"6"}, pEvents->Take()); });
    EXPECT_EQ(IDOK, dlg.DoModal());
    delete pEvents;
}

TEST(CheckListBoxAccessible, ReadersHearOfTheCaretAndTheSelection)
{
    ComApartment com;
    CScriptedListDlg dlg;
    WinEvents* pEvents = nullptr;
    ListObject* pAcc = nullptr;
    const auto post = [&](UINT message, WPARAM keys, int nLine, int x = 60) {
        ::PostMessageA(dlg.m_list.m_hWnd, message, keys, MAKELPARAM(x, dlg.LineY(nLine)));
    };
    dlg.Then([&] {
        pAcc = new ListObject(dlg.m_list.m_hWnd);  // a reader has come
        pEvents = new WinEvents(dlg.m_list.m_hWnd, EVENT_OBJECT_FOCUS, EVENT_OBJECT_SELECTIONWITHIN);
        ASSERT_TRUE(pEvents->Installed());
        dlg.Select({}, 1);
        ::SetFocus(::GetDlgItem(dlg.m_hWnd, IDOK));
        pEvents->Take();
        dlg.m_list.SetFocus();
        EXPECT_EQ(Events{"focus 2"}, pEvents->Take());
        PostClick(dlg.m_list.m_hWnd, 60, dlg.LineY(2));
    });
    dlg.Then([&] {
        EXPECT_EQ((Events{"selection 3", "focus 3"}), pEvents->Take());
        post(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 4);
        post(WM_LBUTTONUP, MK_CONTROL, 4);
    });
    dlg.Then([&] {
        EXPECT_EQ((Events{"add 5", "focus 5"}), pEvents->Take());
        post(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 2);
        post(WM_LBUTTONUP, MK_CONTROL, 2);
    });
    dlg.Then([&] {
        EXPECT_EQ((Events{"remove 3", "focus 3"}), pEvents->Take());
        post(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 0);
        post(WM_LBUTTONUP, MK_SHIFT, 0);
    });
    dlg.Then([&] {
        // From the anchor (line 2) to line 0: lines 0 to 2 for line 4 alone.
        EXPECT_EQ((Events{"within 0", "focus 1"}), pEvents->Take());
        PostKey(dlg.m_list.m_hWnd, VK_DOWN);
    });
    dlg.Then([&] {
        EXPECT_EQ((Events{"selection 2", "focus 2"}), pEvents->Take());
        // Ticking an unselected line with the mouse selects it too.
        post(WM_LBUTTONDOWN, MK_LBUTTON, 3, 6);
        post(WM_LBUTTONUP, 0, 3, 6);
    });
    dlg.Then([&] {
        EXPECT_EQ((Events{"selection 4", "focus 4"}), pEvents->Take());
        // Nothing moves: nothing said.
        PostKey(dlg.m_list.m_hWnd, VK_SPACE);
        dlg.m_list.SetSel(3, TRUE);
    });
    dlg.Then([&] {
        EXPECT_EQ(Events{}, pEvents->Take());
        // A reader's selecting: the events of the list box's own.
        EXPECT_EQ(S_OK, (*pAcc)->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Child(2)));
        EXPECT_EQ((Events{"selection 2", "focus 2"}), pEvents->Take());
        EXPECT_EQ(S_OK, (*pAcc)->accSelect(SELFLAG_ADDSELECTION, Child(5)));  // caret and anchor stay
        EXPECT_EQ(Events{"add 5"}, pEvents->Take());
        EXPECT_EQ(S_OK, (*pAcc)->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_EXTENDSELECTION, Child(4)));
        EXPECT_EQ((Events{"within 0", "focus 4"}), pEvents->Take());
        EXPECT_EQ(S_OK, (*pAcc)->accSelect(SELFLAG_REMOVESELECTION, Child(3)));
        EXPECT_EQ(Events{"remove 3"}, pEvents->Take());
        EXPECT_EQ(E_INVALIDARG, (*pAcc)->accSelect(SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION, Child(1)));
        EXPECT_EQ(E_INVALIDARG, (*pAcc)->accSelect(SELFLAG_TAKESELECTION | SELFLAG_EXTENDSELECTION, Child(1)));
        EXPECT_EQ(Events{}, pEvents->Take());
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    delete pEvents;
    delete pAcc;
}

}  // namespace
