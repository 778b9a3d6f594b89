// The main dialog's class list as a screen reader in another process reads
// it: the dialog runs here, a small reader program asks it through
// AccessibleObjectFromWindow, and a WinEvent hook here hears what it fires.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ui/dialog_driver.h"
#include "tests/support/start_process.h"
#include "tools/demo_textures.h"
#include "ui/resource.h"

namespace {

// Roles and states as oleacc.h has them; this program does not include it,
// so that nothing here loads oleacc.
const long kRoleCheckButton = 0x2C;
const unsigned long kUnavailable = 0x1, kSelected = 0x2, kFocused = 0x4, kChecked = 0x10, kInvisible = 0x8000, kOffscreen = 0x10000,
                    kFocusable = 0x100000, kSelectable = 0x200000;

struct ReaderLine {
    long role = -1;
    unsigned long state = 0;
    RECT location = {};
    std::string action, name;
};

// What the reader wrote: each record's fields after its name, lines apart.
struct ReaderView {
    int exitCode = -1;
    std::string object, action, focus, selection, preview;
    long count = -1;
    std::vector<ReaderLine> lines;
};

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.push_back(std::string());
    return fields;
}

ReaderView ParseReader(const std::string& path)
{
    ReaderView view;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        const std::string value = f.size() > 1 ? f[1] : std::string();
        if (f.empty())
            continue;
        if (f[0] == "object")
            view.object = value;
        else if (f[0] == "action")
            view.action = value;
        else if (f[0] == "count")
            view.count = std::stol(value);
        else if (f[0] == "focus")
            view.focus = value;
        else if (f[0] == "selection")
            view.selection = value;
        else if (f[0] == "preview")
            view.preview = value;
        else if (f[0] == "child" && f.size() == 10) {
            ReaderLine child;
            child.role = std::stol(f[2]);
            child.state = std::stoul(f[3], nullptr, 16);
            child.location = {std::stol(f[4]), std::stol(f[5]), std::stol(f[4]) + std::stol(f[6]),
                              std::stol(f[5]) + std::stol(f[7])};
            child.action = f[8];
            child.name = f[9];
            view.lines.push_back(child);
        }
    }
    return view;
}

std::string HereDirectory()
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of("\\/"));
}

// The events of the list's lines, heard by a hook on the dialog's thread,
// where the list fires them.
class ListEvents {
public:
    ListEvents(DialogDriver& ui) : m_ui(ui)
    {
        s_hList = ui.Item(IDC_CLASS_LIST);
        m_ui.OnUiThread([this] {
            m_hHook = ::SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, Hook,
                                        ::GetCurrentProcessId(), ::GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
        });
    }
    ~ListEvents()
    {
        m_ui.OnUiThread([this] { ::UnhookWinEvent(m_hHook); });
    }
    ListEvents(const ListEvents&) = delete;
    ListEvents& operator=(const ListEvents&) = delete;

    bool Installed() const { return m_hHook != nullptr; }
    // The child ids of the state changes since the last call.
    std::vector<long> Take()
    {
        m_ui.Sync();
        std::vector<long> seen;
        m_ui.OnUiThread([&] { seen.swap(s_seen); });
        return seen;
    }

private:
    static void CALLBACK Hook(HWINEVENTHOOK, DWORD, HWND hWnd, LONG idObject, LONG idChild, DWORD, DWORD)
    {
        if (hWnd == s_hList)
            s_seen.push_back(idObject == OBJID_CLIENT ? idChild : -1);
    }
    static inline HWND s_hList = nullptr;
    static inline std::vector<long> s_seen;
    DialogDriver& m_ui;
    HWINEVENTHOOK m_hHook = nullptr;
};

class ClassListDlgAccessibleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteDemoGameFolder(game.Path(), 256, 8));
        game.Register();
    }

    // Runs the reader on the dialog's list and preview; with a child id,
    // that line's default action first, or with select flags its accSelect.
    ReaderView Read(DialogDriver& ui, long actionChild = 0, long selectFlags = -1)
    {
        s_bReaderAsked = true;
        const std::string out = game.Path() + "\\reader.txt";
        ::DeleteFileA(out.c_str());
        std::string commandLine = "\"" + HereDirectory() + "\\accessible_reader.exe\" \"" + out + "\" " +
                                  std::to_string(reinterpret_cast<uintptr_t>(ui.Item(IDC_CLASS_LIST))) + " " +
                                  std::to_string(reinterpret_cast<uintptr_t>(ui.Item(IDC_PREVIEW)));
        if (actionChild != 0)
            commandLine += " " + std::to_string(actionChild);
        if (selectFlags >= 0)
            commandLine += " " + std::to_string(selectFlags);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ReaderView view;
        if (!StartProcess(nullptr, commandLine, false, CREATE_NO_WINDOW, si, pi)) {
            ADD_FAILURE() << "cannot start " << commandLine << ": error " << ::GetLastError();
            return view;
        }
        // Under qemu a 32-bit process takes its time to start.
        if (::WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the reader did not finish";
            ::TerminateProcess(pi.hProcess, 1);
        }
        DWORD code = 0;
        ::GetExitCodeProcess(pi.hProcess, &code);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        view = ParseReader(out);
        view.exitCode = static_cast<int>(code);
        return view;
    }

    static RECT LineOnScreen(DialogDriver& ui, int nLine)
    {
        RECT r = {};
        ::SendMessageA(ui.Item(IDC_CLASS_LIST), LB_GETITEMRECT, nLine, reinterpret_cast<LPARAM>(&r));
        ::MapWindowPoints(ui.Item(IDC_CLASS_LIST), nullptr, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    static bool InView(DialogDriver& ui, int nLine)
    {
        RECT rcLine = {}, rcClient = {};
        ::SendMessageA(ui.Item(IDC_CLASS_LIST), LB_GETITEMRECT, nLine, reinterpret_cast<LPARAM>(&rcLine));
        ::GetClientRect(ui.Item(IDC_CLASS_LIST), &rcClient);
        return rcLine.bottom > rcClient.top && rcLine.top < rcClient.bottom;
    }

    static std::string Text(const RECT& r)
    {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    }

    GameFolder game;
    static inline bool s_bReaderAsked = false;   // in this process: oleacc stays once loaded
};

TEST_F(ClassListDlgAccessibleTest, AReaderSeesEveryLineAsACheckButtonWithTheTicksOfMouseAndSpaceBar)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_EQ(ui.LineCount(), 20);
    // Nothing loads oleacc before a reader asks.
    if (!s_bReaderAsked) {
        EXPECT_EQ(nullptr, ::GetModuleHandleA("oleacc.dll"));
    }

    ReaderView view = Read(ui);
    ASSERT_EQ("0", view.object);
    EXPECT_EQ(0, view.exitCode);
    EXPECT_EQ(20, view.count);
    ASSERT_EQ(20u, view.lines.size());
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ui.Line(i), view.lines[i].name);
        EXPECT_EQ(kRoleCheckButton, view.lines[i].role);
        EXPECT_EQ("Check", view.lines[i].action);
        EXPECT_EQ(0u, view.lines[i].state & kChecked);
        EXPECT_EQ(kSelectable | kFocusable, view.lines[i].state & (kSelectable | kFocusable));
        EXPECT_EQ(Text(LineOnScreen(ui, i)), Text(view.lines[i].location));
        // A reader skips what the list does not show.
        EXPECT_EQ(InView(ui, i) ? 0u : kInvisible | kOffscreen, view.lines[i].state & (kInvisible | kOffscreen));
    }
    EXPECT_EQ(kSelected, view.lines[0].state & kSelected);
    EXPECT_EQ("1", view.selection);
    EXPECT_EQ(ui.Text(IDC_PREVIEW), view.preview);
    EXPECT_EQ("WATER000.BMP", view.preview);

    // oleacc came from the system folder, at the reader's first question.
    HMODULE hOleacc = ::GetModuleHandleA("oleacc.dll");
    ASSERT_NE(nullptr, hOleacc);
    char szLoaded[MAX_PATH] = {}, szSystem[MAX_PATH] = {};
    ::GetModuleFileNameA(hOleacc, szLoaded, MAX_PATH);
    ::GetSystemDirectoryA(szSystem, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA((std::string(szSystem) + "\\oleacc.dll").c_str(), szLoaded)) << szLoaded;

    ListEvents events(ui);
    ASSERT_TRUE(events.Installed());
    ui.ClickCheckBox(2);
    ui.Sync();
    EXPECT_EQ(std::vector<long>{3}, events.Take());
    ui.ClickLineText(4);
    ui.Sync();
    ui.Key(ui.Item(IDC_CLASS_LIST), VK_SPACE);
    EXPECT_EQ(std::vector<long>{5}, events.Take());
    ASSERT_EQ((std::vector<int>{2, 4}), ui.TickedLines());

    view = Read(ui);
    ASSERT_EQ(20u, view.lines.size());
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const bool bTicked = i == 2 || i == 4;
        EXPECT_EQ(bTicked ? kChecked : 0u, view.lines[i].state & kChecked);
        EXPECT_EQ(bTicked ? "Uncheck" : "Check", view.lines[i].action);
        EXPECT_EQ(i == 4 ? kSelected | kFocused : 0u, view.lines[i].state & (kSelected | kFocused));
    }
    EXPECT_EQ("5", view.focus);
    EXPECT_EQ("5", view.selection);
    EXPECT_EQ(ui.Text(IDC_PREVIEW), view.preview);
    EXPECT_NE(std::string::npos, ui.Line(4).find(view.preview)) << view.preview;

    // Several lines selected: the reader gets them all.
    ui.ClickLineText(7, MK_SHIFT);
    ui.Sync();
    view = Read(ui);
    EXPECT_EQ("5 6 7 8", view.selection);
    EXPECT_EQ("8", view.focus);
}

