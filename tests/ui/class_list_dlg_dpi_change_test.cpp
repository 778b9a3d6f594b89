// The main dialog told by WM_DPICHANGED that it now stands on a screen of
// another DPI, as Windows tells a per-monitor aware program when its window
// moves to another monitor. Wine never sends it, so the tests do, on a screen
// of 96 DPI: 96 -> 144 -> 192 -> 96. Each time every size is that of the first
// layout times dpi/96 within a pixel, and back at 96 it is the first layout.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "framework/dpi.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/dialog_measure.h"
#include "tests/ui/build_path.h"
#include "tools/demo_textures.h"
#include "tools/screen_capture.h"
#include "ui/resource.h"

namespace {

struct Layout {
    RECT window = {};
    SIZE client = {};
    std::map<int, RECT> controls;
    int item = 0;
    LinePicture line;
    LONG listFont = 0;
    std::map<int, LONG> controlFonts;  // every control but the list
    LONG tipFont = 0;
    POINT minTrack = {};
};

// The dialog's tooltip: a window of its own that the dialog owns.
HWND ToolTipOf(HWND dialog)
{
    HWND tip = nullptr;
    while ((tip = ::FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) != nullptr &&
           ::GetWindow(tip, GW_OWNER) != dialog) {
    }
    return tip;
}

Layout Measure(DialogDriver& ui)
{
    Layout layout;
    ::GetWindowRect(ui.hwnd, &layout.window);
    RECT client;
    ::GetClientRect(ui.hwnd, &client);
    layout.client = {client.right, client.bottom};
    for (const auto& c : kDialogControls) {
        layout.controls[c.nID] = RectInDialog(ui.hwnd, ui.Item(c.nID));
        if (c.nID != IDC_CLASS_LIST)
            layout.controlFonts[c.nID] = FontLogicalHeight(ui.Item(c.nID));
    }
    HWND list = ui.Item(IDC_CLASS_LIST);
    layout.item = int(::SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    layout.line = DrawLine(ui, 1);
    layout.listFont = FontLogicalHeight(list);
    layout.tipFont = FontLogicalHeight(ToolTipOf(ui.hwnd));
    MINMAXINFO mmi = {};
    ::SendMessageA(ui.hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    layout.minTrack = mmi.ptMinTrackSize;
    return layout;
}

SIZE Frame(const Layout& layout)
{
    return {layout.window.right - layout.window.left - layout.client.cx,
            layout.window.bottom - layout.window.top - layout.client.cy};
}

// Windows suggests the client area scaled with the frame drawn at the new
// DPI; Wine draws every frame at the system's, so the frame stays. In the
// screen's top left corner, where most of the dialog at 192 DPI fits.
RECT Suggested(const Layout& now, SIZE client)
{
    const SIZE frame = Frame(now);
    return {0, 0, client.cx + frame.cx, client.cy + frame.cy};
}

SIZE ScaledClient(const Layout& layout, int dpi, int fromDpi)
{
    return {::MulDiv(layout.client.cx, dpi, fromDpi), ::MulDiv(layout.client.cy, dpi, fromDpi)};
}

void SendDpiChanged(DialogDriver& ui, int dpi, const RECT& suggested)
{
    ::SendMessageA(ui.hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    ui.Sync();
}

bool Within(double actual, double expected) { return std::abs(actual - expected) <= 1.0; }

// Every edge within a pixel of the expected one scaled by dpi/fromDpi. A
// combo box's height is its closed height, which its font decides.
void ExpectControlsScaled(const Layout& actual, const Layout& from, int dpi, int fromDpi)
{
    const double f = double(dpi) / fromDpi;
    for (const auto& c : kDialogControls) {
        const RECT& a = actual.controls.at(c.nID);
        const RECT& e = from.controls.at(c.nID);
        const bool ok = Within(a.left, e.left * f) && Within(a.top, e.top * f) && Within(a.right, e.right * f) &&
                        (c.nID == IDC_SURFACE_TYPE || Within(a.bottom, e.bottom * f));
        EXPECT_TRUE(ok) << "control " << c.nID << " at " << dpi << " DPI: " << Show(a) << ", at " << fromDpi
                        << " DPI " << Show(e);
    }
}

void ExpectNoOverlap(const Layout& layout, int dpi)
{
    for (auto a = layout.controls.begin(); a != layout.controls.end(); ++a)
        for (auto b = std::next(a); b != layout.controls.end(); ++b) {
            RECT common;
            EXPECT_FALSE(::IntersectRect(&common, &a->second, &b->second))
                << "at " << dpi << " DPI " << a->first << " " << Show(a->second) << " overlaps " << b->first << " "
                << Show(b->second);
        }
}

// A click near the right edge of line 2's box ticks it, a second unticks it.
void ExpectBoxClickTicks(DialogDriver& ui, const LinePicture& line, int dpi)
{
    HWND list = ui.Item(IDC_CLASS_LIST);
    RECT item = {};
    ::SendMessageA(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    const int x = item.left + line.box.right - 2, y = (item.top + item.bottom) / 2;
    ui.ClickAt(list, x, y);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{2}) << "at " << dpi << " DPI, a click at " << x << ", " << y;
    ui.ClickAt(list, x, y);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{}) << "at " << dpi << " DPI";
}

class ClassListDlgDpiChangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(GetScreenDpi(), 96) << "these tests start on a screen of 96 DPI";
        ASSERT_TRUE(WriteDemoGameFolder(game.Path(), 256, 64));
        game.Register();
    }

    GameFolder game;
};

TEST_F(ClassListDlgDpiChangeTest, EverySizeFollowsEachChangeAndTheFirstDpiGivesTheFirstLayout)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    const Layout first = Measure(ui);
    ASSERT_GT(first.item, 0);
    EXPECT_EQ(first.minTrack.x, first.window.right - first.window.left);
    EXPECT_EQ(first.minTrack.y, first.window.bottom - first.window.top);

