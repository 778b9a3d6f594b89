// The main dialog under Wine: started, clicked and typed at through its real
// modal loop, asserting what the user sees and what reaches the file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/class_list_file.h"
#include "data/texture_classes.h"
#include "platform/view_guard.h"
#include "tests/ui/dialog_driver.h"
#include "tools/classlist_builder.h"
#include "tools/demo_textures.h"
#include "turfwise_version.h"
#include "ui/resource.h"
#include "tests/support/file_bytes.h"

namespace {

enum : uint16_t { CONCRETE = 0, GRASS = 1, WATER = 2, SHORT_GRASS = 5, LONG_GRASS = 6, CITY = 10, FOREST = 11 };

const char kLocateError[] = "ERROR:2  Cannot locate Combat Flight Simulator\n";

// A class list of the given surface types, one textured class each, with the
// offset of every class record so that the test knows which bytes may change.
struct ClassList {
    std::vector<uint8_t> bytes;
    std::vector<size_t> classes;
    std::vector<std::string> names;
};

ClassList MakeClassList(const std::vector<uint16_t>& types, bool damagedAtEnd = false)
{
    ClassListBuilder b;
    ClassList list;
    b.AddLong(64);
    for (size_t i = 0; i < types.size(); ++i) {
        list.names.push_back(RealisticTextureName(int(i), types[i]));
        list.classes.push_back(b.AddTexturedClass(int16_t(i), types[i], list.names.back()));
        b.AddEleven(0x0105);
    }
    if (damagedAtEnd)
        b.AddRaw({0x77, 0x00, 1, 2, 3, 4});
    b.AddEnd();
    list.bytes = b.Bytes();
    return list;
}

// The original bytes with the given classes' surfaceType fields set to code.
std::vector<uint8_t> WithSurfaceType(std::vector<uint8_t> bytes, const std::vector<size_t>& classes, uint16_t code)
{
    for (size_t c : classes) {
        bytes[c + CLASS_SURFACE_TYPE_OFS] = uint8_t(code);
        bytes[c + CLASS_SURFACE_TYPE_OFS + 1] = uint8_t(code >> 8);
    }
    return bytes;
}

int ComboIndexOf(uint16_t code)
{
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i)
        if (SurfaceTypeChoices[i].code == code)
            return i;
    return -1;
}

bool Bluish(COLORREF c) { return GetBValue(c) > GetGValue(c) + 20 && GetBValue(c) > GetRValue(c) + 40; }
bool Greenish(COLORREF c) { return GetGValue(c) > GetRValue(c) + 20 && GetGValue(c) > GetBValue(c) + 20; }
bool Greyish(COLORREF c)
{
    int hi = std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
    int lo = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
    return hi - lo < 40;
}

// How bright the screen shows a line: the selected line is highlighted, a
// darker colour behind light text, where other lines are white behind black.
int LineBrightness(DialogDriver& ui, int nLine)
{
    HWND list = ui.Item(IDC_CLASS_LIST);
    ui.OnUiThread([&] { ::UpdateWindow(list); });
    RECT r = {};
    ::SendMessageA(list, LB_GETITEMRECT, nLine, reinterpret_cast<LPARAM>(&r));
    HDC dc = ::GetDC(list);
    int sum = 0, n = 0;
    for (int x = r.left + 20; x < r.right - 2; x += 2, ++n) {
        COLORREF c = ::GetPixel(dc, x, (r.top + r.bottom) / 2);
        sum += (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
    }
    ::ReleaseDC(list, dc);
    return n > 0 ? sum / n : -1;
}

RECT RectInDialog(HWND dialog, HWND control)
{
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class ClassListDlgTest : public ::testing::Test {
protected:
    // The demo folder with small pictures: 256 classes of the default types.
    void UseDemoFolder()
    {
        ASSERT_TRUE(WriteDemoGameFolder(game.Path(), 256, 8));
        game.Register();
    }
    // A class list of the given types, with a picture for every class.
    ClassList UseClassList(const std::vector<uint16_t>& types, bool damagedAtEnd = false)
    {
        ClassList list = MakeClassList(types, damagedAtEnd);
        game.WriteClassList(list.bytes);
        for (const std::string& name : list.names)
            game.WriteTexture(name);
        game.Register();
        return list;
    }
    void ChooseSurfaceType(DialogDriver& ui, uint16_t code)
    {
        ::SendMessageA(ui.Item(IDC_SURFACE_TYPE), CB_SETCURSEL, ComboIndexOf(code), 0);
    }
    // Ticks the first line and gives it `code` with Update; a question it asks stays up.
    void UpdateFirstLine(DialogDriver& ui, uint16_t code)
    {
        ui.ClickCheckBox(0);
        ui.Sync();
        ChooseSurfaceType(ui, code);
        ui.Click(IDC_UPDATE);
    }
    void TypeSurfaceType(DialogDriver& ui, const char* text)
    {
        HWND combo = ui.Item(IDC_SURFACE_TYPE);
        ::SendMessageA(combo, CB_SETCURSEL, WPARAM(-1), 0);
        HWND edit = ::GetWindow(combo, GW_CHILD);
        for (const char* p = text; *p; ++p)
            ::PostMessageA(edit, WM_CHAR, WPARAM(static_cast<unsigned char>(*p)), 1);
        ui.Sync();
    }
    void TimerTick(DialogDriver& ui)
    {
        ::PostMessageA(ui.hwnd, WM_TIMER, 1, 0);
        ui.Sync();
    }

    GameFolder game;
};

// ---- start-up -------------------------------------------------------------

TEST_F(ClassListDlgTest, StartsWithoutTheGameAfterTwoErrors)
{
    GameFolder::Unregister();
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.messageBoxes.size(), 2u);
    EXPECT_EQ(ui.messageBoxes[0].caption, "Turfwise");
    EXPECT_EQ(ui.messageBoxes[0].text, kLocateError);
    EXPECT_EQ(ui.messageBoxes[1].caption, "Turfwise");
    EXPECT_EQ(ui.messageBoxes[1].text.rfind("ERROR:", 0), 0u);
    EXPECT_NE(ui.messageBoxes[1].text.find("  Processing CLASSLIST.BGL\n"), std::string::npos);

    EXPECT_EQ(ui.LineCount(), 0);
    EXPECT_FALSE(ui.Enabled(IDC_UPDATE));
    EXPECT_FALSE(ui.Enabled(IDC_SURFACE_TYPE));
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_TRUE(ui.Enabled(IDC_SHOW_WATER));
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "Preview");
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");

    // Select All on the empty list enables editing until the next message
    // finds nothing ticked.
    ui.Click(IDC_SELECT_ALL);
    bool enabledAfterClick = false;
    ui.OnUiThread([&] { enabledAfterClick = ::IsWindowEnabled(ui.Item(IDC_UPDATE)) != FALSE; });
    EXPECT_TRUE(enabledAfterClick);
    EXPECT_EQ(ui.Text(IDC_STATUS), "All items selected.");
    ui.Sync();
    EXPECT_FALSE(ui.Enabled(IDC_UPDATE));
    EXPECT_FALSE(ui.Enabled(IDC_SURFACE_TYPE));

    // Default has no file to reset: said as a failed scan is, blaming no other program.
    ui.Click(IDC_DEFAULT);
    EXPECT_EQ(ui.Answer().text, "ERROR:6  Scanning CLASSLIST.BGL\n");
    EXPECT_EQ(ui.dlg->m_bModified, 0);
}

