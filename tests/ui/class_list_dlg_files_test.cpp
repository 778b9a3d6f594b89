// The main dialog's commands on files under Wine: another class list opened
// from the system menu (the Open dialog stood in for) or dropped on the
// dialog, and the backup put back.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/texture_classes.h"
#include "tests/support/file_bytes.h"
#include "tests/ui/dialog_driver.h"
#include "tools/classlist_builder.h"
#include "ui/resource.h"
#include "ui/shell_dialogs.h"
#include "ui/virtual_store.h"

namespace {

enum : uint16_t { GRASS = 1, WATER = 2, LONG_GRASS = 6, CITY = 10, FOREST = 11 };

struct ClassList {
    std::vector<uint8_t> bytes;
    std::vector<size_t> classes;
};

ClassList WriteClassList(const GameFolder& game, const std::vector<uint16_t>& types)
{
    ClassListBuilder b;
    ClassList list;
    b.AddLong(64);
    for (size_t i = 0; i < types.size(); ++i) {
        const std::string name = RealisticTextureName(int(i), types[i]);
        list.classes.push_back(b.AddTexturedClass(int16_t(i), types[i], name));
        game.WriteTexture(name);
    }
    b.AddEnd();
    list.bytes = b.Bytes();
    game.WriteClassList(list.bytes);
    return list;
}

std::vector<uint8_t> WithType(std::vector<uint8_t> bytes, size_t at, uint16_t code)
{
    bytes[at + CLASS_SURFACE_TYPE_OFS] = uint8_t(code);
    bytes[at + CLASS_SURFACE_TYPE_OFS + 1] = uint8_t(code >> 8);
    return bytes;
}

// The Open dialog's stand-in: gives g_chosen, or cancels when it is empty.
std::string g_chosen;
std::string g_startFolder;
HWND g_openOwner;

int ChooseForTest(HWND hOwner, LPCSTR lpszFolder, char* lpszPath, DWORD nSize)
{
    g_openOwner = hOwner;
    g_startFolder = lpszFolder ? lpszFolder : "";
    ::lstrcpynA(lpszPath, g_chosen.c_str(), int(nSize));
    return g_chosen.empty() ? 0 : 1;
}

// A WM_DROPFILES as the shell sends it: a DROPFILES block in global memory,
// followed by the names, each ending in a zero byte, and one more zero byte.
void Drop(DialogDriver& ui, const std::string& path)
{
    HGLOBAL hDrop = ::GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(hDrop));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(), path.size());
    ::GlobalUnlock(hDrop);
    ::PostMessageA(ui.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(hDrop), 0);
    ui.Sync();
}

// The path the About box names, read while it is up.
std::string AboutClassList(DialogDriver& ui)
{
    ui.SysCommand(IDM_ABOUTBOX);
    HWND about = nullptr;
    WaitUntil([&] { return (about = ui.FindThreadWindow("About Turfwise...")) != nullptr; });
    if (!about)
        return "<no About box>";
    char text[1024] = {};
    ::GetDlgItemTextA(about, IDC_ABOUT_CLASS_LIST, text, sizeof text);
    ui.Key(::GetDlgItem(about, IDOK), VK_RETURN);
    WaitUntil([&] { return !::IsWindow(about); });
    return text;
}

void UpdateFirstLine(DialogDriver& ui, uint16_t code)
{
    ui.ClickCheckBox(0);
    ui.Sync();
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i)
        if (SurfaceTypeChoices[i].code == code)
            ::SendMessageA(ui.Item(IDC_SURFACE_TYPE), CB_SETCURSEL, i, 0);
    ui.Click(IDC_UPDATE);
    ui.Sync();
}

class ClassListDlgFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetChooseFileHook(ChooseForTest);
        g_chosen.clear();
        g_startFolder.clear();
        g_openOwner = nullptr;
    }
    void TearDown() override { SetChooseFileHook(nullptr); }

    GameFolder game;    // registered as the game's
    GameFolder other;   // a second installation that no registry entry names
};