    for (int dpi : {144, 192, 96}) {
        const RECT suggested = Suggested(Measure(ui), ScaledClient(first, dpi, 96));
        SendDpiChanged(ui, dpi, suggested);
        const Layout now = Measure(ui);
        EXPECT_TRUE(::EqualRect(&now.window, &suggested))
            << "at " << dpi << " DPI the window is at " << Show(now.window) << ", suggested " << Show(suggested);

        ExpectControlsScaled(now, first, dpi, 96);
        ExpectNoOverlap(now, dpi);

        // The list's font and lines, and its check box as drawn.
        EXPECT_EQ(now.listFont, -::MulDiv(12, dpi, 96));
        const double f = dpi / 96.0;
        EXPECT_TRUE(Within(now.item, first.item * f)) << "item height " << now.item << " at " << dpi;
        const LinePicture& box = now.line;
        EXPECT_EQ(box.height, now.item);
        EXPECT_TRUE(Within(box.box.right - box.box.left, (first.line.box.right - first.line.box.left) * f))
            << "box " << Show(box.box) << " at " << dpi << ", at 96 " << Show(first.line.box);
        EXPECT_TRUE(Within(box.box.bottom - box.box.top, (first.line.box.bottom - first.line.box.top) * f))
            << "box " << Show(box.box) << " at " << dpi << ", at 96 " << Show(first.line.box);
        EXPECT_TRUE(Within(box.box.left, first.line.box.left * f)) << "box " << Show(box.box) << " at " << dpi;
        EXPECT_GT(box.textLeft, box.box.right) << "box " << Show(box.box) << " at " << dpi;

        // The template's font at the new DPI, in every other control, the preview's caption included.
        for (const auto& font : now.controlFonts)
            EXPECT_EQ(font.second, -::MulDiv(8, dpi, 72)) << "control " << font.first << " at " << dpi << " DPI";
        EXPECT_EQ(now.tipFont, -::MulDiv(8, dpi, 72)) << "the tooltips at " << dpi << " DPI";

        // No smaller than the first client area scaled, in the frame as it is.
        const SIZE frame = Frame(now);
        const SIZE client = ScaledClient(first, dpi, 96);
        EXPECT_EQ(now.minTrack.x, client.cx + frame.cx) << "at " << dpi << " DPI";
        EXPECT_EQ(now.minTrack.y, client.cy + frame.cy) << "at " << dpi << " DPI";

        ExpectBoxClickTicks(ui, now.line, dpi);
        // For a look at the result, beside the build: at 144 DPI the whole
        // dialog is on the screen.
        if (dpi == 144) {
            ::Sleep(300);
            EXPECT_TRUE(CaptureWindowPng(ui.hwnd, BuildPath("turfwise-dialog-moved-to-144dpi.png")));
        }
    }

