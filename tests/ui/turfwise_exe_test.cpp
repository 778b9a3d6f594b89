// Turfwise.exe (Turfwise64.exe in the 64-bit build) itself, started as a
// separate process the way a user starts it: its resources, its start on a game folder, and what it leaves behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/game_folder.h"
#include "tests/support/start_process.h"
#include "tools/demo_textures.h"
#include "tools/screen_capture.h"
#include "turfwise_version.h"
#include "ui/resource.h"
#include "tests/ui/build_path.h"

namespace {

// The 64-bit build is Turfwise64.exe, so that both programs can share a folder.
const char* ExeName()
{
    return sizeof(void*) == 8 ? "Turfwise64.exe" : "Turfwise.exe";
}

std::string TurfwiseExe()
{
    return BuildPath("ui\\") + ExeName();
}

std::string VersionString(const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!::VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        return "<missing>";
    return length ? std::string(value) : std::string();
}

TEST(TurfwiseExe, CarriesItsVersionInformation)
{
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(TurfwiseExe().c_str(), &ignored);
    ASSERT_NE(size, 0u) << TurfwiseExe();
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(TurfwiseExe().c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    // Every form of the version comes from the project version.
    const DWORD ms = (TURFWISE_VERSION_MAJOR << 16) | TURFWISE_VERSION_MINOR;
    const DWORD ls = (TURFWISE_VERSION_PATCH << 16) | TURFWISE_VERSION_BUILD;
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, DWORD(VS_FF_PRIVATEBUILD | VS_FF_SPECIALBUILD));
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    const std::string dotted = std::to_string(TURFWISE_VERSION_MAJOR) + "." + std::to_string(TURFWISE_VERSION_MINOR) +
                               "." + std::to_string(TURFWISE_VERSION_PATCH) + "." + std::to_string(TURFWISE_VERSION_BUILD);
    const std::string commas = std::to_string(TURFWISE_VERSION_MAJOR) + ", " + std::to_string(TURFWISE_VERSION_MINOR) +
                               ", " + std::to_string(TURFWISE_VERSION_PATCH) + ", " + std::to_string(TURFWISE_VERSION_BUILD);
    const std::string name = "Turfwise Version " + dotted + "-W";
    EXPECT_EQ(VersionString(info, "Comments"), name);
    EXPECT_EQ(VersionString(info, "FileDescription"), name);
    EXPECT_EQ(VersionString(info, "ProductName"), name);
    EXPECT_EQ(VersionString(info, "SpecialBuild"), name);
    EXPECT_EQ(VersionString(info, "FileVersion"), commas);
    EXPECT_EQ(VersionString(info, "ProductVersion"), commas);
    EXPECT_EQ(VersionString(info, "InternalName"), "Turfwise");
    EXPECT_EQ(VersionString(info, "OriginalFilename"), ExeName());
    EXPECT_EQ(VersionString(info, "PrivateBuild"), dotted + "-W");
    EXPECT_EQ(VersionString(info, "LegalTrademarks"), "");
    EXPECT_NE(VersionString(info, "CompanyName"), "<missing>");
    EXPECT_NE(VersionString(info, "LegalCopyright"), "<missing>");
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(TurfwiseExe, HasA32And16PixelIconAndAManifestOfThemedControlsAndDpiAwareness)
{
    HMODULE exe = ::LoadLibraryExA(TurfwiseExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC group = ::FindResourceA(exe, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    ASSERT_NE(group, nullptr);
    const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(exe, group)));
    ASSERT_GE(::SizeofResource(exe, group), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(data + 4);
    ASSERT_EQ(count, 2);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, data + 6 + i * sizeof e, sizeof e);
        sizes.push_back(e.width);
        EXPECT_EQ(e.height, e.width);
        EXPECT_EQ(e.colours, 16);
        EXPECT_EQ(e.bitCount, 4);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
    // The manifest Windows reads at start: the common controls 6, DPI-aware
    // per monitor and, before Windows 10, for the system, and no execution
    // level, which would switch off file virtualization.
    HRSRC manifest = ::FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_NE(manifest, nullptr);
    const std::string xml(static_cast<const char*>(::LockResource(::LoadResource(exe, manifest))),
                          ::SizeofResource(exe, manifest));
    EXPECT_NE(xml.find(">true</dpiAware>"), std::string::npos) << xml;
    EXPECT_NE(xml.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos) << xml;
    EXPECT_EQ(xml.find("requestedExecutionLevel"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("trustInfo"), std::string::npos) << xml;
    ::FreeLibrary(exe);
}

// The path of a DLL that a running process has loaded; empty when it has none of that name.
std::string LoadedModule(DWORD pid, const char* name)
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return "";
    std::string path;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32First(snapshot, &entry); more && path.empty(); more = ::Module32Next(snapshot, &entry))
        if (::lstrcmpiA(entry.szModule, name) == 0)
            path = entry.szExePath;
    ::CloseHandle(snapshot);
    return path;
}

struct Found {
    DWORD pid;
    HWND dialog;
    HWND other;
};

BOOL CALLBACK FindProcessWindows(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && ::IsWindowVisible(hwnd)) {
        if (::GetDlgItem(hwnd, IDC_CLASS_LIST))
            f->dialog = hwnd;
        else
            f->other = hwnd;
    }
    return TRUE;
}

