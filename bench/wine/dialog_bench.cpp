// Wine benchmark of the main dialog with a full class table (1024 classes):
//  - Show All beside filling a plain list box with the same strings, redraw
//    suspended, both painted;
//  - PreTranslateMessage per message with 1024 unticked lines;
//  - start-up of Turfwise.exe (or Turfwise64.exe) to its dialog beside the same
//    program with the manifest it had before the themed common controls, and
//    beside a bare dialog program.
// Run on demand: scripts/bench-wine.sh
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/ui/dialog_driver.h"
#include "turfwise_version.h"
#include "tools/demo_textures.h"
#include "ui/resource.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string BesideSelf(const char* relative)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    path.erase(path.find_last_of("\\/") + 1);
    return path + relative;
}

struct Found {
    DWORD pid;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && ::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, IDC_CLASS_LIST))
        f->dialog = hwnd;
    return TRUE;
}

// Seconds from CreateProcess to the visible dialog; the program is closed after.
double TimeToDialog(const std::string& exe)
{
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const double start = Now();
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    Found f = {pi.dwProcessId, nullptr};
    double shown = -1;
    while (Now() - start < 30) {
        ::EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&f));
        if (f.dialog) {
            shown = Now() - start;
            break;
        }
        ::Sleep(1);
    }
    if (f.dialog)
        ::PostMessageA(f.dialog, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(pi.hProcess, 1);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return shown;
}