TEST_F(ClassListDlgFilesTest, SystemMenuOffersOpenAndRestoreBeforeTheSeparatorAndAbout)
{
    WriteClassList(game, {WATER, CITY});
    game.Register();
    const std::string backup = game.ClassListPath() + ".bak";
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    HMENU menu = ::GetSystemMenu(ui.hwnd, FALSE);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 8);
    char text[64] = {};
    ::GetMenuStringA(menu, count - 4, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Open Class List...");
    EXPECT_EQ(::GetMenuItemID(menu, count - 4), UINT(IDM_OPENCLASSLIST));
    ::GetMenuStringA(menu, count - 3, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "Restore &Backup...");
    EXPECT_EQ(::GetMenuItemID(menu, count - 3), UINT(IDM_RESTOREBACKUP));
    EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
    EXPECT_TRUE(::GetMenuState(menu, count - 5, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(menu, count - 7), UINT(IDM_UNDO));
    EXPECT_EQ(::GetMenuItemID(menu, count - 6), UINT(IDM_REDO));
    EXPECT_TRUE(::GetMenuState(menu, count - 8, MF_BYPOSITION) & MF_SEPARATOR);

    // Offered only while something stands under the backup's name; Undo and
    // Redo only while they have a step, which they name.
    EXPECT_FALSE(ui.MenuOffered(IDM_RESTOREBACKUP));
    EXPECT_EQ(ui.MenuText(IDM_UNDO), "Undo\tCtrl+Z");
    EXPECT_EQ(ui.MenuText(IDM_REDO), "Redo\tCtrl+Y");
    EXPECT_FALSE(ui.MenuOffered(IDM_UNDO));
    EXPECT_FALSE(ui.MenuOffered(IDM_REDO));
    UpdateFirstLine(ui, FOREST);
    ASSERT_TRUE(std::filesystem::exists(backup));
    EXPECT_TRUE(ui.MenuOffered(IDM_RESTOREBACKUP));
    EXPECT_EQ(ui.MenuText(IDM_UNDO), "Undo Update\tCtrl+Z");
    EXPECT_TRUE(ui.MenuOffered(IDM_UNDO));
    EXPECT_FALSE(ui.MenuOffered(IDM_REDO));
    // Removed behind the dialog's back: looked at again as the menu opens.
    std::filesystem::remove(backup);
    ::SendMessageA(ui.hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    EXPECT_FALSE(ui.MenuOffered(IDM_RESTOREBACKUP));
}

TEST_F(ClassListDlgFilesTest, OpenFromTheMenuShowsTheFileAsAtStartUpAndTheBackupFollowsIt)
{
    const ClassList first = WriteClassList(game, {WATER, CITY});
    game.Register();
    const ClassList second = WriteClassList(other, {CITY, GRASS, FOREST});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    EXPECT_EQ(AboutClassList(ui), game.ClassListPath());
    UpdateFirstLine(ui, FOREST);
    ASSERT_EQ(ReadFileBytes(game.ClassListPath() + ".bak"), first.bytes);

    // Cancelled: nothing changes.
    ui.SysCommand(IDM_OPENCLASSLIST);
    ui.Sync();
    EXPECT_EQ(g_startFolder, game.Path() + "\\Scenery\\All\\Scenery");
    EXPECT_EQ(g_openOwner, ui.hwnd);
    EXPECT_EQ(AboutClassList(ui), game.ClassListPath());

    g_chosen = other.ClassListPath();
    ui.SysCommand(IDM_OPENCLASSLIST);
    ui.Sync();
    ASSERT_EQ(ui.LineCount(), 3);
    EXPECT_EQ(ui.Line(0), "  0 [1] CITY000.BMP Type= City");
    EXPECT_EQ(ui.SelectedLines(), std::vector<int>{0});
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "CITY000.BMP");
    // The picture from the new file's game folder, not the water kept from the first.
    ui.OnUiThread([&] { ::UpdateWindow(ui.Item(IDC_PREVIEW)); });
    const COLORREF shown = AverageColour(ui.Item(IDC_PREVIEW));
    EXPECT_LT(std::max({GetRValue(shown), GetGValue(shown), GetBValue(shown)}) -
                  std::min({GetRValue(shown), GetGValue(shown), GetBValue(shown)}),
              40)
        << std::hex << shown;
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_TRUE(ui.Enabled(IDC_SHOW_WATER));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Ready");
    EXPECT_FALSE(ui.MenuOffered(IDM_RESTOREBACKUP));
    EXPECT_FALSE(ui.MenuOffered(IDM_UNDO));   // the first file's steps are not this one's
    EXPECT_EQ(AboutClassList(ui), other.ClassListPath());

    // The first change of the new file makes its own backup.
    UpdateFirstLine(ui, WATER);
    EXPECT_EQ(ReadFileBytes(other.ClassListPath() + ".bak"), second.bytes);
    EXPECT_EQ(ReadFileBytes(other.ClassListPath()), WithType(second.bytes, second.classes[0], WATER));
    EXPECT_EQ(ReadFileBytes(game.ClassListPath() + ".bak"), first.bytes);
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), WithType(first.bytes, first.classes[0], FOREST));
    EXPECT_TRUE(ui.MenuOffered(IDM_RESTOREBACKUP));
    EXPECT_TRUE(ui.messageBoxes.empty());

    // Next time the Open dialog starts in the open file's folder.
    g_chosen.clear();
    ui.SysCommand(IDM_OPENCLASSLIST);
    ui.Sync();
    EXPECT_EQ(g_startFolder, other.Path() + "\\Scenery\\All\\Scenery");
}