TEST_F(ClassListDlgAccessibleTest, AReadersTicksAndSelectingReachTheDialogAsClicksWould)
{
    DialogDriver ui;
    ASSERT_TRUE(ui.Started());
    ASSERT_FALSE(ui.Enabled(IDC_UPDATE));
    ASSERT_FALSE(ui.Enabled(IDC_SURFACE_TYPE));
    ReaderView view = Read(ui);  // the first question makes the object
    ASSERT_EQ("0", view.object);
    ListEvents events(ui);
    ASSERT_TRUE(events.Installed());

    // No input follows a reader's tick, and a line out of view is not even
    // repainted; the dialog follows it all the same, with nothing sent to it.
    ASSERT_FALSE(InView(ui, 19));
    view = Read(ui, 20);
    EXPECT_TRUE(WaitUntil([&] { return ui.Enabled(IDC_UPDATE) && ui.Enabled(IDC_SURFACE_TYPE); }));
    EXPECT_EQ("0", view.action);
    ASSERT_EQ(20u, view.lines.size());
    EXPECT_EQ(kChecked, view.lines[19].state & kChecked);
    EXPECT_EQ("Uncheck", view.lines[19].action);
    EXPECT_EQ(std::vector<int>{19}, ui.TickedLines());
    EXPECT_EQ(std::vector<long>{20}, events.Take());
    // The selection stays the user's.
    EXPECT_EQ(std::vector<int>{0}, ui.SelectedLines());

    // Unticked again, as a second click would.
    view = Read(ui, 20);
    EXPECT_TRUE(WaitUntil([&] { return !ui.Enabled(IDC_UPDATE) && !ui.Enabled(IDC_SURFACE_TYPE); }));
    EXPECT_EQ("0", view.action);
    ASSERT_EQ(20u, view.lines.size());
    EXPECT_EQ(0u, view.lines[19].state & kChecked);
    EXPECT_EQ("Check", view.lines[19].action);
    EXPECT_EQ(std::vector<int>{}, ui.TickedLines());
    EXPECT_EQ(std::vector<long>{20}, events.Take());
    DWORD dwStart = 0, dwEnd = 0;
    ::SendMessageA(ui.Item(IDC_SURFACE_TYPE), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&dwStart),
                   reinterpret_cast<LPARAM>(&dwEnd));
    EXPECT_EQ(dwStart, dwEnd);

    // A line that is not there is refused, and nothing changes.
    view = Read(ui, 21);
    EXPECT_EQ("80070057", view.action);  // E_INVALIDARG
    EXPECT_EQ(std::vector<int>{}, ui.TickedLines());
    EXPECT_EQ(std::vector<long>{}, events.Take());

    // Nor while the dialog takes no input, as under a question it asks.
    ui.OnUiThread([&] { ::EnableWindow(ui.hwnd, FALSE); });
    view = Read(ui, 20);
    ui.OnUiThread([&] { ::EnableWindow(ui.hwnd, TRUE); });
    EXPECT_EQ("80020003", view.action);  // DISP_E_MEMBERNOTFOUND
    ASSERT_EQ(20u, view.lines.size());
    EXPECT_EQ(kUnavailable, view.lines[19].state & kUnavailable);
    EXPECT_EQ(std::vector<int>{}, ui.TickedLines());
    EXPECT_EQ(std::vector<long>{}, events.Take());

    // Selecting is a click on the line's text, and the preview follows.
    view = Read(ui, 5, 0x1 | 0x2);  // SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION
    EXPECT_EQ("5", view.selection);
    EXPECT_EQ("5", view.focus);
    EXPECT_EQ(std::vector<int>{4}, ui.SelectedLines());
    EXPECT_NE(std::string::npos, ui.Line(4).find(ui.Text(IDC_PREVIEW))) << ui.Text(IDC_PREVIEW);
}

}  // namespace