TEST_F(ClassListDlgTest, OpensOnTheWaterClassesWithTheSurfaceTypesInTableOrder)
{
    UseDemoFolder();
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    EXPECT_TRUE(ui.messageBoxes.empty());
    ASSERT_EQ(ui.LineCount(), 20);
    EXPECT_EQ(ui.Line(0), "  0 [1] WATER000.BMP Type= Water");
    EXPECT_EQ(ui.Line(1), "  9 [2] WATER009.BMP Type= Water");
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{0});
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "WATER000.BMP");
    EXPECT_TRUE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_WATER));
    EXPECT_FALSE(ui.Enabled(IDC_UPDATE));
    EXPECT_FALSE(ui.Enabled(IDC_SURFACE_TYPE));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");
    UINT_PTR timer = 0;
    ui.OnUiThread([&] { timer = ui.dlg->m_nStatusTimer; });
    EXPECT_NE(timer, 0u);

    HWND combo = ui.Item(IDC_SURFACE_TYPE);
    ASSERT_EQ(::SendMessageA(combo, CB_GETCOUNT, 0, 0), SurfaceTypeChoiceCount);
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        char text[64] = {};
        ::SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, SurfaceTypeChoices[i].name) << i;
        EXPECT_EQ(DWORD(::SendMessageA(combo, CB_GETITEMDATA, i, 0)), SurfaceTypeChoices[i].code) << i;
    }
    EXPECT_EQ(::SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ui.Text(IDC_SURFACE_TYPE), "Concrete");
}

TEST_F(ClassListDlgTest, OpensOnAllClassesWhenNoneIsWater)
{
    ClassList list = UseClassList({CONCRETE, GRASS, CITY});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    EXPECT_TRUE(ui.messageBoxes.empty());
    ASSERT_EQ(ui.LineCount(), 3);
    EXPECT_EQ(ui.Line(2), "  2 [1] CITY002.BMP Type= City");
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_TRUE(ui.Enabled(IDC_SHOW_WATER));

    // Default keeps showing all classes, now with their default types.
    ui.Click(IDC_DEFAULT);
    ui.Sync();
    ASSERT_EQ(ui.LineCount(), 3);
    EXPECT_EQ(ui.Line(0), "  0 [1] LAND000.BMP Type= Water");
    EXPECT_EQ(ui.Line(1), "  1 [1] LAND001.BMP Type= City");
    EXPECT_EQ(ui.Line(2), "  2 [1] CITY002.BMP Type= Bumpy grass");
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist reset to default surface types.");
}

TEST_F(ClassListDlgTest, DamagedFileShowsTheScanReportThenAWarning)
{
    UseClassList({WATER, CITY, WATER}, /*damagedAtEnd=*/true);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.messageBoxes.size(), 2u);
    EXPECT_EQ(ui.messageBoxes[0].caption, "Turfwise - Debug");
    EXPECT_EQ(ui.messageBoxes[1].caption, "Turfwise");
    EXPECT_EQ(ui.messageBoxes[1].text, "WARNING:1  Scanning CLASSLIST.BGL\n");
    // The classes found before the damage are there.
    EXPECT_EQ(ui.LineCount(), 2);
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    EXPECT_EQ(ui.LineCount(), 3);
}

// ---- selection, preview, ticks ---------------------------------------------

TEST_F(ClassListDlgTest, PreviewShowsTheOneSelectedClass)
{
    UseDemoFolder();
    // Classes 1 and 8 are city classes; 8 has lost its picture.
    ::DeleteFileA(game.TexturePath("CITY008.BMP").c_str());
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HWND preview = ui.Item(IDC_PREVIEW);
    auto shown = [&] {
        ui.OnUiThread([&] { ::UpdateWindow(preview); });
        return AverageColour(preview);
    };
    EXPECT_TRUE(Bluish(shown())) << std::hex << shown();

    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    ui.ClickLineText(2);
    ui.Sync();
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{2});
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "GRASS002.BMP");
    EXPECT_TRUE(Greenish(shown())) << std::hex << shown();

    // Two lines selected: the preview stays.
    ui.ClickLineText(4, MK_SHIFT);
    ui.Sync();
    EXPECT_EQ(ui.SelectedLines(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "GRASS002.BMP");

    ui.ClickLineText(1);
    ui.Sync();
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "CITY001.BMP");
    EXPECT_TRUE(Greyish(shown())) << std::hex << shown();

    // A missing picture: the name over the previous picture, and no message.
    ui.ClickLineText(2);
    ui.Sync();
    ::SendMessageA(ui.Item(IDC_CLASS_LIST), LB_SETTOPINDEX, 4, 0);
    ui.ClickLineText(8);
    ui.Sync();
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{8});
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "CITY008.BMP");
    EXPECT_TRUE(Greenish(shown())) << std::hex << shown();
    EXPECT_EQ(ui.FindThreadWindow("Turfwise"), ui.hwnd);
    EXPECT_EQ(ui.Text(IDC_STATUS), "All textures listed.");
}