TEST_F(ClassListDlgFilesTest, DropOpensAFileOrAGameFolderAndWhatCannotBeOpenedKeepsTheOpenFile)
{
    GameFolder::Unregister();
    WriteClassList(game, {WATER, CITY});
    WriteClassList(other, {CITY, GRASS, FOREST});
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.messageBoxes.size(), 2u);   // no game, no file: the dead end a drop leads out of
    EXPECT_EQ(AboutClassList(ui), "None is open.");

    Drop(ui, other.Path());
    ASSERT_EQ(ui.LineCount(), 3);
    EXPECT_EQ(ui.Text(IDC_PREVIEW), "CITY000.BMP");
    EXPECT_EQ(AboutClassList(ui), other.ClassListPath());

    const std::string empty = game.Path() + "\\Scenery\\All\\Scenery\\EMPTY.BGL";
    WriteFileBytes(empty, {});
    const struct {
        std::string path;
        std::string text;
    } failures[] = {
        {game.Path() + "\\nothing.bgl", "Could not open " + game.Path() + "\\nothing.bgl (ERROR:2)."},
        {game.Path() + "\\Texture", "Could not open " + game.Path() + "\\Texture\\Scenery\\All\\Scenery\\CLASSLIST.BGL (ERROR:3)."},
        {empty, "Could not open " + empty + " (ERROR:"},
    };
    for (const auto& f : failures) {
        Drop(ui, f.path);
        const MessageBoxSeen box = ui.Answer();
        EXPECT_EQ(box.text.rfind(f.text, 0), 0u) << box.text;
        EXPECT_EQ(box.owner, ui.hwnd);
        EXPECT_EQ(ui.LineCount(), 3) << f.path;
    }
    EXPECT_EQ(AboutClassList(ui), other.ClassListPath());
    UpdateFirstLine(ui, LONG_GRASS);
    EXPECT_EQ(ui.Line(0), "  0 [1] CITY000.BMP Type= Long grass");

    // A class list dropped by its own name; this one has water classes.
    Drop(ui, game.ClassListPath());
    ASSERT_EQ(ui.LineCount(), 1);
    EXPECT_EQ(ui.Line(0), "  0 [1] WATER000.BMP Type= Water");
    EXPECT_TRUE(ui.Enabled(IDC_SHOW_ALL));
    EXPECT_FALSE(ui.Enabled(IDC_SHOW_WATER));
}

