// The main dialog on a screen of the DPI its Wine prefix sets: one run at 96,
// 144 and 192 DPI each. The run at 96 DPI writes down what it measures; the
// others check that the list's sizes are that times dpi/96, within a pixel.
// The controls of the template follow the dialog's font, which the dialog
// manager scales by what that font measures at the DPI: close to dpi/96, not
// exactly (at 192 DPI under Wine, 13/7 across and 24/13 down).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/ui/dialog_driver.h"
#include "tests/ui/dialog_measure.h"
#include "framework/dpi.h"
#include "tools/demo_textures.h"
#include "tools/screen_capture.h"
#include "ui/resource.h"
#include "tests/ui/build_path.h"

namespace {

// The DPI the test's prefix was made with; a run that sees another has a
// broken prefix, not a scaled dialog.
int ExpectedDpi()
{
    const char* value = std::getenv("TURFWISE_TEST_DPI");
    return value != nullptr ? std::atoi(value) : 96;
}

std::string SizesPath(int dpi)
{
    return BuildPath("dialog-sizes-" + std::to_string(dpi) + "dpi.txt");
}

// What the run measures, written at 96 DPI and read back by the others.
struct Sizes {
    std::map<std::string, int> values;

    void Save(const std::string& path) const
    {
        std::ofstream out(path);
        for (const auto& v : values)
            out << v.first << " " << v.second << "\n";
    }
    bool Load(const std::string& path)
    {
        std::ifstream in(path);
        std::string name;
        int value = 0;
        while (in >> name >> value)
            values[name] = value;
        return !values.empty();
    }
};

class ClassListDlgDpiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteDemoGameFolder(game.Path(), 256, 64));
        game.Register();
        dpi = ExpectedDpi();
    }

    // Within a pixel of the 96-DPI size times dpi/96.
    void ExpectScaled(const char* what, int actual, int at96) const
    {
        const double expected = at96 * dpi / 96.0;
        EXPECT_LE(std::abs(actual - expected), 1.0)
            << what << " at " << dpi << " DPI: " << actual << ", at 96 DPI: " << at96 << ", expected " << expected;
    }

    GameFolder game;
    int dpi = 96;
};

// Lines, font, check boxes and controls, against the run at 96 DPI. The
// screenshot is kept beside the build for a look at the result.
TEST_F(ClassListDlgDpiTest, EverySizeScalesWithTheScreensDpi)
{
    HDC screen = ::GetDC(nullptr);
    const int screenDpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    ASSERT_EQ(screenDpi, dpi) << "the prefix does not set the screen's DPI";

    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ::SendMessageA(ui.hwnd, WM_NULL, 0, 0);
    ::Sleep(300);
    EXPECT_TRUE(CaptureWindowPng(ui.hwnd, BuildPath("turfwise-dialog-" + std::to_string(dpi) + "dpi.png")));

    HWND list = ui.Item(IDC_CLASS_LIST);
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageA(list, WM_GETFONT, 0, 0));
    LOGFONTA logFont = {};
    ::GetObjectA(font, sizeof logFont, &logFont);
    EXPECT_STREQ(logFont.lfFaceName, "Courier New");
    EXPECT_EQ(logFont.lfHeight, -::MulDiv(12, dpi, 96));

    Sizes sizes;
    sizes.values["item"] = int(::SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    sizes.values["font"] = FontHeight(font);
    const LinePicture line = DrawLine(ui, 1);
    sizes.values["boxwidth"] = line.box.right - line.box.left;
    sizes.values["boxheight"] = line.box.bottom - line.box.top;
    sizes.values["boxleft"] = line.box.left;
    sizes.values["textleft"] = line.textLeft;
    // A hundred times the dialog's base units, for more digits.
    RECT units = {0, 0, 400, 800};
    ::MapDialogRect(ui.hwnd, &units);
    sizes.values["unitx100"] = units.right;
    sizes.values["unity100"] = units.bottom;
    sizes.Save(SizesPath(dpi));

    // The box stands inside its line, left of the text, at every DPI.
    EXPECT_EQ(line.height, sizes.values["item"]);
    EXPECT_GE(line.box.left, 0);
    EXPECT_GE(line.box.top, 0);
    EXPECT_LE(line.box.bottom, line.height);
    EXPECT_GT(line.textLeft, line.box.right) << "box " << Show(line.box);
    EXPECT_NEAR(line.box.right - line.box.left, line.box.bottom - line.box.top, 1) << "box " << Show(line.box);

    // Every control where the dialog's units put it, as at 96 DPI.
    for (const auto& c : kDialogControls) {
        RECT expected = c.units;
        ::MapDialogRect(ui.hwnd, &expected);
        expected.right += expected.left;
        expected.bottom += expected.top;
        const RECT actual = RectInDialog(ui.hwnd, ui.Item(c.nID));
        // A combo box's height is its closed height.
        if (c.nID == IDC_SURFACE_TYPE)
            expected.bottom = actual.bottom;
        EXPECT_TRUE(::EqualRect(&actual, &expected)) << c.nID << ": " << Show(actual) << ", expected "
                                                      << Show(expected);
    }

    if (dpi == 96)
        return;
    Sizes at96;
    ASSERT_TRUE(at96.Load(SizesPath(96))) << "no sizes from the run at 96 DPI in " << SizesPath(96);
    for (const char* name : {"item", "font", "boxwidth", "boxheight", "boxleft"})
        ExpectScaled(name, sizes.values[name], at96.values[name]);
    // The template's font grows with the screen, close to dpi/96: the list
    // stays in proportion with the controls around it.
    for (const char* name : {"unitx100", "unity100"}) {
        const double ratio = double(sizes.values[name]) / at96.values[name];
        EXPECT_GT(ratio, 0.85 * dpi / 96) << name;
        EXPECT_LT(ratio, 1.15 * dpi / 96) << name;
    }
}

