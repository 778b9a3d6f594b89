// CAnchorDialog on a resizable test dialog: anchors, first size, minimum
// tracking size, minimise and restore, and a fresh start after destruction.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "tests/framework/dialog_script.h"
#include "tests/ui/controls_test_dialogs.h"
#include "ui/anchor_dialog.h"

// RECT lives in the global namespace, where gtest and std::map look for these.
bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& os, const RECT& rc)
{
    return os << "{" << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << "}";
}

namespace {

class CAnchorProbe : public CAnchorDialog {
public:
    CAnchorProbe() : CAnchorDialog(IDD_ANCHOR_TEST, nullptr) {}

    using CAnchorDialog::m_anchors;
    using CAnchorDialog::m_cxClient;
    using CAnchorDialog::m_cxCreate;
    using CAnchorDialog::m_cyClient;
    using CAnchorDialog::m_cyCreate;

    std::vector<UINT> m_sizeTypes;

protected:
    afx_msg void OnSize(UINT nType, int cx, int cy)
    {
        m_sizeTypes.push_back(nType);
        CAnchorDialog::OnSize(nType, cx, cy);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CAnchorProbe, CAnchorDialog)
    ON_WM_SIZE()
END_MESSAGE_MAP()

using CScriptedAnchorDlg = ScriptedDialog<CAnchorProbe>;

// Control ids, flags and template rectangles (dialog units) of the test dialog.
struct Control {
    int nID;
    UINT nFlags;
    RECT rcTemplate;
};
const std::vector<Control> kControls = {
    {IDC_A_MOVE_XY, ANCHOR_MOVE_X | ANCHOR_MOVE_Y, {150, 90, 190, 104}},
    {IDC_A_SIZE_XY, ANCHOR_SIZE_X | ANCHOR_SIZE_Y, {110, 10, 190, 70}},
    {IDC_A_SIZE_X_MOVE_Y, ANCHOR_SIZE_X | ANCHOR_MOVE_Y, {10, 75, 100, 85}},
    {IDC_A_SIZE_Y, ANCHOR_SIZE_Y, {10, 10, 100, 70}},
    {IDC_A_MOVE_Y, ANCHOR_MOVE_Y, {10, 90, 50, 104}},
    {IDC_A_MOVE_AND_SIZE_X, ANCHOR_MOVE_X | ANCHOR_SIZE_X, {55, 90, 95, 100}},
    {IDC_A_MOVE_AND_SIZE_Y, ANCHOR_MOVE_Y | ANCHOR_SIZE_Y, {100, 75, 108, 105}},
    {IDC_A_TWICE, ANCHOR_MOVE_X, {110, 105, 140, 115}},
    {IDC_A_HIGH_BITS, 0x0030, {150, 75, 170, 85}},
    {IDC_A_FIXED, 0, {55, 105, 95, 115}},
};

void AddTestAnchors(CAnchorDialog& dlg)
{
    for (const Control& control : kControls)
        dlg.AddAnchor(control.nID, control.nFlags);
    dlg.AddAnchor(IDC_A_TWICE, ANCHOR_MOVE_X);
    dlg.AddAnchor(IDC_A_ABSENT, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);  // no such control: skipped
}

// Where the dialog manager puts a template rectangle: it converts the origin
// and the size one by one, so the far edges may round apart from a
// MapDialogRect of the whole rectangle.
RECT TemplateRectInPixels(const CWnd& dlg, const RECT& rcTemplate)
{
    RECT rc = {rcTemplate.left, rcTemplate.top, rcTemplate.right - rcTemplate.left,
               rcTemplate.bottom - rcTemplate.top};
    ::MapDialogRect(dlg.m_hWnd, &rc);
    return {rc.left, rc.top, rc.left + rc.right, rc.top + rc.bottom};
}

RECT ControlRect(const CWnd& dlg, int nID)
{
    RECT rc;
    ::GetWindowRect(::GetDlgItem(dlg.m_hWnd, nID), &rc);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<LPPOINT>(&rc), 2);
    return rc;
}

std::map<int, RECT> ControlRects(const CWnd& dlg)
{
    std::map<int, RECT> rects;
    for (const Control& control : kControls)
        rects[control.nID] = ControlRect(dlg, control.nID);
    return rects;
}

SIZE ClientSize(const CWnd& dlg)
{
    RECT rc;
    ::GetClientRect(dlg.m_hWnd, &rc);
    return {rc.right, rc.bottom};
}

// Changes the dialog's client size by dx, dy through its outer size.
void Resize(CWnd& dlg, int dx, int dy)
{
    RECT rc;
    ::GetWindowRect(dlg.m_hWnd, &rc);
    const SIZE before = ClientSize(dlg);
    ::SetWindowPos(dlg.m_hWnd, nullptr, 0, 0, rc.right - rc.left + dx, rc.bottom - rc.top + dy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE after = ClientSize(dlg);
    ASSERT_EQ(before.cx + dx, after.cx);
    ASSERT_EQ(before.cy + dy, after.cy);
}

RECT Shifted(RECT rc, int dLeft, int dTop, int dRight, int dBottom)
{
    return {rc.left + dLeft, rc.top + dTop, rc.right + dRight, rc.bottom + dBottom};
}

TEST(AnchorDialogEntries, LowHalvesOfIdAndFlagsAreStoredAndZeroFlagsAddNothing)
{
    CAnchorProbe dlg;
    dlg.AddAnchor(1000, 8);
    dlg.AddAnchor(1001, 0);
    dlg.AddAnchor(1002, 0x10000);
    dlg.AddAnchor(0x12345, 0x10006);
    ASSERT_EQ(2, dlg.m_anchors.GetSize());
    EXPECT_EQ(0x000803E8u, dlg.m_anchors[0]);
    EXPECT_EQ(0x00062345u, dlg.m_anchors[1]);
}

TEST(AnchorDialogSizing, FirstSizeMovesNothingAndLaterSizesMoveByTheChange)
{
    CScriptedAnchorDlg dlg;
    AddTestAnchors(dlg);
    std::map<int, RECT> original;
    RECT rcWindow{};
    dlg.Then([&] {
        // The size that came with creation was only recorded.
        for (const Control& control : kControls) {
            EXPECT_EQ(TemplateRectInPixels(dlg, control.rcTemplate), ControlRect(dlg, control.nID))
                << "control " << control.nID;
        }
        EXPECT_EQ(ClientSize(dlg).cx, dlg.m_cxClient);
        EXPECT_EQ(ClientSize(dlg).cy, dlg.m_cyClient);
        ::GetWindowRect(dlg.m_hWnd, &rcWindow);
        EXPECT_EQ(rcWindow.right - rcWindow.left, dlg.m_cxCreate);
        EXPECT_EQ(rcWindow.bottom - rcWindow.top, dlg.m_cyCreate);

        original = ControlRects(dlg);
        ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Resize(dlg, 40, 20);

        const std::map<int, RECT> expected = {
            {IDC_A_MOVE_XY, Shifted(original[IDC_A_MOVE_XY], 40, 20, 40, 20)},
            {IDC_A_SIZE_XY, Shifted(original[IDC_A_SIZE_XY], 0, 0, 40, 20)},
            {IDC_A_SIZE_X_MOVE_Y, Shifted(original[IDC_A_SIZE_X_MOVE_Y], 0, 20, 40, 20)},
            {IDC_A_SIZE_Y, Shifted(original[IDC_A_SIZE_Y], 0, 0, 0, 20)},
            {IDC_A_MOVE_Y, Shifted(original[IDC_A_MOVE_Y], 0, 20, 0, 20)},
            {IDC_A_MOVE_AND_SIZE_X, Shifted(original[IDC_A_MOVE_AND_SIZE_X], 0, 0, 40, 0)},
            {IDC_A_MOVE_AND_SIZE_Y, Shifted(original[IDC_A_MOVE_AND_SIZE_Y], 0, 0, 0, 20)},
            {IDC_A_TWICE, Shifted(original[IDC_A_TWICE], 80, 0, 80, 0)},
            {IDC_A_HIGH_BITS, original[IDC_A_HIGH_BITS]},
            {IDC_A_FIXED, original[IDC_A_FIXED]},
        };
        EXPECT_EQ(expected, ControlRects(dlg));
        // A flag half without meaning still re-places and repaints; an unregistered control is left alone.
        EXPECT_TRUE(::GetUpdateRect(::GetDlgItem(dlg.m_hWnd, IDC_A_HIGH_BITS), nullptr, FALSE));
        EXPECT_FALSE(::GetUpdateRect(::GetDlgItem(dlg.m_hWnd, IDC_A_FIXED), nullptr, FALSE));

        Resize(dlg, -40, -20);
        EXPECT_EQ(original, ControlRects(dlg));

        // With no width recorded (as before the first size), a size is only recorded.
        dlg.m_cxClient = 0;
        dlg.m_cyClient = 5;
        Resize(dlg, 40, 20);
        EXPECT_EQ(original, ControlRects(dlg));
        EXPECT_EQ(ClientSize(dlg).cx, dlg.m_cxClient);
        EXPECT_EQ(ClientSize(dlg).cy, dlg.m_cyClient);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(AnchorDialogSizing, MinimumTrackingSizeIsTheCreationSize)
{
    CScriptedAnchorDlg dlg;
    dlg.Then([&] {
        RECT rcWindow;
        ::GetWindowRect(dlg.m_hWnd, &rcWindow);
        Resize(dlg, 30, 30);  // the minimum stays the creation size

        MINMAXINFO mmi;
        const LONG kUntouched = 12345;
        mmi.ptReserved = {kUntouched, kUntouched};
        mmi.ptMaxSize = {kUntouched, kUntouched};
        mmi.ptMaxPosition = {kUntouched, kUntouched};
        mmi.ptMinTrackSize = {kUntouched, kUntouched};
        mmi.ptMaxTrackSize = {kUntouched, kUntouched};
        dlg.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        EXPECT_EQ(rcWindow.right - rcWindow.left, mmi.ptMinTrackSize.x);
        EXPECT_EQ(rcWindow.bottom - rcWindow.top, mmi.ptMinTrackSize.y);
        EXPECT_EQ(kUntouched, mmi.ptMaxSize.x);
        EXPECT_EQ(kUntouched, mmi.ptMaxTrackSize.y);
        EXPECT_EQ(kUntouched, mmi.ptMaxPosition.x);
        EXPECT_EQ(kUntouched, mmi.ptReserved.y);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(AnchorDialogSizing, MinimiseMovesNothingAndRestorePlacesControlsWhereTheyWere)
{
    CScriptedAnchorDlg dlg;
    AddTestAnchors(dlg);
    std::map<int, RECT> before;
    SIZE clientBefore{};
    dlg.Then([&] {
        Resize(dlg, 24, 12);
        before = ControlRects(dlg);
        clientBefore = ClientSize(dlg);
        dlg.m_sizeTypes.clear();
        dlg.ShowWindow(SW_MINIMIZE);
        ASSERT_TRUE(dlg.IsIconic());
        EXPECT_EQ((std::vector<UINT>{SIZE_MINIMIZED}), dlg.m_sizeTypes);
        EXPECT_EQ(clientBefore.cx, dlg.m_cxClient);
        EXPECT_EQ(clientBefore.cy, dlg.m_cyClient);
        EXPECT_EQ(before, ControlRects(dlg));

        dlg.ShowWindow(SW_RESTORE);
        EXPECT_EQ(SIZE_RESTORED, dlg.m_sizeTypes.back());
        EXPECT_EQ(before, ControlRects(dlg));
        EXPECT_EQ(clientBefore.cx, dlg.m_cxClient);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

TEST(AnchorDialogLifecycle, DestroyResetsTheSizesAndAWindowCreatedAgainStartsOver)
{
    CScriptedAnchorDlg dlg;
    AddTestAnchors(dlg);
    const INT_PTR nAnchors = dlg.m_anchors.GetSize();
    dlg.Then([&] { Resize(dlg, 40, 20); });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(0, dlg.m_cxCreate);
    EXPECT_EQ(0, dlg.m_cyCreate);
    EXPECT_EQ(0, dlg.m_cxClient);
    EXPECT_EQ(0, dlg.m_cyClient);
    EXPECT_EQ(nAnchors, dlg.m_anchors.GetSize());

    // The same object, with the anchors it already has.
    dlg.Then([&] {
        const RECT rcMoving = ControlRect(dlg, IDC_A_MOVE_XY);
        EXPECT_EQ(TemplateRectInPixels(dlg, kControls[0].rcTemplate), rcMoving);
        // An anchor added while the dialog is shown counts from the next size change.
        dlg.AddAnchor(IDC_A_FIXED, ANCHOR_MOVE_Y);
        const RECT rcFixed = ControlRect(dlg, IDC_A_FIXED);
        Resize(dlg, 40, 20);
        EXPECT_EQ(Shifted(rcMoving, 40, 20, 40, 20), ControlRect(dlg, IDC_A_MOVE_XY));
        EXPECT_EQ(Shifted(rcFixed, 0, 20, 0, 20), ControlRect(dlg, IDC_A_FIXED));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

}  // namespace