TEST_F(ClassListDlgFilesTest, RestoreBackupAsksThenPutsTheBackupsBytesBackAndRefusesAForeignOne)
{
    const ClassList list = WriteClassList(game, {WATER, CITY, FOREST});
    game.Register();
    const std::string backup = game.ClassListPath() + ".bak";
    const std::vector<uint8_t> earlier =
        WithType(WithType(list.bytes, list.classes[0], GRASS), list.classes[2], LONG_GRASS);
    WriteFileBytes(backup, earlier);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_TRUE(ui.MenuOffered(IDM_RESTOREBACKUP));

    ui.SysCommand(IDM_RESTOREBACKUP);
    MessageBoxSeen asked = ui.Answer(IDNO);
    EXPECT_EQ(asked.text, "Restore CLASSLIST.BGL from its backup CLASSLIST.BGL.bak?\n\n"
                          "2 classes change back to the surface types they had then.");
    EXPECT_EQ(asked.owner, ui.hwnd);
    EXPECT_EQ(asked.defaultButton, IDNO);
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), list.bytes);
    EXPECT_EQ(ui.Line(0), "  0 [1] WATER000.BMP Type= Water");

    UpdateFirstLine(ui, FOREST);   // a step that the restore makes void
    ASSERT_TRUE(ui.MenuOffered(IDM_UNDO));
    ui.SysCommand(IDM_RESTOREBACKUP);
    EXPECT_EQ(ui.Answer(IDYES).owner, ui.hwnd);
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), earlier);
    EXPECT_EQ(ReadFileBytes(backup), earlier);
    // The water list, rebuilt: the one water class is Grass again.
    EXPECT_EQ(ui.LineCount(), 0);
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist restored from its backup.");
    EXPECT_FALSE(ui.MenuOffered(IDM_UNDO));   // no step describes the restored file
    ui.SysCommand(IDM_RESTOREBACKUP);
    EXPECT_EQ(ui.Answer().text,
              "CLASSLIST.BGL already matches its backup CLASSLIST.BGL.bak: there is nothing to restore.");

    // Anything but a backup of this class list is refused, and nothing is written.
    std::vector<uint8_t> renamed = earlier;
    renamed[list.classes[1] - 3] ^= 0x20;   // a letter of the first texture name
    std::vector<uint8_t> damaged = WithType(earlier, list.classes[1], GRASS);
    damaged[damaged.size() - 2] = 0x77;     // the end record becomes an unknown one
    std::vector<uint8_t> longer = earlier;
    longer.push_back(0);
    const struct {
        std::vector<uint8_t> bytes;
        std::string text;
        bool forceHelps;   // the command line's --force would put it back
    } refused[] = {
        {renamed, "CLASSLIST.BGL.bak differs from CLASSLIST.BGL in 1 bytes besides surface types, the first at offset " +
                      std::to_string(list.classes[1] - 3),
         true},
        {damaged, "The backup CLASSLIST.BGL.bak is damaged: its records cannot be read past offset " +
                      std::to_string(earlier.size() - 2) + " (ERROR:1).",
         true},
        {longer, "CLASSLIST.BGL.bak is " + std::to_string(longer.size()) + " bytes and CLASSLIST.BGL " +
                     std::to_string(earlier.size()),
         false},
    };
    for (const auto& r : refused) {
        WriteFileBytes(backup, r.bytes);
        ui.SysCommand(IDM_RESTOREBACKUP);
        const MessageBoxSeen box = ui.Answer();
        EXPECT_EQ(box.text.rfind(r.text, 0), 0u) << box.text;
        EXPECT_EQ(box.owner, ui.hwnd);
        EXPECT_EQ(box.text.find("turfwise-cli restore --force puts it back whole") != std::string::npos, r.forceHelps)
            << box.text;
        EXPECT_EQ(ReadFileBytes(game.ClassListPath()), earlier);
        EXPECT_EQ(ReadFileBytes(backup), r.bytes);
    }
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist restored from its backup.");
}

// As another program writes: in place, through a handle of its own.
void RewriteInPlace(const std::string& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    ::CloseHandle(file);
}

// Yes answers the question that was asked: a file changed while it was up
// is decided on again, and what then holds is done or said.
TEST_F(ClassListDlgFilesTest, RestoreWritesNothingWhenTheFileChangedWhileTheQuestionWasUp)
{
    const ClassList list = WriteClassList(game, {WATER, CITY, FOREST});
    game.Register();
    const std::string backup = game.ClassListPath() + ".bak";
    const std::vector<uint8_t> earlier = WithType(list.bytes, list.classes[0], GRASS);
    WriteFileBytes(backup, earlier);
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());

    // Another Turfwise sets a surface type: asked again, with the new count.
    const std::vector<uint8_t> typed = WithType(list.bytes, list.classes[2], LONG_GRASS);
    ui.SysCommand(IDM_RESTOREBACKUP);
    EXPECT_NE(ui.Answer(IDYES, [&] { RewriteInPlace(game.ClassListPath(), typed); }).text.find("1 class changes"),
              std::string::npos);
    EXPECT_EQ(ui.Answer().text, "CLASSLIST.BGL or its backup changed while the question was up, so nothing "
                                "was written: another program may be writing it.");
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), typed);
    EXPECT_NE(ui.Answer(IDNO).text.find("2 classes change"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), typed);

    // A texture renamed while the question is up is not put back by Yes.
    std::vector<uint8_t> renamed = typed;
    renamed[list.classes[1] - 3] ^= 0x20;
    ui.SysCommand(IDM_RESTOREBACKUP);
    ui.Answer(IDYES, [&] { RewriteInPlace(game.ClassListPath(), renamed); });
    EXPECT_EQ(ui.Answer().text.rfind("CLASSLIST.BGL or its backup changed while the question was up", 0), 0u);
    EXPECT_EQ(ui.Answer().text.rfind("CLASSLIST.BGL.bak differs from CLASSLIST.BGL in 1 bytes", 0), 0u);
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), renamed);
    EXPECT_EQ(ReadFileBytes(backup), earlier);
}

