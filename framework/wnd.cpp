#include "framework/wnd.h"

#include <memory>
#include <unordered_map>

namespace {

struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// One user-interface thread: plain statics are enough.
CurrentMessage g_current{};
HHOOK g_hHookCreate = nullptr;
CWnd* g_pWndInit = nullptr;

std::unordered_map<HWND, CWnd*>& PermanentMap()
{
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

std::unordered_map<HWND, std::unique_ptr<CWnd>>& TemporaryMap()
{
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

LRESULT CALLBACK CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND && g_pWndInit != nullptr) {
        CWnd* pWnd = g_pWndInit;
        g_pWndInit = nullptr;
        AfxAttachCreated(pWnd, reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(g_hHookCreate, nCode, wParam, lParam);
}

}  // namespace

void AfxAttachCreated(CWnd* pWnd, HWND hWnd)
{
    pWnd->AttachPermanent(hWnd);
    pWnd->m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
}

void AfxHookWindowCreate(CWnd* pWnd)
{
    if (g_hHookCreate == nullptr)
        g_hHookCreate = SetWindowsHookExA(WH_CBT, CbtFilterHook, nullptr, GetCurrentThreadId());
    g_pWndInit = pWnd;
}

void AfxUnhookWindowCreate()
{
    if (g_hHookCreate != nullptr) {
        UnhookWindowsHookEx(g_hHookCreate);
        g_hHookCreate = nullptr;
    }
    g_pWndInit = nullptr;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    // The target window first, then each parent (and a popup's owner).
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    const CurrentMessage saved = g_current;
    g_current = {hWnd, message, wParam, lParam};
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    g_current = saved;

    if (message == WM_NCDESTROY) {
        // The window is going: give it back its own procedure and free the object.
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == &AfxWndProc)
            SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
        pWnd->DetachPermanent();
        pWnd->PostNcDestroy();
    }
    return lResult;
}

CWnd::~CWnd()
{
    if (m_hWnd == nullptr || FromHandlePermanent(m_hWnd) != this)
        return;
    if (m_bCreated)
        ::DestroyWindow(m_hWnd);  // WM_NCDESTROY detaches
    else
        UnsubclassWindow();
}

void CWnd::AttachPermanent(HWND hWnd)
{
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
}

void CWnd::DetachPermanent()
{
    PermanentMap().erase(m_hWnd);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bCreated = false;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    auto it = PermanentMap().find(hWnd);
    return it != PermanentMap().end() ? it->second : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    auto& temporaries = TemporaryMap();
    auto it = temporaries.find(hWnd);
    if (it != temporaries.end())
        return it->second.get();
    // Wrappers of windows that have gone are dropped here rather than at idle
    // time, so a wrapper stays valid for as long as its window lives.
    for (auto dead = temporaries.begin(); dead != temporaries.end();) {
        if (!::IsWindow(dead->first)) {
            dead->second->m_hWnd = nullptr;
            dead = temporaries.erase(dead);
        } else {
            ++dead;
        }
    }
    auto pWnd = std::make_unique<CWnd>();
    pWnd->m_hWnd = hWnd;
    return (temporaries[hWnd] = std::move(pWnd)).get();
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (m_hWnd != nullptr || !::IsWindow(hWnd) || FromHandlePermanent(hWnd) != nullptr)
        return FALSE;
    AttachPermanent(hWnd);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd == nullptr || FromHandlePermanent(hWnd) != this)
        return nullptr;
    if (m_pfnSuper != nullptr &&
        reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC)) == &AfxWndProc)
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    DetachPermanent();
    return hWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam)
{
    if (m_hWnd != nullptr)
        return FALSE;
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                                  hWndParent, nIDorHMenu, GetModuleHandleA(nullptr), lpParam);
    AfxUnhookWindowCreate();
    if (hWnd == nullptr)
        return FALSE;
    m_bCreated = true;
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(g_current.message, g_current.wParam, g_current.lParam);
}

CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const
{
    return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->left));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&lpRect->right));
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD dwStyle = GetStyle();
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(dwNewStyle));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont != nullptr ? pFont->GetSafeHandle() : nullptr), bRedraw);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return DispatchMessageMap(WM_REFLECT_BASE + message, wParam, lParam, pResult);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    // The control that caused the message gets the first chance at it.
    HWND hWndChild = nullptr;
    switch (message) {
    case WM_COMMAND:
        hWndChild = reinterpret_cast<HWND>(lParam);
        break;
    case WM_DRAWITEM: {
        const auto* pDraw = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
        if (pDraw->CtlType != ODT_MENU)
            hWndChild = pDraw->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        const auto* pMeasure = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
        if (pMeasure->CtlType != ODT_MENU)
            hWndChild = ::GetDlgItem(m_hWnd, static_cast<int>(pMeasure->CtlID));
        break;
    }
    default:
        break;
    }
    if (hWndChild != nullptr && hWndChild != m_hWnd) {
        CWnd* pChild = FromHandlePermanent(hWndChild);
        if (pChild != nullptr && pChild->OnChildNotify(message, wParam, lParam, pResult))
            return TRUE;
    }

    if (DispatchMessageMap(message, wParam, lParam, pResult))
        return TRUE;
    if (message == WM_COMMAND)
        return OnUnhandledCommand(wParam, lParam, pResult);
    return FALSE;
}

BOOL CWnd::OnUnhandledCommand(WPARAM, LPARAM, LRESULT*) { return FALSE; }

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnPaint() { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
