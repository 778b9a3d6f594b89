#include "tests/ui/dialog_driver.h"

#include <gtest/gtest.h>

#include <atomic>

#include "data/class_list_file.h"
#include "ui/resource.h"

namespace {

const UINT kMarker = WM_APP + 0x3A7;
const DWORD kTimeLimit = 15000;

std::function<void()> g_pending;
HANDLE g_markerSeen = nullptr;

bool IsMessageBox(HWND hwnd)
{
    char cls[16] = {};
    ::GetClassNameA(hwnd, cls, sizeof cls);
    return std::string(cls) == "#32770" && ::GetDlgItem(hwnd, IDC_CLASS_LIST) == nullptr &&
           ::IsWindowVisible(hwnd);
}

struct ThreadWindows {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param)
{
    reinterpret_cast<ThreadWindows*>(param)->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> WindowsOfThread(DWORD threadId)
{
    ThreadWindows found;
    ::EnumThreadWindows(threadId, CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param)
{
    char cls[16] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    char text[512] = {};
    if (lstrcmpiA(cls, "Static") == 0 && ::GetWindowTextA(child, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
}

MessageBoxSeen AnswerMessageBox(HWND box)
{
    MessageBoxSeen seen;
    char caption[256] = {};
    ::GetWindowTextA(box, caption, sizeof caption);
    seen.caption = caption;
    ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen.text));
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    WaitUntil([box] { return !::IsWindow(box) || !::IsWindowVisible(box); });
    return seen;
}

LPARAM Point(int x, int y)
{
    return MAKELPARAM(x, y);
}

} // namespace

DialogDriver::DialogDriver()
{
    if (!g_markerSeen)
        g_markerSeen = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread_ = ::CreateThread(nullptr, 0, UiThread, this, 0, &threadId_);
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kTimeLimit) {
        if (::WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0)
            break;
        for (HWND w : WindowsOfThread(threadId_)) {
            if (::GetDlgItem(w, IDC_CLASS_LIST) != nullptr && ::IsWindowVisible(w))
                hwnd = w;
            else if (IsMessageBox(w))
                messageBoxes.push_back(AnswerMessageBox(w));
        }
        if (hwnd)
            break;
        ::Sleep(10);
    }
    if (hwnd)
        Sync();
}

DialogDriver::~DialogDriver()
{
    if (!thread_)
        return;
    for (int attempt = 0; attempt < 50 && ::WaitForSingleObject(thread_, 0) != WAIT_OBJECT_0; ++attempt) {
        for (HWND w : WindowsOfThread(threadId_))
            if (IsMessageBox(w))
                AnswerMessageBox(w);
        if (hwnd && ::IsWindow(hwnd))
            ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
        ::WaitForSingleObject(thread_, 200);
    }
    if (::WaitForSingleObject(thread_, 0) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the dialog did not close";
        ::TerminateThread(thread_, 1);
    }
    ::CloseHandle(thread_);
}

DWORD WINAPI DialogDriver::UiThread(LPVOID param)
{
    auto* self = static_cast<DialogDriver*>(param);
    HHOOK hook = ::SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, ::GetCurrentThreadId());
    {
        TestableClassListDlg dlg;
        self->dlg = &dlg;
        // As the application object does: the About box is then owned by the dialog.
        AfxGetApp()->m_pMainWnd = &dlg;
        self->result_ = dlg.DoModal();
        AfxGetApp()->m_pMainWnd = nullptr;
        self->dlg = nullptr;
    }
    ::UnhookWindowsHookEx(hook);
    return 0;
}

LRESULT CALLBACK DialogDriver::GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == kMarker) {
        if (g_pending)
            g_pending();
        g_pending = nullptr;
        msg->message = WM_NULL;
        ::SetEvent(g_markerSeen);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogDriver::Sync()
{
    OnUiThread(nullptr);
}

void DialogDriver::OnUiThread(const std::function<void()>& fn)
{
    g_pending = fn;
    ::ResetEvent(g_markerSeen);
    if (!hwnd || !::PostMessageA(hwnd, kMarker, 0, 0)) {
        g_pending = nullptr;
        ADD_FAILURE() << "the dialog is gone";
        return;
    }
    if (::WaitForSingleObject(g_markerSeen, kTimeLimit) != WAIT_OBJECT_0)
        ADD_FAILURE() << "the dialog's thread did not fetch its messages";
}

void DialogDriver::ClickAt(HWND target, int x, int y, WPARAM keys)
{
    ::PostMessageA(target, WM_MOUSEMOVE, keys, Point(x, y));
    ::PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON | keys, Point(x, y));
    ::PostMessageA(target, WM_LBUTTONUP, keys, Point(x, y));
}