TEST_F(ClassListDlgTest, TickingEnablesEditingAtTheNextMessage)
{
    UseClassList({WATER, WATER, WATER, CITY});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HWND list = ui.Item(IDC_CLASS_LIST);
    RECT r = {};
    ::SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    const LPARAM onBox = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);

    // The button press ticks; only the release, the next message, enables.
    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, onBox);
    bool ticked = false, enabled = true;
    ui.OnUiThread([&] {
        ticked = ui.dlg->m_classList.GetCheck(1) == 1;
        enabled = ::IsWindowEnabled(ui.Item(IDC_UPDATE)) != FALSE;
    });
    EXPECT_TRUE(ticked);
    EXPECT_FALSE(enabled);
    ::PostMessageA(list, WM_LBUTTONUP, 0, onBox);
    ui.Sync();
    EXPECT_TRUE(ui.Enabled(IDC_UPDATE));
    EXPECT_TRUE(ui.Enabled(IDC_SURFACE_TYPE));
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{1});

    // Unticking the only tick disables both and drops the edit field's selection.
    ::SendMessageA(ui.Item(IDC_SURFACE_TYPE), CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    ui.ClickCheckBox(1);
    ui.Sync();
    EXPECT_TRUE(ui.TickedLines().empty());
    EXPECT_FALSE(ui.Enabled(IDC_UPDATE));
    EXPECT_FALSE(ui.Enabled(IDC_SURFACE_TYPE));
    DWORD start = 0, end = 0;
    ::SendMessageA(ui.Item(IDC_SURFACE_TYPE), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, end);

    // The space bar ticks the line with the caret.
    ui.ClickLineText(2);
    ui.Key(list, VK_SPACE);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{2});
    EXPECT_TRUE(ui.Enabled(IDC_UPDATE));

    // Double-click toggles the lowest selected line only.
    ::SendMessageA(list, LB_SETSEL, FALSE, -1);
    ::SendMessageA(list, LB_SETSEL, TRUE, 0);
    ::SendMessageA(list, LB_SETSEL, TRUE, 2);
    ::PostMessageA(ui.hwnd, WM_COMMAND, MAKEWPARAM(IDC_CLASS_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), (std::vector<int>{0, 2}));
    ::SendMessageA(list, LB_SETSEL, FALSE, 0);
    ::PostMessageA(ui.hwnd, WM_COMMAND, MAKEWPARAM(IDC_CLASS_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{0});

    // A real double-click on a line's text selects it and toggles it.
    ::SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    ui.DoubleClickAt(list, r.left + 80, (r.top + r.bottom) / 2);
    ui.Sync();
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{1});
    EXPECT_EQ(ui.TickedLines(), (std::vector<int>{0, 1}));
}

TEST_F(ClassListDlgTest, SelectAllAndClearAllTickEveryLineAndKeepTheSelection)
{
    UseDemoFolder();
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.ClickLineText(3);
    ui.Sync();
    const std::string preview = ui.Text(IDC_PREVIEW);

    ui.Click(IDC_SELECT_ALL);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines().size(), 20u);
    EXPECT_TRUE(ui.Enabled(IDC_UPDATE));
    EXPECT_TRUE(ui.Enabled(IDC_SURFACE_TYPE));
    EXPECT_EQ(ui.Text(IDC_STATUS), "All items selected.");

    ui.Click(IDC_CLEAR_ALL);
    ui.Sync();
    EXPECT_TRUE(ui.TickedLines().empty());
    EXPECT_FALSE(ui.Enabled(IDC_UPDATE));
    EXPECT_FALSE(ui.Enabled(IDC_SURFACE_TYPE));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Selections cleared.");
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{3});
    EXPECT_EQ(ui.Text(IDC_PREVIEW), preview);

    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");
}

// ---- commands that write the file -------------------------------------------

TEST_F(ClassListDlgTest, UpdateInTheFullListStoresOnlyTheTickedSurfaceTypes)
{
    ClassList list = UseClassList({GRASS, CITY, WATER, FOREST, CONCRETE, WATER});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    EXPECT_EQ(ui.Text(IDC_STATUS), "All textures listed.");
    ui.ClickLineText(3);
    ui.Sync();
    EXPECT_LT(LineBrightness(ui, 3), LineBrightness(ui, 0) - 30);
    ui.ClickCheckBox(0);
    ui.ClickCheckBox(1);
    ui.Sync();
    ChooseSurfaceType(ui, WATER);
    ui.Click(IDC_UPDATE);
    ui.Sync();

    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[0], list.classes[1]}, WATER));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
    ASSERT_EQ(ui.LineCount(), 6);
    EXPECT_EQ(ui.Line(0), "  0 [1] LAND000.BMP Type= Water");
    EXPECT_EQ(ui.Line(1), "  1 [1] CITY001.BMP Type= Water");
    EXPECT_EQ(ui.Line(3), "  3 [1] FOREST003.BMP Type= Forest");
    EXPECT_TRUE(ui.TickedLines().empty());
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{0});
    // The rebuilt list is on the screen too.
    EXPECT_LT(LineBrightness(ui, 0), LineBrightness(ui, 3) - 30);
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "LAND000.BMP");
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_ALL));

    ui.Click(IDC_SHOW_WATER);
    ui.Sync();
    EXPECT_EQ(ui.LineCount(), 4);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Textures with WATER surface type listed.");
    EXPECT_TRUE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_WATER));
    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready*");
}

TEST_F(ClassListDlgTest, UpdateInTheWaterListDropsTheClassesThatLeaveIt)
{
    ClassList list = UseClassList({GRASS, WATER, WATER, CITY, WATER});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.LineCount(), 3);
    ui.ClickCheckBox(0);
    ui.ClickCheckBox(2);
    ui.Sync();
    ChooseSurfaceType(ui, SHORT_GRASS);
    ui.Click(IDC_UPDATE);
    ui.Sync();

    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[1], list.classes[4]}, SHORT_GRASS));
    ASSERT_EQ(ui.LineCount(), 1);
    EXPECT_EQ(ui.Line(0), "  2 [1] WATER002.BMP Type= Water");
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
}

TEST_F(ClassListDlgTest, UpdateToTheSameTypeChangesNoByteButCountsAsAChange)
{
    ClassList list = UseClassList({WATER, CITY});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.ClickCheckBox(0);
    ui.Sync();
    ChooseSurfaceType(ui, WATER);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), list.bytes);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
    EXPECT_EQ(ui.LineCount(), 1);
    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready*");
}

TEST_F(ClassListDlgTest, UpdateWithATypedSurfaceTypeNeedsOneOfTheNames)
{
    ClassList list = UseClassList({WATER, CITY});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.ClickCheckBox(0);
    ui.Sync();

    TypeSurfaceType(ui, "Tarmac");
    ASSERT_EQ(::SendMessageA(ui.Item(IDC_SURFACE_TYPE), CB_GETCURSEL, 0, 0), CB_ERR);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), list.bytes);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Choose a surface type first.");
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{0});
    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");

    TypeSurfaceType(ui, "long GRASS");
    ui.Click(IDC_UPDATE);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[0]}, LONG_GRASS));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
}

TEST_F(ClassListDlgTest, DefaultResetsEveryClassOfTheFileWhateverIsListed)
{
    // Positions 0 and 9 to 11 are water by default.
    std::vector<uint16_t> types(12, CONCRETE);
    types[0] = WATER;
    ClassList list = UseClassList(types);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.LineCount(), 1);

    ui.Click(IDC_DEFAULT);
    ui.Sync();
    std::vector<uint8_t> expected = list.bytes;
    for (size_t i = 0; i < types.size(); ++i)
        expected = WithSurfaceType(expected, {list.classes[i]}, DefaultSurfaceTypes[i]);
    EXPECT_EQ(game.ReadClassList(), expected);
    EXPECT_EQ(ui.LineCount(), 4);
    EXPECT_EQ(ui.Line(1), "  9 [1] LAND009.BMP Type= Water");
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_WATER));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist reset to default surface types.");
    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready*");
}

