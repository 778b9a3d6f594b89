// CToolTipCtrl: tools known by window handle, no subclassing of the controls.
#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "tests/framework/dialog_script.h"
#include "tests/framework/test_dialogs.h"

namespace {

class CTipDlg : public CDialog {
public:
    CTipDlg() : CDialog(IDD_FW_BASIC) {}
    CToolTipCtrl m_toolTip;
};

TEST(ToolTipCtrl, ToolsAreTheControlsWindowsWithoutSubclassing)
{
    ScriptedDialog<CTipDlg> dlg;
    HWND hTip = nullptr;
    dlg.Then([&] {
        ASSERT_TRUE(dlg.m_toolTip.Create(&dlg));
        hTip = dlg.m_toolTip.m_hWnd;
        EXPECT_EQ(dlg.m_hWnd, ::GetWindow(hTip, GW_OWNER));

        CWnd* pButton = dlg.GetDlgItem(IDC_FW_BUTTON);
        const LONG_PTR procBefore = ::GetWindowLongPtrA(pButton->m_hWnd, GWLP_WNDPROC);
        ASSERT_TRUE(dlg.m_toolTip.AddTool(pButton, "Press me"));
        EXPECT_EQ(procBefore, ::GetWindowLongPtrA(pButton->m_hWnd, GWLP_WNDPROC));
        dlg.m_toolTip.Activate(TRUE);

        EXPECT_EQ(1, dlg.m_toolTip.SendMessage(TTM_GETTOOLCOUNT));
        char szText[64] = {};
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.lpszText = szText;
        ASSERT_TRUE(dlg.m_toolTip.SendMessage(TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti)));
        EXPECT_EQ(dlg.m_hWnd, ti.hwnd);
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(pButton->m_hWnd), ti.uId);
        EXPECT_EQ(static_cast<UINT>(TTF_IDISHWND), ti.uFlags & (TTF_IDISHWND | TTF_SUBCLASS));
        EXPECT_STREQ("Press me", szText);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    // Owned by the dialog, the tooltip went with it and let go of its object.
    EXPECT_FALSE(::IsWindow(hTip));
    EXPECT_EQ(nullptr, dlg.m_toolTip.m_hWnd);
}

}  // namespace