void DialogDriver::DoubleClickAt(HWND target, int x, int y)
{
    ::PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
    ::PostMessageA(target, WM_LBUTTONUP, 0, Point(x, y));
    ::PostMessageA(target, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(x, y));
    ::PostMessageA(target, WM_LBUTTONUP, 0, Point(x, y));
}

void DialogDriver::Click(int nID)
{
    HWND control = Item(nID);
    RECT r;
    ::GetClientRect(control, &r);
    ClickAt(control, r.right / 2, r.bottom / 2);
}

void DialogDriver::Key(HWND target, UINT vk, bool alt)
{
    const UINT scan = ::MapVirtualKeyA(vk, 0);
    const LPARAM down = 1 | (LPARAM(scan) << 16) | (alt ? LPARAM(1) << 29 : 0);
    const LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    ::PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, down);
    ::PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, up);
}

void DialogDriver::ClickCheckBox(int nLine)
{
    RECT r = {};
    ::SendMessageA(Item(IDC_CLASS_LIST), LB_GETITEMRECT, nLine, reinterpret_cast<LPARAM>(&r));
    ClickAt(Item(IDC_CLASS_LIST), r.left + 5, (r.top + r.bottom) / 2);
}

void DialogDriver::ClickLineText(int nLine, WPARAM keys)
{
    RECT r = {};
    ::SendMessageA(Item(IDC_CLASS_LIST), LB_GETITEMRECT, nLine, reinterpret_cast<LPARAM>(&r));
    ClickAt(Item(IDC_CLASS_LIST), r.left + 80, (r.top + r.bottom) / 2, keys);
}

std::string DialogDriver::Text(int nID) const
{
    char text[1024] = {};
    ::GetDlgItemTextA(hwnd, nID, text, sizeof text);
    return text;
}

bool DialogDriver::Enabled(int nID) const
{
    return ::IsWindowEnabled(Item(nID)) != FALSE;
}

int DialogDriver::LineCount() const
{
    return int(::SendMessageA(Item(IDC_CLASS_LIST), LB_GETCOUNT, 0, 0));
}

std::string DialogDriver::Line(int nLine) const
{
    HWND list = Item(IDC_CLASS_LIST);
    LRESULT length = ::SendMessageA(list, LB_GETTEXTLEN, nLine, 0);
    if (length < 0)
        return "<no line>";
    std::string text(size_t(length) + 1, '\0');
    ::SendMessageA(list, LB_GETTEXT, nLine, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(size_t(length));
    return text;
}

std::vector<int> DialogDriver::SelectedLines() const
{
    HWND list = Item(IDC_CLASS_LIST);
    std::vector<int> lines(size_t(::SendMessageA(list, LB_GETSELCOUNT, 0, 0)));
    if (!lines.empty())
        ::SendMessageA(list, LB_GETSELITEMS, lines.size(), reinterpret_cast<LPARAM>(lines.data()));
    return lines;
}

std::vector<int> DialogDriver::TickedLines()
{
    std::vector<int> ticked;
    OnUiThread([&] {
        for (int i = 0; i < dlg->m_classList.GetCount(); ++i)
            if (dlg->m_classList.GetCheck(i))
                ticked.push_back(i);
    });
    return ticked;
}

MessageBoxSeen DialogDriver::WaitForMessageBox(DWORD timeoutMs)
{
    MessageBoxSeen seen;
    WaitUntil(
        [&] {
            for (HWND w : WindowsOfThread(threadId_)) {
                char caption[64] = {};
                ::GetWindowTextA(w, caption, sizeof caption);
                if (IsMessageBox(w) && std::string(caption).rfind("Turfwise", 0) == 0 &&
                    std::string(caption) != "About Turfwise...") {
                    seen = AnswerMessageBox(w);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return seen;
}

HWND DialogDriver::FindThreadWindow(const char* caption) const
{
    for (HWND w : WindowsOfThread(threadId_)) {
        char text[128] = {};
        ::GetWindowTextA(w, text, sizeof text);
        if (::IsWindowVisible(w) && std::string(text) == caption)
            return w;
    }
    return nullptr;
}

INT_PTR DialogDriver::WaitForEnd(DWORD timeoutMs)
{
    if (::WaitForSingleObject(thread_, timeoutMs) != WAIT_OBJECT_0)
        return -2;
    return result_;
}
