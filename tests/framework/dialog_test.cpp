// CDialog, message maps, reflection, DDX_Control and the modal loop, driven
// through real dialogs from test templates.
#include <gtest/gtest.h>

#include <vector>

#include "framework/afxwin.h"
#include "tests/framework/dialog_script.h"
#include "tests/framework/test_dialogs.h"

namespace {

constexpr UINT WM_BASE_ONLY = WM_APP + 1;
constexpr UINT WM_BOTH = WM_APP + 2;
constexpr UINT WM_PROBE = WM_APP + 3;
constexpr UINT WM_SWALLOWED = WM_APP + 4;

// A control class with its own map: counts what reaches it.
class CProbeButton : public CButton {
public:
    int m_nPreSubclass = 0;
    int m_nProbe = 0;
    int m_nDrawItem = 0;
    int m_nReflectedClicks = 0;
    int m_nSwallowed = 0;
    bool m_bProcRestoredAtDeath = false;

    virtual void DrawItem(LPDRAWITEMSTRUCT) { ++m_nDrawItem; }

protected:
    void PreSubclassWindow() override
    {
        ++m_nPreSubclass;
        m_hWndBound = m_hWnd;
    }
    void PostNcDestroy() override
    {
        // Still inside WM_NCDESTROY: the window is there, with its own procedure back.
        m_bProcRestoredAtDeath = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(m_hWndBound, GWLP_WNDPROC)) != &AfxWndProc;
    }
    LRESULT OnProbe(WPARAM, LPARAM) { return ++m_nProbe; }
    LRESULT OnSwallowed(WPARAM, LPARAM) { return ++m_nSwallowed; }
    void OnReflectedClick() { ++m_nReflectedClicks; }

    HWND m_hWndBound = nullptr;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeButton, CButton)
    ON_MESSAGE(WM_PROBE, &CProbeButton::OnProbe)
    ON_MESSAGE(WM_SWALLOWED, &CProbeButton::OnSwallowed)
    ON_WM_DRAWITEM_REFLECT()
    ON_CONTROL_REFLECT(BN_CLICKED, &CProbeButton::OnReflectedClick)
END_MESSAGE_MAP()

class CBaseDlg : public CDialog {
public:
    explicit CBaseDlg(UINT nIDTemplate = IDD_FW_BASIC, CWnd* pParent = nullptr) : CDialog(nIDTemplate, pParent) {}

    std::vector<const char*> m_calls;

protected:
    LRESULT OnBaseOnly(WPARAM, LPARAM)
    {
        m_calls.push_back("base only");
        return 11;
    }
    LRESULT OnBothInBase(WPARAM, LPARAM)
    {
        m_calls.push_back("both in base");
        return 12;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_MESSAGE(WM_BASE_ONLY, &CBaseDlg::OnBaseOnly)
    ON_MESSAGE(WM_BOTH, &CBaseDlg::OnBothInBase)
END_MESSAGE_MAP()

class CTestDlg : public CBaseDlg {
public:
    using CBaseDlg::CBaseDlg;

    CProbeButton m_btnOwnerDraw;
    CProbeButton m_btnReflected;
    CProbeButton m_btnNoSuchControl;
    int m_nButtonClicks = 0;
    int m_nReflectedClicksAtParent = 0;
    int m_nDrawItemAtParent = 0;
    int m_nInitDialog = 0;
    std::vector<MSG> m_preTranslated;

    BOOL OnInitDialog() override
    {
        ++m_nInitDialog;
        return CBaseDlg::OnInitDialog();
    }

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_SWALLOWED && pMsg->message != WM_SCRIPT_STEP &&
            pMsg->message != WM_TIMER)
            m_preTranslated.push_back(*pMsg);
        if (pMsg->message == WM_SWALLOWED)
            return TRUE;
        return CBaseDlg::PreTranslateMessage(pMsg);
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_FW_OWNERDRAW, m_btnOwnerDraw);
        DDX_Control(pDX, IDC_FW_REFLECTED, m_btnReflected);
        DDX_Control(pDX, 4321, m_btnNoSuchControl);
    }
    LRESULT OnBothInDerived(WPARAM, LPARAM)
    {
        m_calls.push_back("both in derived");
        return 21;
    }
    void OnButton() { ++m_nButtonClicks; }
    void OnReflectedAtParent() { ++m_nReflectedClicksAtParent; }
    LRESULT OnDrawItemAtParent(WPARAM, LPARAM)
    {
        ++m_nDrawItemAtParent;
        return TRUE;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CBaseDlg)
    ON_MESSAGE(WM_BOTH, &CTestDlg::OnBothInDerived)
    ON_BN_CLICKED(IDC_FW_BUTTON, &CTestDlg::OnButton)
    ON_BN_CLICKED(IDC_FW_REFLECTED, &CTestDlg::OnReflectedAtParent)
    ON_MESSAGE(WM_DRAWITEM, &CTestDlg::OnDrawItemAtParent)