void SetManaged(const char* exe, bool managed)
{
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + exe + "\\X11 Driver";
    if (managed) {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        return;
    }
    HKEY h;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) ==
        ERROR_SUCCESS) {
        ::RegSetValueExA(h, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        ::RegCloseKey(h);
    }
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int kRuns = 7;
    GameFolder game;
    if (!WriteDemoGameFolder(game.Path(), 1024, 64))
        return 1;
    game.Register();

    std::vector<double> showAll, plain, pretranslateIdle, pretranslateMouse, dialogManagerMouse;
    {
        DialogDriver ui;
        if (!ui.Started() || !ui.messageBoxes.empty()) {
            std::fprintf(stderr, "the dialog did not start cleanly\n");
            return 1;
        }
        HWND list = ui.Item(IDC_CLASS_LIST);
        RECT r;
        ::GetWindowRect(list, &r);
        ::MapWindowPoints(nullptr, ui.hwnd, reinterpret_cast<POINT*>(&r), 2);
        int lines = 0;
        for (int run = 0; run < kRuns; ++run) {
            // Show All as the button sends it, painted before the clock stops.
            ui.OnUiThread([&] {
                ::SendMessageA(ui.hwnd, WM_COMMAND, MAKEWPARAM(IDC_SHOW_WATER, BN_CLICKED),
                               reinterpret_cast<LPARAM>(ui.Item(IDC_SHOW_WATER)));
                ::UpdateWindow(ui.hwnd);
                const double t0 = Now();
                ::SendMessageA(ui.hwnd, WM_COMMAND, MAKEWPARAM(IDC_SHOW_ALL, BN_CLICKED),
                               reinterpret_cast<LPARAM>(ui.Item(IDC_SHOW_ALL)));
                ::UpdateWindow(ui.hwnd);
                showAll.push_back(Now() - t0);
                lines = int(::SendMessageA(list, LB_GETCOUNT, 0, 0));
            });
            // The same strings into a plain list box of the same size on the
            // same dialog, redraw suspended, painted.
            std::vector<std::string> strings(static_cast<size_t>(lines));
            for (int i = 0; i < lines; ++i)
                strings[size_t(i)] = ui.Line(i);
            ui.OnUiThread([&] {
                HWND box = ::CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                             r.left, r.top, r.right - r.left, r.bottom - r.top, ui.hwnd, nullptr,
                                             ::GetModuleHandleA(nullptr), nullptr);
                ::SendMessageA(box, WM_SETFONT, ::SendMessageA(list, WM_GETFONT, 0, 0), FALSE);
                ::UpdateWindow(box);
                const double t0 = Now();
                ::SendMessageA(box, WM_SETREDRAW, FALSE, 0);
                for (int i = 0; i < lines; ++i)
                    ::SendMessageA(box, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(strings[size_t(i)].c_str()));
                ::SendMessageA(box, WM_SETREDRAW, TRUE, 0);
                ::InvalidateRect(box, nullptr, TRUE);
                ::UpdateWindow(box);
                plain.push_back(Now() - t0);
                ::DestroyWindow(box);
            });
        }
        // PreTranslateMessage over 1024 unticked lines.
        ui.OnUiThread([&] {
            const int n = 5000;
            for (int run = 0; run < kRuns; ++run) {
                MSG msg = {ui.hwnd, WM_NULL, 0, 0, ::GetTickCount(), {r.left, r.top}};
                ::GetCursorPos(&msg.pt);
                double t0 = Now();
                for (int i = 0; i < n; ++i)
                    ui.dlg->PreTranslateMessage(&msg);
                pretranslateIdle.push_back((Now() - t0) / n);
                MSG move = {list, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10), ::GetTickCount(), msg.pt};
                t0 = Now();
                for (int i = 0; i < n; ++i)
                    ui.dlg->PreTranslateMessage(&move);
                pretranslateMouse.push_back((Now() - t0) / n);
                t0 = Now();
                for (int i = 0; i < n; ++i)
                    ui.dlg->CDialog::PreTranslateMessage(&move);
                dialogManagerMouse.push_back((Now() - t0) / n);
            }
        });
        std::printf("lines listed by Show All: %d\n", lines);
    }

    SetManaged(TURFWISE_EXE_NAME, false);
    SetManaged("bare_dialog.exe", false);
    SetManaged("turfwise_before.exe", false);
    std::vector<double> turfwise, before, bare;
    const std::string turfwiseExe = BesideSelf("..\\..\\ui\\" TURFWISE_EXE_NAME);
    const std::string beforeExe = BesideSelf("turfwise_before.exe");
    const std::string bareExe = BesideSelf("bare_dialog.exe");
    // Warm the file cache and the prefix, the side-by-side store too.
    TimeToDialog(bareExe);
    TimeToDialog(turfwiseExe);
    TimeToDialog(beforeExe);
    for (int run = 0; run < kRuns; ++run) {
        turfwise.push_back(TimeToDialog(turfwiseExe));
        before.push_back(TimeToDialog(beforeExe));
        bare.push_back(TimeToDialog(bareExe));
    }
    SetManaged(TURFWISE_EXE_NAME, true);
    SetManaged("bare_dialog.exe", true);
    SetManaged("turfwise_before.exe", true);

    const double sa = Median(showAll), pl = Median(plain);
    const double tw = Median(turfwise), bf = Median(before), br = Median(bare);
    std::printf("Show All, 1024 classes:               %8.2f ms\n", sa * 1e3);
    std::printf("plain list box, same strings:         %8.2f ms   ratio %.2f (target <= 1.5)\n", pl * 1e3, sa / pl);
    std::printf("PreTranslateMessage, WM_NULL:         %8.2f us   (target < 20)\n", Median(pretranslateIdle) * 1e6);
    std::printf("PreTranslateMessage, WM_MOUSEMOVE:    %8.2f us\n", Median(pretranslateMouse) * 1e6);
    std::printf("  of which the dialog manager's part: %8.2f us   (IsDialogMessage, dispatch to the list)\n",
                Median(dialogManagerMouse) * 1e6);
    std::printf("start-up to dialog, %-18s %8.1f ms\n", TURFWISE_EXE_NAME ":", tw * 1e3);
    std::printf("start-up to dialog, comctl32 5 manifest: %5.1f ms   ratio %.2f (themed against before)\n", bf * 1e3,
                tw / bf);
    std::printf("start-up to dialog, bare dialog:      %8.1f ms   ratio %.2f (target <= 1.5)\n", br * 1e3, tw / br);
    std::printf("(medians of %d runs)\n", kRuns);
    return 0;
}