// Writes `bytes` over the class list in place, through a handle of its own,
// as another program would while Turfwise has the file mapped.
bool RewriteInPlace(const GameFolder& game, const std::vector<uint8_t>& bytes)
{
    HANDLE file = ::CreateFileA(game.ClassListPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

// The same size, every record two bytes further on: a null record in front,
// the end record dropped.
std::vector<uint8_t> ShiftedByTwo(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> shifted(bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end() - 2, shifted.begin() + 2);
    return shifted;
}

const char kChanged[] = "ERROR:3EE  Another program changed CLASSLIST.BGL since it was listed; nothing was changed.\n";

TEST_F(ClassListDlgTest, UpdateAndDefaultOnAFileAnotherProgramRewroteStoreNothingAndListItAnew)
{
    ClassList list = UseClassList({GRASS, CITY, WATER, FOREST});
    const std::string backup = game.ClassListPath() + ".bak";
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();

    // Update: refused before the backup, which would be of another file.
    const std::vector<uint8_t> shifted = ShiftedByTwo(list.bytes);
    ASSERT_TRUE(RewriteInPlace(game, shifted));
    ui.ClickCheckBox(1);
    ui.Sync();
    ChooseSurfaceType(ui, WATER);
    ui.Click(IDC_UPDATE);
    MessageBoxSeen seen = ui.Answer();
    EXPECT_EQ(seen.text, kChanged);
    EXPECT_EQ(game.ReadClassList(), shifted);
    EXPECT_FALSE(std::filesystem::exists(backup));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist listed again: another program changed it.");
    ASSERT_EQ(ui.LineCount(), 4);
    EXPECT_EQ(ui.Line(1), "  1 [1] CITY001.BMP Type= City");

    // The list is the file as it is now: an Update lands where its records are.
    ui.ClickCheckBox(1);
    ui.Sync();
    ChooseSurfaceType(ui, WATER);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    const std::vector<uint8_t> updated = WithSurfaceType(shifted, {list.classes[1] + 2}, WATER);
    EXPECT_EQ(game.ReadClassList(), updated);
    EXPECT_EQ(ReadFileBytes(backup), shifted);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");

    // Update with the backup made: the stores themselves refuse.
    ASSERT_TRUE(RewriteInPlace(game, list.bytes));
    ui.ClickCheckBox(1);
    ui.Sync();
    ChooseSurfaceType(ui, CONCRETE);
    ui.Click(IDC_UPDATE);
    seen = ui.Answer();
    EXPECT_EQ(seen.text, kChanged);
    EXPECT_EQ(game.ReadClassList(), list.bytes);
    EXPECT_EQ(ReadFileBytes(backup), shifted);

    // Default, after another rewrite: nothing changes.
    ASSERT_TRUE(RewriteInPlace(game, shifted));
    ui.Click(IDC_DEFAULT);
    seen = ui.Answer();
    EXPECT_EQ(seen.text, kChanged);
    EXPECT_EQ(game.ReadClassList(), shifted);
    EXPECT_EQ(ui.Line(1), "  1 [1] CITY001.BMP Type= City");

    // Another Turfwise's surface types meanwhile are no conflict.
    const std::vector<uint8_t> other = WithSurfaceType(shifted, {list.classes[3] + 2}, SHORT_GRASS);
    ASSERT_TRUE(RewriteInPlace(game, other));
    ui.ClickCheckBox(0);
    ui.Sync();
    ChooseSurfaceType(ui, CONCRETE);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(other, {list.classes[0] + 2}, CONCRETE));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
}

// Ctrl+Z and the system menu take back the last Update or Default, step by
// step; Ctrl+Y and Ctrl+Shift+Z take them again. Every list is rebuilt as
// after Update, and the backup stays the file as it was before the first.
TEST_F(ClassListDlgTest, UndoAndRedoByTheKeysAndTheSystemMenuWalkTheStepsBothWays)
{
    const ClassList list = UseClassList({GRASS, CITY, WATER, FOREST});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SHOW_ALL);
    UpdateFirstLine(ui, FOREST);
    ui.Sync();
    const std::vector<uint8_t> updated = game.ReadClassList();
    ui.Click(IDC_DEFAULT);
    ui.Sync();
    const std::vector<uint8_t> reset = game.ReadClassList();
    ASSERT_NE(reset, updated);

    // A key with Ctrl (and Shift), or a menu command; then the file, the
    // status and the menu's Undo and Redo, each greyed while it has no step.
    const struct {
        UINT key;
        bool shift;
        const std::vector<uint8_t>& file;
        const char* status;
        const char* menu;
    } steps[] = {
        {'Z', false, updated, "Default undone.", "Undo Update\tCtrl+Z|Redo Default\tCtrl+Y"},
        {IDM_UNDO, false, list.bytes, "Update undone.", "Undo\tCtrl+Z|Redo Update\tCtrl+Y"},
        {'Y', false, updated, "Update redone.", "Undo Update\tCtrl+Z|Redo Default\tCtrl+Y"},
        {'Z', true, reset, "Default redone.", "Undo Default\tCtrl+Z|Redo\tCtrl+Y"},
        {IDM_UNDO, false, updated, "Default undone.", "Undo Update\tCtrl+Z|Redo Default\tCtrl+Y"},
        {IDM_REDO, false, reset, "Default redone.", "Undo Default\tCtrl+Z|Redo\tCtrl+Y"},
    };
    for (const auto& step : steps) {
        ui.ClickCheckBox(1);   // cleared as after Update
        if (step.key == IDM_UNDO || step.key == IDM_REDO)
            ui.SysCommand(step.key);
        else
            ui.CtrlKey(ui.Item(IDC_CLASS_LIST), step.key, step.shift);
        ui.Sync();
        EXPECT_EQ(game.ReadClassList(), step.file) << step.status;
        EXPECT_EQ(ui.Text(IDC_STATUS), step.status);
        const std::string undo = ui.MenuText(IDM_UNDO), redo = ui.MenuText(IDM_REDO);
        EXPECT_EQ(undo + "|" + redo, step.menu);
        EXPECT_EQ(ui.MenuOffered(IDM_UNDO), undo.find(' ') != std::string::npos);
        EXPECT_EQ(ui.MenuOffered(IDM_REDO), redo.find(' ') != std::string::npos);
        EXPECT_EQ(ui.LineCount(), 4);
        EXPECT_TRUE(ui.TickedLines().empty());
    }
    EXPECT_EQ(ReadFileBytes(game.ClassListPath() + ".bak"), list.bytes);
    EXPECT_EQ(ui.dlg->m_bModified, 1);
    EXPECT_TRUE(ui.messageBoxes.empty());

    // In the surface type box's edit field, Ctrl+Z is the field's own.
    ui.ClickCheckBox(0);
    ui.Sync();
    const HWND field = ::GetWindow(ui.Item(IDC_SURFACE_TYPE), GW_CHILD);
    ui.OnUiThread([&] { ::SetFocus(field); });
    ui.CtrlKey(field, 'Z');
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), reset);
}