// Windows before 10 has no GetDpiForWindow: the dialog then goes by the
// system DPI, and its list is sized as where the function is there.
TEST_F(ClassListDlgDpiTest, WithoutGetDpiForWindowTheSystemDpiCounts)
{
    Sizes at96;
    ASSERT_TRUE(at96.Load(SizesPath(96))) << "no sizes from the run at 96 DPI in " << SizesPath(96);
    struct WithoutDpiForWindow {
        WithoutDpiForWindow() { SetDpiForWindowFunction(nullptr); }
        ~WithoutDpiForWindow() { SetDpiForWindowFunction(DefaultDpiForWindowFunction()); }
    } without;
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());

    HWND list = ui.Item(IDC_CLASS_LIST);
    EXPECT_EQ(FontLogicalHeight(list), -::MulDiv(12, dpi, 96));
    ExpectScaled("item", int(::SendMessageA(list, LB_GETITEMHEIGHT, 0, 0)), at96.values["item"]);
    const LinePicture line = DrawLine(ui, 1);
    ExpectScaled("boxwidth", line.box.right - line.box.left, at96.values["boxwidth"]);
    ExpectScaled("boxheight", line.box.bottom - line.box.top, at96.values["boxheight"]);
    ExpectScaled("boxleft", line.box.left, at96.values["boxleft"]);
}

TEST_F(ClassListDlgDpiTest, ClickOnTheBoxTicksAndOnTheTextOnlySelects)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_GT(ui.LineCount(), 3);
    const LinePicture line = DrawLine(ui, 2);
    HWND list = ui.Item(IDC_CLASS_LIST);
    RECT item = {};
    ::SendMessageA(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    const int y = (item.top + item.bottom) / 2;

    // Near the box's right edge: beyond where a box of 96-DPI size would end.
    ui.ClickAt(list, item.left + line.box.right - 2, y);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{2});
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{2});

    ui.ClickAt(list, item.left + line.box.left + 1, y);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{});

    ::SendMessageA(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item));
    ui.ClickAt(list, item.left + line.textLeft, (item.top + item.bottom) / 2);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{});
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{3});
}

TEST_F(ClassListDlgDpiTest, NoControlsOverlapAndTheyFollowTheResizedEdges)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    std::map<int, RECT> before;
    for (const auto& c : kDialogControls)
        before[c.nID] = RectInDialog(ui.hwnd, ui.Item(c.nID));
    for (auto a = before.begin(); a != before.end(); ++a)
        for (auto b = std::next(a); b != before.end(); ++b) {
            RECT common;
            EXPECT_FALSE(::IntersectRect(&common, &a->second, &b->second))
                << a->first << " " << Show(a->second) << " overlaps " << b->first << " " << Show(b->second);
        }

    // As far as the screen lets the window grow: at 192 DPI the dialog
    // nearly fills a screen of 1024 by 768.
    RECT frame;
    ::GetWindowRect(ui.hwnd, &frame);
    const int dx = std::min(90, int(::GetSystemMetrics(SM_CXMAXTRACK) - (frame.right - frame.left)));
    const int dy = std::min(50, int(::GetSystemMetrics(SM_CYMAXTRACK) - (frame.bottom - frame.top)));
    ASSERT_GT(dx, 10) << "the screen leaves the dialog no room to grow";
    ASSERT_GT(dy, 10) << "the screen leaves the dialog no room to grow";
    ::SetWindowPos(ui.hwnd, nullptr, 0, 0, frame.right - frame.left + dx, frame.bottom - frame.top + dy,
                   SWP_NOMOVE | SWP_NOZORDER);
    ui.Sync();
    for (const auto& c : kDialogControls) {
        const RECT& r = before[c.nID];
        const RECT expected = {r.left + c.left * dx, r.top + c.top * dy, r.right + c.right * dx,
                               r.bottom + c.bottom * dy};
        const RECT actual = RectInDialog(ui.hwnd, ui.Item(c.nID));
        EXPECT_TRUE(::EqualRect(&actual, &expected))
            << c.nID << ": " << Show(actual) << ", expected " << Show(expected);
    }

    ::SetWindowPos(ui.hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER);
    ui.Sync();
    for (const auto& c : kDialogControls) {
        const RECT actual = RectInDialog(ui.hwnd, ui.Item(c.nID));
        EXPECT_TRUE(::EqualRect(&actual, &before[c.nID])) << c.nID << ": " << Show(actual);
    }
}

}  // namespace