Found WindowsOf(DWORD pid)
{
    Found f = {pid, nullptr, nullptr};
    ::EnumWindows(FindProcessWindows, reinterpret_cast<LPARAM>(&f));
    return f;
}

std::wstring WindowTextW(HWND hwnd)
{
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

// With no window manager (Xvfb) Wine waits two seconds for each window it
// hides; while the test runs, Turfwise's windows are left unmanaged.
class UnmanagedWindows {
public:
    UnmanagedWindows() : m_app(std::string("Software\\Wine\\AppDefaults\\") + ExeName()), m_key(m_app + "\\X11 Driver")
    {
        HKEY key;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            ::RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
            ::RegCloseKey(key);
        }
    }
    ~UnmanagedWindows()
    {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, m_app.c_str());
    }

private:
    std::string m_app, m_key;
};

TEST(TurfwiseExe, RunsOnTheGameFolderWhateverItsArgumentsAndKeepsNoSettings)
{
    UnmanagedWindows unmanaged;
    GameFolder game;
    ASSERT_TRUE(WriteDemoGameFolder(game.Path(), 256, 64));
    game.Register();
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kelvane\\Turfwise");
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kelvane");

    for (const char* arguments : {"", " /x --help CLASSLIST.BGL"}) {
        std::string commandLine = "\"" + TurfwiseExe() + "\"" + arguments;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(StartProcess(nullptr, commandLine, false, 0, si, pi));
        Found f = {};
        EXPECT_TRUE(WaitUntil([&] { return (f = WindowsOf(pi.dwProcessId)).dialog || f.other; }, 15000));
        ASSERT_NE(f.dialog, nullptr) << "a message box came first: " << (f.other ? "yes" : "no");
        HWND list = ::GetDlgItem(f.dialog, IDC_CLASS_LIST);
        EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 20);
        wchar_t line[128] = {};
        ::SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
        EXPECT_EQ(std::wstring(line), L"  0 [1] WATER000.BMP Type= Water");
        EXPECT_EQ(WindowTextW(::GetDlgItem(f.dialog, IDC_STATUS)), L"Ready");
        EXPECT_EQ(WindowTextW(f.dialog), L"Turfwise");

        if (*arguments == '\0') {
            // The About box of the real program, owned by its main dialog.
            ::PostMessageW(f.dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            Found about = {};
            EXPECT_TRUE(WaitUntil([&] { return (about = WindowsOf(pi.dwProcessId)).other != nullptr; }));
            if (about.other) {
                EXPECT_EQ(WindowTextW(about.other), L"About Turfwise...");
                EXPECT_EQ(::GetWindow(about.other, GW_OWNER), f.dialog);
                ::PostMessageW(about.other, WM_COMMAND, IDOK, 0);
                EXPECT_TRUE(WaitUntil([&] { return WindowsOf(pi.dwProcessId).other == nullptr; }));
            }
            // The common controls 6 that the manifest asks for, from the side-by-side
            // store, not the system folder's 5.x. Wine's copy there carries the
            // file version of 5.x; its folder names the assembly's version.
            std::string comctl32 = LoadedModule(pi.dwProcessId, "comctl32.dll");
            for (char& c : comctl32)
                c = char(::tolower(static_cast<unsigned char>(c)));
            EXPECT_NE(comctl32.find("\\winsxs\\"), std::string::npos) << comctl32;
            EXPECT_NE(comctl32.find("common-controls_6595b64144ccf1df_6."), std::string::npos) << comctl32;
            // The screenshot kept with the build.
            ::SendMessageW(f.dialog, WM_NULL, 0, 0);
            ::Sleep(300);
            EXPECT_TRUE(CaptureWindowPng(f.dialog, BuildPath("turfwise-dialog.png")));
        }

        ::PostMessageW(f.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
        EXPECT_TRUE(WindowsOf(pi.dwProcessId).dialog == nullptr);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }

    HKEY settings = nullptr;
    EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kelvane", 0, KEY_READ, &settings), ERROR_SUCCESS);
    if (settings)
        ::RegCloseKey(settings);
}

} // namespace