// An undo leaves a surface type that another program set since; a change of
// anything else makes the steps void, and the next edit asks about the
// backup, which is no longer this file's.
TEST_F(ClassListDlgTest, UndoAfterAnotherProgramLeavesItsSurfaceTypesAndStopsAtItsOtherChanges)
{
    const ClassList list = UseClassList({GRASS, CITY, WATER, FOREST});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SHOW_ALL);
    ui.Click(IDC_DEFAULT);   // classes 0, 2 and 3 change
    ui.Sync();
    const std::vector<uint8_t> other = WithSurfaceType(game.ReadClassList(), {list.classes[2]}, SHORT_GRASS);
    ASSERT_TRUE(RewriteInPlace(game, other));
    ui.CtrlKey(ui.Item(IDC_CLASS_LIST), 'Z');
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[2]}, SHORT_GRASS));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Default undone; 1 class left as another program set it.");
    ui.CtrlKey(ui.Item(IDC_CLASS_LIST), 'Y');
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), other);

    std::vector<uint8_t> renamed = other;
    renamed[list.classes[1] - 3] ^= 0x20;   // a letter of the first texture name
    ASSERT_TRUE(RewriteInPlace(game, renamed));
    ui.SysCommand(IDM_UNDO);
    EXPECT_EQ(ui.Answer().text, kChanged);
    EXPECT_EQ(game.ReadClassList(), renamed);
    EXPECT_FALSE(ui.MenuOffered(IDM_UNDO));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist listed again: another program changed it.");
    UpdateFirstLine(ui, FOREST);
    EXPECT_EQ(ui.Answer(IDNO).text.rfind("Could not save a backup copy of CLASSLIST.BGL (ERROR:50)", 0), 0u);
    EXPECT_EQ(game.ReadClassList(), renamed);
}

// A file damaged from the start is listed up to its damage; an Update stores,
// and the rescan after it fails as the first did.
TEST_F(ClassListDlgTest, FailedRescanAfterUpdateKeepsTheListAndReports)
{
    ClassList list = UseClassList({WATER, CITY}, true);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.messageBoxes.size(), 2u);
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    const std::string before = ui.Line(1);

    ui.ClickCheckBox(1);
    ui.Sync();
    ChooseSurfaceType(ui, FOREST);
    ui.Click(IDC_UPDATE);
    MessageBoxSeen debug = ui.Answer();
    MessageBoxSeen error = ui.Answer();
    EXPECT_EQ(debug.caption, "Turfwise - Debug");
    EXPECT_EQ(error.caption, "Turfwise");
    EXPECT_EQ(error.text, "ERROR:1  Scanning CLASSLIST.BGL\n");
    // The store is in the file; the list still shows the old line.
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[1]}, FOREST));
    EXPECT_EQ(ui.LineCount(), 2);
    EXPECT_EQ(ui.Line(1), before);
    EXPECT_EQ(ui.Text(IDC_STATUS), "All textures listed.");
    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready*");
}

// A class whose texture list lies outside the file is a line with its error,
// and every class after it is listed.
TEST_F(ClassListDlgTest, AClassWhoseTextureCannotBeReadIsALineAndTheOthersFollowIt)
{
    ClassList list = MakeClassList({GRASS, CITY, FOREST, GRASS});
    WriteLE16(&list.bytes[list.classes[1] + CLASS_TEXTURE_LIST_OFS], 0x7FFF);
    game.WriteClassList(list.bytes);
    for (const std::string& name : list.names)
        game.WriteTexture(name);
    game.Register();
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.LineCount(), 4);
    EXPECT_EQ(ui.Line(0), "  0 [1] LAND000.BMP Type= Grass");
    EXPECT_EQ(ui.Line(1), "  1 [?] ERROR:57 Type= City");
    EXPECT_EQ(ui.Line(2), "  2 [1] FOREST002.BMP Type= Forest");
    EXPECT_EQ(ui.Line(3), "  3 [1] LAND003.BMP Type= Grass");
    // Its line can be given a surface type like any other.
    ui.ClickCheckBox(1);
    ui.Sync();
    ChooseSurfaceType(ui, WATER);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[1]}, WATER));
    EXPECT_EQ(ui.Line(3), "  3 [1] LAND003.BMP Type= Grass");
}

// ---- the window ----------------------------------------------------------------

TEST_F(ClassListDlgTest, TooltipsNameTheControls)
{
    UseClassList({WATER});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HWND tip = nullptr;
    ui.OnUiThread([&] { tip = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); });
    ASSERT_NE(tip, nullptr);
    ::SendMessageA(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 10);
    ::SendMessageA(tip, TTM_SETDELAYTIME, TTDT_RESHOW, 10);

    // Over the middle of the control; over the surface type box's arrow, as
    // its edit field is a window of its own that is no tool.
    auto hover = [&](int nID) {
        HWND control = ui.Item(nID);
        RECT r;
        ::GetWindowRect(control, &r);
        POINT pt = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        if (nID == IDC_SURFACE_TYPE)
            pt.x = r.right - 4;
        ::SetCursorPos(pt.x, pt.y);
        HWND under = ::WindowFromPoint(pt);
        ::ScreenToClient(under, &pt);
        ::PostMessageA(under, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        ui.Sync();
    };
    auto tipText = [&] {
        char text[128] = {};
        ::SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return std::string(text);
    };
    const struct {
        int nID;
        const char* text;
    } tools[] = {
        {IDC_CLASS_LIST, "Texture class list"},
        {IDC_SHOW_ALL, "Display all Texture classes"},
        {IDC_SHOW_WATER, "Display only Texture classes with WATER Surface type"},
        {IDC_SELECT_ALL, "Select all items in the Texture class list"},
        {IDC_SURFACE_TYPE, "Texture class Surface types"},
        {IDC_DEFAULT, "Reset Texture class Surface types to their default values"},
        {IDC_CLEAR_ALL, "Unselect all items in the Texture class list"},
        {IDC_UPDATE, "Update the Classlist file"},
        {IDOK, "Quit Turfwise"},
    };
    // Disabled controls are not found under the cursor, so they show no tip:
    // tick something (Update and the surface type box) and show each list
    // once (Show All, Show Water).
    auto expectTip = [&](const char* text, int nID) {
        hover(nID);
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(tip) && tipText() == text; }, 3000))
            << nID << ": " << tipText();
    };
    ui.Click(IDC_SELECT_ALL);
    ui.Sync();
    for (const auto& tool : tools)
        if (tool.nID != IDC_SHOW_WATER)
            expectTip(tool.text, tool.nID);
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    expectTip(tools[2].text, IDC_SHOW_WATER);
    for (int nID : {IDC_PREVIEW, IDC_STATUS, IDC_INSTRUCTIONS}) {
        hover(nID);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(tip); }, 3000)) << nID << ": " << tipText();
    }
}