// A box about a file that cannot be opened, or about the scan of one just
// opened, is up while the dialog takes input: nothing it shows may refer
// into a view that is gone.
TEST_F(ClassListDlgFilesTest, AFailedOpenKeepsTheOpenFileListedAndEditableAndANewFilesBoxShowsNoOldLine)
{
    const ClassList list = WriteClassList(game, {WATER, WATER, CITY});
    game.Register();
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    g_chosen = other.ClassListPath();   // no file there
    ui.SysCommand(IDM_OPENCLASSLIST);
    EXPECT_EQ(ui.Answer().text.rfind("Could not open " + other.ClassListPath(), 0), 0u);
    ASSERT_EQ(ui.LineCount(), 2);
    ui.ClickLineText(1);
    UpdateFirstLine(ui, FOREST);
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), WithType(list.bytes, list.classes[0], FOREST));
    EXPECT_EQ(ui.Text(IDC_STATUS), "Classlist updated.");

    // A damaged file: its scan's boxes come with the old file closed and the list empty.
    ClassListBuilder b;
    b.AddTexturedClass(0, WATER, "WATER000.BMP");
    b.AddRaw({0x77, 0x00});
    other.WriteClassList(b.Bytes());
    g_chosen = other.ClassListPath();
    ui.SysCommand(IDM_OPENCLASSLIST);
    EXPECT_EQ(ui.Answer(IDOK, [&] { EXPECT_EQ(ui.LineCount(), 0); }).caption, "Turfwise - Debug");
    EXPECT_EQ(ui.Answer().text, "WARNING:1  Scanning CLASSLIST.BGL\n");
    ASSERT_EQ(ui.LineCount(), 1);
    UpdateFirstLine(ui, GRASS);
    std::vector<uint8_t> expected = b.Bytes();
    expected[CLASS_SURFACE_TYPE_OFS] = GRASS;
    EXPECT_EQ(ReadFileBytes(other.ClassListPath()), expected);
}

TEST(VirtualStoreTest, ThePerUserCopyMirrorsThePathAndIsNamedOnlyWhereWindowsServesIt)
{
    char copy[MAX_PATH] = {};
    ASSERT_EQ(VirtualStorePath("C:\\Program Files (x86)\\CFS\\CLASSLIST.BGL", "C:\\Users\\me\\AppData\\Local", copy,
                               sizeof copy), 1);
    EXPECT_STREQ(copy, "C:\\Users\\me\\AppData\\Local\\VirtualStore\\Program Files (x86)\\CFS\\CLASSLIST.BGL");
    EXPECT_EQ(VirtualStorePath("\\\\server\\share\\CLASSLIST.BGL", "C:\\Local", copy, sizeof copy), 0);
    EXPECT_EQ(VirtualStorePath("C:\\CLASSLIST.BGL", "C:\\Local", copy, 20), 0);

    // Wine does no virtualization: a copy where Windows would keep one is not
    // the file this program reads.
    GameFolder local;
    char path[MAX_PATH] = {};
    ASSERT_EQ(VirtualStorePath("C:\\Games\\CLASSLIST.BGL", local.Path().c_str(), path, sizeof path), 1);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFileBytes(path, {1, 2, 3});
    char saved[MAX_PATH] = {};
    const DWORD had = ::GetEnvironmentVariableA("LOCALAPPDATA", saved, MAX_PATH);
    ::SetEnvironmentVariableA("LOCALAPPDATA", local.Path().c_str());
    EXPECT_EQ(ServedCopyPath("C:\\Games\\CLASSLIST.BGL", copy, sizeof copy), 0);
    ::SetEnvironmentVariableA("LOCALAPPDATA", had ? saved : nullptr);
}

} // namespace