    const Layout last = Measure(ui);
    ExpectControlsScaled(last, first, 96, 96);
    EXPECT_EQ(last.item, first.item);
    EXPECT_TRUE(::EqualRect(&last.line.box, &first.line.box)) << Show(last.line.box) << ", first " << Show(first.line.box);
    EXPECT_EQ(last.minTrack.x, first.minTrack.x);
    EXPECT_EQ(last.minTrack.y, first.minTrack.y);
}

// A dialog the user made larger keeps its proportions at the new DPI; its
// anchors keep working there, and the way back takes the resize along.
TEST_F(ClassListDlgDpiChangeTest, AResizedDialogScalesWithItsAnchorsAndBack)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    const Layout first = Measure(ui);
    auto resize = [&](int dx, int dy) {
        const Layout now = Measure(ui);
        ::SetWindowPos(ui.hwnd, nullptr, 0, 0, now.window.right - now.window.left + dx,
                       now.window.bottom - now.window.top + dy, SWP_NOMOVE | SWP_NOZORDER);
        ui.Sync();
    };
    resize(60, 40);
    const Layout resized = Measure(ui);
    ASSERT_EQ(resized.client.cx, first.client.cx + 60);

    // 144 DPI: at 192 the dialog fills the screen of 1024 by 768 and cannot grow.
    SendDpiChanged(ui, 144, Suggested(resized, ScaledClient(resized, 144, 96)));
    const Layout at144 = Measure(ui);
    ExpectControlsScaled(at144, resized, 144, 96);
    ExpectNoOverlap(at144, 144);

    // Dragged 36 by 24 larger at 144 DPI, then back to 96 with that two
    // thirds as large: every edge that follows a resize is 24 by 16 further out.
    resize(36, 24);
    const Layout dragged = Measure(ui);
    for (const auto& c : kDialogControls) {
        const RECT& r = at144.controls.at(c.nID);
        const RECT expected = {r.left + 36 * c.left, r.top + 24 * c.top, r.right + 36 * c.right,
                               r.bottom + 24 * c.bottom};
        const RECT& actual = dragged.controls.at(c.nID);
        if (c.nID != IDC_SURFACE_TYPE) {
            EXPECT_TRUE(::EqualRect(&actual, &expected))
                << c.nID << ": " << Show(actual) << ", expected " << Show(expected);
        }
    }
    SendDpiChanged(ui, 96, Suggested(dragged, ScaledClient(dragged, 96, 144)));
    const Layout back = Measure(ui);
    for (const auto& c : kDialogControls) {
        const RECT& r = resized.controls.at(c.nID);
        const RECT expected = {r.left + 24 * c.left, r.top + 16 * c.top, r.right + 24 * c.right,
                               r.bottom + 16 * c.bottom};
        const RECT& actual = back.controls.at(c.nID);
        const bool ok = Within(actual.left, expected.left) && Within(actual.top, expected.top) &&
                        Within(actual.right, expected.right) &&
                        (c.nID == IDC_SURFACE_TYPE || Within(actual.bottom, expected.bottom));
        EXPECT_TRUE(ok) << c.nID << ": " << Show(actual) << ", expected " << Show(expected);
    }
    EXPECT_EQ(back.item, first.item);
}

// Moved to and fro while minimised, then restored: laid out for the last
// suggested size each time, as a move made in view would have left it.
TEST_F(ClassListDlgDpiChangeTest, MovesWhileMinimisedRestoreAsMovesInView)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    const Layout first = Measure(ui);
    const auto movedMinimised = [&](std::initializer_list<int> dpis) {
        ui.OnUiThread([&] { ::ShowWindow(ui.hwnd, SW_MINIMIZE); });
        EXPECT_TRUE(WaitUntil([&] { return ::IsIconic(ui.hwnd) != FALSE; }));
        for (int dpi : dpis)
            SendDpiChanged(ui, dpi, Suggested(first, ScaledClient(first, dpi, 96)));
        ui.OnUiThread([&] { ::ShowWindow(ui.hwnd, SW_RESTORE); });
        EXPECT_TRUE(WaitUntil([&] { return ::IsIconic(ui.hwnd) == FALSE; }));
        ui.Sync();
        return Measure(ui);
    };
    ExpectControlsScaled(movedMinimised({120, 168, 144}), first, 144, 96);
    ExpectControlsScaled(movedMinimised({120, 168, 96}), first, 96, 96);
}

}  // namespace