TEST_F(ClassListDlgTest, ControlsFollowTheTemplateAndTheAnchors)
{
    UseClassList({WATER});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    const DWORD style = DWORD(::GetWindowLongA(ui.hwnd, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              DWORD(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongA(ui.hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    // Template order is the tab order; positions are in dialog units.
    const struct {
        int nID;
        RECT units;
    } layout[] = {
        {IDOK, {243, 122, 50, 14}},          {IDC_CLASS_LIST, {7, 8, 215, 64}},
        {IDC_PREVIEW, {229, 8, 64, 64}},     {IDC_SHOW_ALL, {7, 107, 50, 14}},
        {IDC_DEFAULT, {243, 107, 50, 14}},   {IDC_SHOW_WATER, {7, 122, 50, 14}},
        {IDC_SELECT_ALL, {60, 114, 50, 14}}, {IDC_CLEAR_ALL, {190, 113, 50, 14}},
        {IDC_SURFACE_TYPE, {112, 122, 75, 50}}, {IDC_UPDATE, {125, 107, 50, 14}},
        {IDC_STATUS, {7, 139, 286, 12}},     {IDC_INSTRUCTIONS, {7, 76, 286, 27}},
    };
    HWND child = ::GetWindow(ui.hwnd, GW_CHILD);
    for (const auto& c : layout) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(::GetDlgCtrlID(child), c.nID);
        // The dialog manager converts the position and the size one by one.
        RECT expected = c.units;
        ::MapDialogRect(ui.hwnd, &expected);
        expected.right += expected.left;
        expected.bottom += expected.top;
        RECT actual = RectInDialog(ui.hwnd, child);
        EXPECT_EQ(actual.left, expected.left) << c.nID;
        EXPECT_EQ(actual.top, expected.top) << c.nID;
        EXPECT_EQ(actual.right, expected.right) << c.nID;
        if (c.nID != IDC_SURFACE_TYPE) {  // a combo box's height is its closed height
            EXPECT_EQ(actual.bottom, expected.bottom) << c.nID;
        }
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(ui.Text(IDC_INSTRUCTIONS),
              "Check one or more classes from the list, choose a Surface Type and then press \"&Update\". "
              "The \"&Default\" button will reset all Surface Types to their default values.");

    // The list's own font.
    LOGFONTA font = {};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(ui.Item(IDC_CLASS_LIST), WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    EXPECT_STREQ(font.lfFaceName, "Courier New");
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfPitchAndFamily, FF_MODERN | DEFAULT_PITCH);

    // Enlarged: the list grows in height only, the preview both ways, the
    // buttons on the right follow both edges.
    RECT list = RectInDialog(ui.hwnd, ui.Item(IDC_CLASS_LIST));
    RECT preview = RectInDialog(ui.hwnd, ui.Item(IDC_PREVIEW));
    RECT quit = RectInDialog(ui.hwnd, ui.Item(IDOK));
    RECT status = RectInDialog(ui.hwnd, ui.Item(IDC_STATUS));
    RECT frame;
    ::GetWindowRect(ui.hwnd, &frame);
    ::SetWindowPos(ui.hwnd, nullptr, 0, 0, frame.right - frame.left + 120, frame.bottom - frame.top + 80,
                   SWP_NOMOVE | SWP_NOZORDER);
    ui.Sync();
    RECT list2 = RectInDialog(ui.hwnd, ui.Item(IDC_CLASS_LIST));
    RECT preview2 = RectInDialog(ui.hwnd, ui.Item(IDC_PREVIEW));
    RECT quit2 = RectInDialog(ui.hwnd, ui.Item(IDOK));
    RECT status2 = RectInDialog(ui.hwnd, ui.Item(IDC_STATUS));
    EXPECT_EQ(list2.right - list2.left, list.right - list.left);
    EXPECT_EQ(list2.bottom - list2.top, list.bottom - list.top + 80);
    EXPECT_EQ(preview2.right - preview2.left, preview.right - preview.left + 120);
    EXPECT_EQ(preview2.bottom - preview2.top, preview.bottom - preview.top + 80);
    EXPECT_EQ(quit2.left, quit.left + 120);
    EXPECT_EQ(quit2.top, quit.top + 80);
    EXPECT_EQ(status2.top, status.top + 80);
    EXPECT_EQ(status2.right - status2.left, status.right - status.left + 120);
}

TEST_F(ClassListDlgTest, SystemMenuOpensTheAboutBoxForIds16To31)
{
    UseClassList({WATER});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HMENU menu = ::GetSystemMenu(ui.hwnd, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 3);
    char text[64] = {};
    ::GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Turfwise...");
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
    EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);

    const struct {
        WPARAM command;
        int close;  // 0 Enter, 1 Escape, 2 the Ok button
    } runs[] = {{IDM_ABOUTBOX, 0}, {0x0017, 1}, {0x001F, 2}};
    for (const auto& run : runs) {
        ::PostMessageA(ui.hwnd, WM_SYSCOMMAND, run.command, 0);
        HWND about = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (about = ui.FindThreadWindow("About Turfwise...")) != nullptr; }))
            << run.command;
        EXPECT_EQ(::GetWindow(about, GW_OWNER), ui.hwnd);
        EXPECT_FALSE(::IsWindowEnabled(ui.hwnd));
        EXPECT_FALSE(::GetWindowLongA(about, GWL_STYLE) & WS_SYSMENU);
        HWND ok = ::GetDlgItem(about, IDOK);
        char okText[16] = {};
        ::GetWindowTextA(ok, okText, sizeof okText);
        EXPECT_STREQ(okText, "&Ok");
        std::string texts;
        for (HWND c = ::GetWindow(about, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            char t[64] = {};
            ::GetWindowTextA(c, t, sizeof t);
            texts += std::string(t) + "|";
            if ((::GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                EXPECT_NE(::SendMessageA(c, STM_GETICON, 0, 0), 0);
            }
        }
        EXPECT_NE(texts.find(TURFWISE_VERSION_TITLE "|"), std::string::npos) << texts;

        if (run.close == 0)
            ui.Key(ok, VK_RETURN);
        else if (run.close == 1)
            ui.Key(ok, VK_ESCAPE);
        else
            ui.ClickAt(ok, 5, 5);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); })) << run.command;
        EXPECT_TRUE(::IsWindowEnabled(ui.hwnd));
    }
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");
    EXPECT_EQ(ui.LineCount(), 1);

    // Ids outside 16 to 31 are not the About item.
    ::PostMessageA(ui.hwnd, WM_SYSCOMMAND, 0x0020, 0);
    ui.Sync();
    EXPECT_EQ(ui.FindThreadWindow("About Turfwise..."), nullptr);
}

