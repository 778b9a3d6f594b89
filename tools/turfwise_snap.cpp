// Starts a program, waits for its main dialog (the one with the class list),
// saves a screenshot of it, then closes it the way a user would. Message
// boxes that come first are printed and answered with OK.
#include "tools/screen_capture.h"
#include "ui/resource.h"

#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD processId;
    HWND dialog;
    HWND messageBox;
};

BOOL CALLBACK FindWindows(HWND hwnd, LPARAM param)
{
    auto* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->processId || !IsWindowVisible(hwnd))
        return TRUE;
    if (GetDlgItem(hwnd, IDC_CLASS_LIST))
        s->dialog = hwnd;
    else
        s->messageBox = hwnd;
    return TRUE;
}

BOOL CALLBACK PrintText(HWND child, LPARAM)
{
    wchar_t text[512];
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextW(child, text, 512) > 0)
        std::fprintf(stderr, "message box: %ls\n", text);
    return TRUE;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: turfwise_snap PROGRAM.exe SHOT.png\n");
        return 2;
    }
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    Search s = {pi.dwProcessId, nullptr, nullptr};
    for (int waited = 0; !s.dialog && waited < 30000; waited += 100) {
        if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
            break;
        s.messageBox = nullptr;
        EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&s));
        if (!s.dialog && s.messageBox) {
            EnumChildWindows(s.messageBox, PrintText, 0);
            PostMessageA(s.messageBox, WM_COMMAND, IDOK, 0);
            Sleep(300);
        }
    }
    if (!s.dialog) {
        std::fprintf(stderr, "%s showed no dialog\n", argv[1]);
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    // Let the dialog finish painting its list and preview.
    SendMessageTimeoutA(s.dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    Sleep(1000);
    bool saved = CaptureWindowPng(s.dialog, argv[2]);
    if (!saved)
        std::fprintf(stderr, "cannot save %s\n", argv[2]);
    PostMessageA(s.dialog, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not close\n", argv[1]);
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return saved ? 0 : 1;
}