END_MESSAGE_MAP()

using CScriptedTestDlg = ScriptedDialog<CTestDlg>;

TEST(MessageMap, DerivedEntriesComeFirstAndChainToTheBase)
{
    CScriptedTestDlg dlg;
    dlg.Then([&] {
        EXPECT_EQ(21, dlg.SendMessage(WM_BOTH));
        EXPECT_EQ(11, dlg.SendMessage(WM_BASE_ONLY));
        // Unmapped messages get the dialog's default processing.
        dlg.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Renamed"));
        char szText[32] = {};
        dlg.GetWindowText(szText, sizeof(szText));
        EXPECT_STREQ("Renamed", szText);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ((std::vector<const char*>{"both in derived", "base only"}), dlg.m_calls);
}

TEST(MessageMap, ClickedButtonReachesItsCommandHandler)
{
    CScriptedTestDlg dlg;
    dlg.Then([&] { PostClick(::GetDlgItem(dlg.m_hWnd, IDC_FW_BUTTON), 5, 5); });
    dlg.Then([&] { EXPECT_EQ(1, dlg.m_nButtonClicks); });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(Reflection, NotificationsAndDrawingGoBackToTheControlObject)
{
    CScriptedTestDlg dlg;
    dlg.Then([&] {
        // The control's object takes BN_CLICKED, so the parent's entry never runs.
        PostClick(dlg.m_btnReflected.m_hWnd, 5, 5);
        dlg.m_btnOwnerDraw.Invalidate();
        dlg.m_btnOwnerDraw.UpdateWindow();
    });
    dlg.Then([&] {
        EXPECT_EQ(1, dlg.m_btnReflected.m_nReflectedClicks);
        EXPECT_EQ(0, dlg.m_nReflectedClicksAtParent);
        EXPECT_GE(dlg.m_btnOwnerDraw.m_nDrawItem, 1);
        EXPECT_EQ(0, dlg.m_nDrawItemAtParent);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(DDXControl, FirstExchangeSubclassesTheTemplateControl)
{
    CScriptedTestDlg dlg;
    dlg.Then([&] {
        EXPECT_EQ(::GetDlgItem(dlg.m_hWnd, IDC_FW_OWNERDRAW), dlg.m_btnOwnerDraw.m_hWnd);
        EXPECT_EQ(&dlg.m_btnOwnerDraw, CWnd::FromHandlePermanent(dlg.m_btnOwnerDraw.m_hWnd));
        EXPECT_EQ(1, dlg.m_btnOwnerDraw.m_nPreSubclass);
        EXPECT_EQ(nullptr, dlg.m_btnNoSuchControl.m_hWnd);
        // Messages sent to the window itself reach the member's map.
        EXPECT_EQ(1, ::SendMessageA(::GetDlgItem(dlg.m_hWnd, IDC_FW_OWNERDRAW), WM_PROBE, 0, 0));
        // Later exchanges leave the binding alone.
        dlg.UpdateData(TRUE);
        EXPECT_EQ(1, dlg.m_btnOwnerDraw.m_nPreSubclass);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(nullptr, dlg.m_btnOwnerDraw.m_hWnd);
    EXPECT_TRUE(dlg.m_btnOwnerDraw.m_bProcRestoredAtDeath);

    // A second run binds the member to the new window.
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(2, dlg.m_btnOwnerDraw.m_nPreSubclass);
}

TEST(DoModal, EnterEndsWithIdokThroughTheDefaultButton)
{
    CScriptedTestDlg dlg;
    dlg.Then([&] { PostKey(::GetDlgItem(dlg.m_hWnd, IDC_FW_EDIT), VK_RETURN); });
    dlg.Then([&] { ADD_FAILURE() << "Enter did not end the dialog"; });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST(DoModal, EscapeAndCloseBoxEndWithIdcancel)
{
    CScriptedTestDlg byEscape;
    byEscape.Then([&] { PostKey(::GetDlgItem(byEscape.m_hWnd, IDC_FW_EDIT), VK_ESCAPE); });
    byEscape.Then([&] { ADD_FAILURE() << "Escape did not end the dialog"; });
    EXPECT_EQ(IDCANCEL, byEscape.DoModal());

    CScriptedTestDlg byCloseBox;
    byCloseBox.Then([&] { byCloseBox.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); });
    byCloseBox.Then([&] {});  // WM_CLOSE posts IDCANCEL: one more turn of the loop
    byCloseBox.Then([&] { ADD_FAILURE() << "the close box did not end the dialog"; });
    EXPECT_EQ(IDCANCEL, byCloseBox.DoModal());
}

TEST(DoModal, ReturnsTheEndCodeAndMinusOneWithoutATemplate)
{
    CScriptedTestDlg dlg;
    dlg.Then([&] { dlg.EndDialog(42); });
    EXPECT_EQ(42, dlg.DoModal());

    CTestDlg missing(IDD_FW_NO_SUCH_TEMPLATE);
    EXPECT_EQ(-1, missing.DoModal());
    EXPECT_EQ(0, missing.m_nInitDialog);
}

TEST(DoModal, OwnerIsDisabledWhileTheDialogRuns)
{
    CScriptedTestDlg owner;
    owner.Then([&] {
        CScriptedTestDlg child(IDD_FW_BASIC, &owner);
        child.Then([&] {
            EXPECT_FALSE(::IsWindowEnabled(owner.m_hWnd));
            EXPECT_EQ(owner.m_hWnd, ::GetWindow(child.m_hWnd, GW_OWNER));
        });
        EXPECT_EQ(IDOK, child.DoModal());
        EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
    });
    EXPECT_EQ(IDOK, owner.DoModal());
}

TEST(DoModal, ParentlessDialogIsOwnedByTheMainWindow)
{
    ASSERT_NE(nullptr, AfxGetApp());
    CScriptedTestDlg main;
    main.Then([&] {
        AfxGetApp()->m_pMainWnd = &main;
        CScriptedTestDlg about;
        about.Then([&] {
            EXPECT_EQ(main.m_hWnd, ::GetWindow(about.m_hWnd, GW_OWNER));
            EXPECT_FALSE(::IsWindowEnabled(main.m_hWnd));
        });
        EXPECT_EQ(IDOK, about.DoModal());
        AfxGetApp()->m_pMainWnd = nullptr;
    });
    EXPECT_EQ(IDOK, main.DoModal());
}

TEST(ModalLoop, PreTranslateMessageSeesChildMessagesBeforeDispatch)
{
    CScriptedTestDlg dlg;
    HWND hEdit = nullptr;
    auto seen = [&](HWND hWnd, UINT message) {
        for (const MSG& msg : dlg.m_preTranslated)
            if (msg.hwnd == hWnd && msg.message == message)
                return true;
        return false;
    };
    dlg.Then([&] {
        hEdit = ::GetDlgItem(dlg.m_hWnd, IDC_FW_EDIT);
        dlg.m_preTranslated.clear();
        PostKey(hEdit, 'A');
    });
    dlg.Then([] {});  // the WM_CHAR made from the key is queued behind this step
    dlg.Then([&] {
        ::PostMessageA(dlg.m_btnOwnerDraw.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        ::PostMessageA(dlg.m_btnOwnerDraw.m_hWnd, WM_SWALLOWED, 0, 0);
    });
    dlg.Then([&] {
        EXPECT_TRUE(seen(hEdit, WM_KEYDOWN));
        EXPECT_TRUE(seen(hEdit, WM_CHAR));
        EXPECT_TRUE(seen(hEdit, WM_KEYUP));
        EXPECT_TRUE(seen(dlg.m_btnOwnerDraw.m_hWnd, WM_MOUSEMOVE));
        EXPECT_TRUE(seen(dlg.m_btnOwnerDraw.m_hWnd, WM_SWALLOWED));
        // The edit box got its key through the loop; the swallowed message never reached its window.
        char szText[8] = {};
        ::GetWindowTextA(hEdit, szText, sizeof(szText));
        EXPECT_STREQ("a", szText);
        EXPECT_EQ(0, dlg.m_btnOwnerDraw.m_nSwallowed);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

}  // namespace