TEST_F(ClassListDlgTest, EveryWayOfClosingEndsTheDialogAndReleasesTheFile)
{
    UseClassList({WATER, CITY});
    enum Way { QUIT, ENTER, ESCAPE, CLOSE_BOX, SYSTEM_CLOSE, ALT_F4 };
    const struct {
        Way way;
        INT_PTR result;
    } ways[] = {{QUIT, IDOK},          {ENTER, IDOK},          {ESCAPE, IDCANCEL},
                {CLOSE_BOX, IDCANCEL}, {SYSTEM_CLOSE, IDCANCEL}, {ALT_F4, IDCANCEL}};
    for (const auto& w : ways) {
        DialogDriver ui;
        ASSERT_TRUE(ui.Started());
        HICON icon = reinterpret_cast<HICON>(::SendMessageA(ui.hwnd, WM_GETICON, ICON_BIG, 0));
        EXPECT_NE(icon, nullptr);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(ui.hwnd, WM_GETICON, ICON_SMALL, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(ui.hwnd, WM_QUERYDRAGICON, 0, 0)), icon);

        switch (w.way) {
        case QUIT: ui.Click(IDOK); break;
        case ENTER: ui.Key(ui.Item(IDC_CLASS_LIST), VK_RETURN); break;
        case ESCAPE: ui.Key(ui.Item(IDC_CLASS_LIST), VK_ESCAPE); break;
        case CLOSE_BOX: ::PostMessageA(ui.hwnd, WM_CLOSE, 0, 0); break;
        case SYSTEM_CLOSE: ::PostMessageA(ui.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case ALT_F4: ui.Key(ui.hwnd, VK_F4, /*alt=*/true); break;
        }
        EXPECT_EQ(ui.WaitForEnd(5000), w.result) << w.way;
        EXPECT_FALSE(::IsWindow(ui.hwnd)) << w.way;
        EXPECT_TRUE(ui.messageBoxes.empty()) << w.way;
        // The mapping and the file handle are gone: the file opens unshared.
        HANDLE alone = ::CreateFileA(game.ClassListPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(alone, INVALID_HANDLE_VALUE) << w.way;
        ::CloseHandle(alone);
    }
}

// ---- the space bar and the double-click on lines that start with a blank ------

int CaretLine(DialogDriver& ui)
{
    return int(::SendMessageA(ui.Item(IDC_CLASS_LIST), LB_GETCARETINDEX, 0, 0));
}

TEST_F(ClassListDlgTest, SpaceBarTicksWithoutMovingTheSelection)
{
    UseClassList({CITY, GRASS, FOREST, CONCRETE, GRASS});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HWND list = ui.Item(IDC_CLASS_LIST);
    ASSERT_EQ(ui.Line(2), "  2 [1] FOREST002.BMP Type= Forest");

    ui.ClickLineText(1);
    ui.Key(list, VK_SPACE);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{1});
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{1});
    EXPECT_EQ(CaretLine(ui), 1);
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "LAND001.BMP");
    EXPECT_TRUE(ui.Enabled(IDC_UPDATE));

    // The second press unticks the same line.
    ui.Key(list, VK_SPACE);
    ui.Sync();
    EXPECT_TRUE(ui.TickedLines().empty());
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{1});
    EXPECT_EQ(CaretLine(ui), 1);
    EXPECT_FALSE(ui.Enabled(IDC_UPDATE));

    // With several lines selected, all of them take the caret line's new state.
    ui.ClickLineText(3, MK_SHIFT);
    ui.Key(list, VK_SPACE);
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ui.SelectedLines(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(CaretLine(ui), 3);
}

TEST_F(ClassListDlgTest, DoubleClickOnTheBoxOfALineOutsideTheSelectionTicksThatLineOnly)
{
    UseClassList({CITY, GRASS, FOREST, CONCRETE});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HWND list = ui.Item(IDC_CLASS_LIST);
    ui.ClickLineText(1);
    ui.ClickLineText(3, MK_CONTROL);
    ui.Sync();
    ASSERT_EQ(ui.SelectedLines(), (std::vector<int>{1, 3}));

    // Ctrl+click on line 3's text just beside its box takes it out of the
    // selection; the click on the box that follows is the second click of a
    // double click.
    RECT r = {};
    ::SendMessageA(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    const int y = (r.top + r.bottom) / 2;
    ui.ClickAt(list, r.left + 16, y, MK_CONTROL);
    ui.Sync();
    ASSERT_EQ(ui.SelectedLines(), std::vector<int>{1});
    ::PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.left + 13, y));
    ::PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(r.left + 13, y));
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{3});
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{3});
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "LAND003.BMP");
}

TEST_F(ClassListDlgTest, DoubleClickWithNoLineSelectedTicksNothing)
{
    UseClassList({CITY, GRASS, FOREST});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HWND list = ui.Item(IDC_CLASS_LIST);
    ui.ClickCheckBox(2);
    ui.Sync();
    ::SendMessageA(list, LB_SETSEL, FALSE, -1);
    ::SendMessageA(list, LB_SETCARETINDEX, 1, FALSE);
    ASSERT_TRUE(ui.SelectedLines().empty());
    ::PostMessageA(ui.hwnd, WM_COMMAND, MAKEWPARAM(IDC_CLASS_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    ui.Sync();
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{2});
    EXPECT_TRUE(ui.SelectedLines().empty());
}

TEST_F(ClassListDlgTest, FailedRescanAfterDefaultKeepsTheListAndReports)
{
    ClassList list = UseClassList({WATER, CITY, FOREST}, true);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    const std::vector<std::string> before = {ui.Line(0), ui.Line(1), ui.Line(2)};

    ui.Click(IDC_DEFAULT);
    MessageBoxSeen debug = ui.Answer();
    MessageBoxSeen error = ui.Answer();
    EXPECT_EQ(debug.caption, "Turfwise - Debug");
    EXPECT_EQ(error.caption, "Turfwise");
    EXPECT_EQ(error.text, "ERROR:1  Scanning CLASSLIST.BGL\n");
    // The defaults are in the file; the list still shows the old lines.
    std::vector<uint8_t> expected = list.bytes;
    for (size_t i = 0; i < list.classes.size(); ++i)
        expected = WithSurfaceType(expected, {list.classes[i]}, DefaultSurfaceTypes[i]);
    EXPECT_EQ(game.ReadClassList(), expected);
    ASSERT_EQ(ui.LineCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ui.Line(i), before[size_t(i)]) << i;
    EXPECT_EQ(ui.Text(IDC_STATUS), "All textures listed.");
    TimerTick(ui);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready*");
}

// The system cannot back the view (a full disk under the file, a share that
// went away): the store is abandoned with the system's error, and the list
// shows the file as it is.
TEST_F(ClassListDlgTest, UpdateAndDefaultThatTheSystemFailsReportItsErrorAndChangeNothing)
{
    UseClassList({WATER, CITY, FOREST});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SHOW_ALL);
    ui.Sync();
    // A first edit makes the backup, so the fault below meets the stores.
    ui.ClickCheckBox(1);
    ChooseSurfaceType(ui, GRASS);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    ASSERT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
    const std::vector<uint8_t> before = game.ReadClassList();

    ui.ClickCheckBox(0);
    ui.ClickCheckBox(2);
    ui.Sync();
    ASSERT_EQ(ui.TickedLines(), (std::vector<int>{0, 2}));
    ChooseSurfaceType(ui, GRASS);
    // Past the backup's two reads of the view (the listing checked, the copy
    // compared): the stores' own pass.
    ui.OnUiThread([] { FaultNextViewAccess(2); });
    ui.Click(IDC_UPDATE);
    MessageBoxSeen error = ui.Answer();
    EXPECT_EQ(error.caption, "Turfwise");
    EXPECT_EQ(error.text, "ERROR:70  Updating CLASSLIST.BGL\n0 of the 2 ticked classes, the first in the list, "
                          "were changed; the others are as they were.\n");
    EXPECT_EQ(game.ReadClassList(), before);
    EXPECT_EQ(ui.LineCount(), 3);
    EXPECT_TRUE(ui.TickedLines().empty());
    EXPECT_NE(ui.Text(IDC_STATUS), "Classlist updated.");

    ui.OnUiThread([] { FaultNextViewAccess(2); });
    ui.Click(IDC_DEFAULT);
    error = ui.Answer();
    EXPECT_EQ(error.text, "ERROR:70  Resetting CLASSLIST.BGL\n0 classes, the first in the file, were reset; the "
                          "others are as they were.\n");
    EXPECT_EQ(game.ReadClassList(), before);
    EXPECT_NE(ui.Text(IDC_STATUS), "Classlist reset to default surface types.");
    EXPECT_EQ(ui.dlg->m_bModified, 1);
}

