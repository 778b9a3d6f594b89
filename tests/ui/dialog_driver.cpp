#include "tests/ui/dialog_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "data/class_list_file.h"
#include "ui/resource.h"

namespace {

const UINT kMarker = WM_APP + 0x3A7;
const DWORD kTimeLimit = 15000;

std::function<void()> g_pending;
HANDLE g_markerSeen = nullptr;

// A message box or the About box.
bool IsOtherDialog(HWND hwnd)
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
    char text[1024] = {};
    if (lstrcmpiA(cls, "Static") == 0 && ::GetWindowTextA(child, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
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
        for (HWND w : WindowsOfThread(threadId_))
            if (::GetDlgItem(w, IDC_CLASS_LIST) != nullptr && ::IsWindowVisible(w))
                hwnd = w;
        if (hwnd)
            break;
        if (HWND box = UnansweredBox())
            Press(box, IDOK);
        else
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
            if (IsOtherDialog(w))
                Press(w, IDOK);
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

void DialogDriver::CtrlKey(HWND target, UINT vk, bool shift)
{
    // Posted keys leave the thread's key state as it was: it is set around them.
    const auto hold = [shift](BYTE down) {
        return [shift, down] {
            BYTE keys[256] = {};
            ::GetKeyboardState(keys);
            keys[VK_CONTROL] = down;
            keys[VK_SHIFT] = shift ? down : 0;
            ::SetKeyboardState(keys);
        };
    };
    OnUiThread(hold(0x80));
    Key(target, vk);
    OnUiThread(hold(0));
}

void DialogDriver::SysCommand(UINT nID)
{
    ::PostMessageA(hwnd, WM_SYSCOMMAND, nID, 0);
}

std::string DialogDriver::MenuText(UINT nID) const
{
    char text[128] = {};
    ::GetMenuStringA(::GetSystemMenu(hwnd, FALSE), nID, text, sizeof text, MF_BYCOMMAND);
    return text;
}

bool DialogDriver::MenuOffered(UINT nID) const
{
    return !(::GetMenuState(::GetSystemMenu(hwnd, FALSE), nID, MF_BYCOMMAND) & MF_GRAYED);
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

// A box that was answered may still be up while it closes; it is never the next one.
HWND DialogDriver::UnansweredBox() const
{
    for (HWND w : WindowsOfThread(threadId_)) {
        const bool answered = std::any_of(messageBoxes.begin(), messageBoxes.end(),
                                          [w](const MessageBoxSeen& seen) { return seen.box == w; });
        if (!answered && IsOtherDialog(w) && ::GetDlgItem(w, IDC_ABOUT_CLASS_LIST) == nullptr)
            return w;
    }
    return nullptr;
}

MessageBoxSeen DialogDriver::Press(HWND box, int button, const std::function<void()>& meanwhile)
{
    MessageBoxSeen seen;
    seen.box = box;
    char caption[256] = {};
    ::GetWindowTextA(box, caption, sizeof caption);
    seen.caption = caption;
    ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen.text));
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.ownerEnabled = ::IsWindowEnabled(hwnd) != FALSE;
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
        if (HWND b = ::GetDlgItem(box, id); b && (::GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            seen.defaultButton = id;
    messageBoxes.push_back(seen);
    if (meanwhile)
        meanwhile();
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
    // PostMessage returns before the box is gone: until it is, it may still
    // be the window that any next look finds.
    if (!WaitUntil([box] { return !::IsWindow(box); }, kTimeLimit))
        ADD_FAILURE() << "the box \"" << seen.caption << "\" did not close";
    return seen;
}

MessageBoxSeen DialogDriver::Answer(int button, const std::function<void()>& meanwhile)
{
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = UnansweredBox()) != nullptr; }, kTimeLimit))
        return {};
    EXPECT_NE(::GetDlgItem(box, button), nullptr) << "no button " << button << " on the box";
    MessageBoxSeen seen = Press(box, button, meanwhile);
    Sync();
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