// ---- the backup -----------------------------------------------------------------

std::vector<std::string> SceneryFolder(const GameFolder& game)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(game.Path() + "\\Scenery\\All\\Scenery"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ClassListDlgTest, FirstStoreOfARunBacksUpTheFileAsItWasAndLaterOnesKeepThatCopy)
{
    ClassList list = UseClassList({WATER, CITY});
    const std::string backup = game.ClassListPath() + ".bak";
    // Left by an earlier run of a program with this process id that crashed.
    std::ofstream(backup + "." + std::to_string(::GetCurrentProcessId()) + ".tmp") << "half a copy";
    {
        DialogDriver ui;
        ASSERT_TRUE(ui.Started());
        EXPECT_FALSE(std::filesystem::exists(backup));
        UpdateFirstLine(ui, FOREST);
        ui.Sync();
        EXPECT_EQ(ReadFileBytes(backup), list.bytes);
        EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[0]}, FOREST));
        ui.Click(IDC_DEFAULT);
        ui.Sync();
        EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist reset to default surface types.");
        EXPECT_TRUE(ui.messageBoxes.empty());
    }
    EXPECT_EQ(ReadFileBytes(backup), list.bytes);

    // A later run finds the backup and leaves it alone.
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ui.Click(IDC_SELECT_ALL);
    ChooseSurfaceType(ui, GRASS);
    ui.Click(IDC_UPDATE);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[0]}, GRASS));
    EXPECT_EQ(ReadFileBytes(backup), list.bytes);
    EXPECT_EQ(SceneryFolder(game), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));
}

TEST_F(ClassListDlgTest, AFileUnderTheBackupsNameThatIsNoCopyIsKeptAndTheDialogAsksFirst)
{
    ClassList list = UseClassList({WATER, CITY});
    const std::string backup = game.ClassListPath() + ".bak";
    std::vector<uint8_t> renamed = list.bytes;
    renamed[list.classes[1] - 3] ^= 0x20;   // a letter of the first texture name
    const std::vector<std::vector<uint8_t>> notCopies = {
        {}, std::vector<uint8_t>(list.bytes.begin(), list.bytes.end() - 1), renamed};
    for (const std::vector<uint8_t>& other : notCopies) {
        WriteFileBytes(backup, other);
        DialogDriver ui;
        ASSERT_TRUE(ui.Started());
        UpdateFirstLine(ui, FOREST);
        MessageBoxSeen asked = ui.Answer(IDNO);
        EXPECT_EQ(asked.caption, "Turfwise");
        EXPECT_EQ(asked.text, "Could not save a backup copy of CLASSLIST.BGL (ERROR:50): CLASSLIST.BGL.bak is there "
                              "and is not a copy of it. Rename or delete that file to start a new backup.\n\n"
                              "Change the file anyway?");
        // The question is the dialog's: it stays in front, and nothing else can be pressed under it.
        EXPECT_EQ(asked.owner, ui.hwnd);
        EXPECT_FALSE(asked.ownerEnabled);
        EXPECT_EQ(asked.defaultButton, IDNO);
        EXPECT_EQ(game.ReadClassList(), list.bytes);
        EXPECT_EQ(ReadFileBytes(backup), other);
        EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");
        EXPECT_TRUE(::IsWindowEnabled(ui.hwnd));
    }

    // A copy that differs only in surface types is this file's backup: no question.
    const std::vector<uint8_t> earlier = WithSurfaceType(list.bytes, {list.classes[1]}, GRASS);
    WriteFileBytes(backup, earlier);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    UpdateFirstLine(ui, FOREST);
    ui.Sync();
    EXPECT_TRUE(ui.messageBoxes.empty());
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[0]}, FOREST));
    EXPECT_EQ(ReadFileBytes(backup), earlier);
}

TEST_F(ClassListDlgTest, BackupThatCannotBeWrittenAsksAndNoLeavesTheFile)
{
    ClassList list = UseClassList({WATER, CITY});
    // A folder where the backup should go: nothing can be saved there.
    ASSERT_TRUE(::CreateDirectoryA((game.ClassListPath() + ".bak").c_str(), nullptr));
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    UpdateFirstLine(ui, FOREST);
    MessageBoxSeen asked = ui.Answer(IDNO);
    EXPECT_EQ(asked.caption, "Turfwise");
    EXPECT_EQ(asked.text.rfind("Could not save a backup copy of CLASSLIST.BGL (ERROR:50)", 0), 0u) << asked.text;
    EXPECT_EQ(game.ReadClassList(), list.bytes);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");
    EXPECT_EQ(ui.TickedLines(), std::vector<int>{0});
    EXPECT_EQ(SceneryFolder(game), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));

    // Asked again at the next try; Yes changes the file, and the run asks no more.
    ui.Click(IDC_UPDATE);
    EXPECT_EQ(ui.Answer(IDYES).caption, "Turfwise");
    EXPECT_EQ(game.ReadClassList(), WithSurfaceType(list.bytes, {list.classes[0]}, FOREST));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");
    ui.Click(IDC_DEFAULT);
    ui.Sync();
    EXPECT_EQ(game.ReadClassList(), list.bytes);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist reset to default surface types.");
    EXPECT_EQ(SceneryFolder(game), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));
}

} // namespace
