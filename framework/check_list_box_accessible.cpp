#include "framework/check_list_box_accessible.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "framework/check_list_box.h"
#include "framework/system_dll.h"

namespace {

HMODULE g_hOleacc = nullptr;
HMODULE g_hOleaut32 = nullptr;
HMODULE g_hOle32 = nullptr;

using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using SysAllocStringLenFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoUninitializeFn = void(WINAPI*)();

BSTR AllocString(const wchar_t* psz, UINT cch)
{
    static const auto pfn = SystemFunction<SysAllocStringLenFn>("oleaut32.dll", &g_hOleaut32, "SysAllocStringLen");
    return pfn != nullptr ? pfn(psz, cch) : nullptr;
}

HRESULT ReturnString(const wchar_t* psz, UINT cch, BSTR* pbstr)
{
    *pbstr = AllocString(psz, cch);
    return *pbstr != nullptr ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* pvar, LONG lChild)
{
    pvar->vt = VT_I4;
    pvar->lVal = lChild;
}

// The list itself for the standard object, which knows no other form of the id.
VARIANT Self()
{
    VARIANT var;
    SetChild(&var, CHILDID_SELF);
    return var;
}

bool IsMultiple(HWND hWnd)
{
    return (::GetWindowLongA(hWnd, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
}

std::vector<int> SelectedLines(HWND hWnd)
{
    std::vector<int> lines;
    if (IsMultiple(hWnd)) {
        const LRESULT lCount = ::SendMessageA(hWnd, LB_GETSELCOUNT, 0, 0);
        if (lCount > 0) {
            lines.resize(static_cast<size_t>(lCount));
            const LRESULT lGot = ::SendMessageA(hWnd, LB_GETSELITEMS, lines.size(), reinterpret_cast<LPARAM>(lines.data()));
            lines.resize(lGot > 0 ? static_cast<size_t>(lGot) : 0);
        }
    } else {
        const LRESULT lSel = ::SendMessageA(hWnd, LB_GETCURSEL, 0, 0);
        if (lSel >= 0)
            lines.push_back(static_cast<int>(lSel));
    }
    return lines;
}

// The selection of several lines, as get_accSelection hands it out.
class CChildEnum : public IEnumVARIANT {
public:
    explicit CChildEnum(std::vector<LONG> children) : m_children(std::move(children)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IEnumVARIANT)) {
            *ppv = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_cRef)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG cRef = ::InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return static_cast<ULONG>(cRef);
    }
    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override
    {
        if (rgVar == nullptr)
            return E_POINTER;
        ULONG n = 0;
        for (; n < celt && m_next < m_children.size(); ++n)
            SetChild(&rgVar[n], m_children[m_next++]);
        if (pCeltFetched != nullptr)
            *pCeltFetched = n;
        return n == celt ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG celt) override
    {
        const size_t nLeft = m_children.size() - m_next;
        m_next += celt < nLeft ? celt : nLeft;
        return celt <= nLeft ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override
    {
        if (ppEnum == nullptr)
            return E_POINTER;
        auto* pClone = new (std::nothrow) CChildEnum(m_children);
        *ppEnum = pClone;
        if (pClone == nullptr)
            return E_OUTOFMEMORY;
        pClone->m_next = m_next;
        return S_OK;
    }

private:
    virtual ~CChildEnum() = default;

    LONG m_cRef = 1;
    std::vector<LONG> m_children;
    size_t m_next = 0;
};

}  // namespace

CCheckListBoxAccessible* CCheckListBoxAccessible::Create(CCheckListBox* pList)
{
    static const auto pfnCreate =
        SystemFunction<CreateStdAccessibleObjectFn>("oleacc.dll", &g_hOleacc, "CreateStdAccessibleObject");
    if (pfnCreate == nullptr)
        return nullptr;
    IAccessible* pStandard = nullptr;
    if (FAILED(pfnCreate(pList->m_hWnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&pStandard))) ||
        pStandard == nullptr)
        return nullptr;
    auto* pAccessible = new (std::nothrow) CCheckListBoxAccessible(pList, pStandard);
    if (pAccessible == nullptr)
        pStandard->Release();
    return pAccessible;
}

CCheckListBoxAccessible::CCheckListBoxAccessible(CCheckListBox* pList, IAccessible* pStandard)
    : m_pList(pList), m_pStandard(pStandard)
{
}

CCheckListBoxAccessible::~CCheckListBoxAccessible()
{
    if (m_pStandard != nullptr)
        m_pStandard->Release();
}

void CCheckListBoxAccessible::Disconnect()
{
    m_pList = nullptr;
    if (m_pStandard != nullptr) {
        m_pStandard->Release();
        m_pStandard = nullptr;
    }
    if (m_bApartment) {
        static const auto pfnCoUninitialize = SystemFunction<CoUninitializeFn>("ole32.dll", &g_hOle32, "CoUninitialize");
        m_bApartment = false;
        if (pfnCoUninitialize != nullptr)
            pfnCoUninitialize();
    }
}

LRESULT CCheckListBoxAccessible::Answer(WPARAM wParam)
{
    static const auto pfnLresult = SystemFunction<LresultFromObjectFn>("oleacc.dll", &g_hOleacc, "LresultFromObject");
    static const auto pfnCoInitialize = SystemFunction<CoInitializeFn>("ole32.dll", &g_hOle32, "CoInitialize");
    if (pfnLresult == nullptr)
        return 0;
    // Handing the object to another process needs an apartment on this
    // thread, which the program has no other reason to make; it lasts as
    // long as the object can be asked, and goes with the list.
    if (!m_bApartment && pfnCoInitialize != nullptr)
        m_bApartment = SUCCEEDED(pfnCoInitialize(nullptr));
    return pfnLresult(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(this));
}

HRESULT CCheckListBoxAccessible::Which(const VARIANT& varChild, int* pnIndex) const
{
    if (m_pList == nullptr || m_pList->m_hWnd == nullptr || m_pStandard == nullptr)
        return CO_E_OBJNOTCONNECTED;
    // Some clients pass the id by reference, and an empty one means the list, as oleacc's own objects take them.
    const VARIANT& var = varChild.vt == (VT_BYREF | VT_VARIANT) && varChild.pvarVal != nullptr ? *varChild.pvarVal : varChild;
    if (var.vt == VT_EMPTY)
        return S_FALSE;
    if (var.vt != VT_I4)
        return E_INVALIDARG;
    if (var.lVal == CHILDID_SELF)
        return S_FALSE;
    if (var.lVal < 1 || var.lVal > m_pList->GetCount())
        return E_INVALIDARG;
    *pnIndex = static_cast<int>(var.lVal - 1);
    return S_OK;
}

bool CCheckListBoxAccessible::Available() const
{
    // A child of a disabled dialog, as under an owned message box, takes no input either.
    for (HWND hWnd = m_pList->m_hWnd; hWnd != nullptr; hWnd = ::GetAncestor(hWnd, GA_PARENT)) {
        if (!::IsWindowEnabled(hWnd))
            return false;
        if ((::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) == 0)
            break;
    }
    return true;
}

STDMETHODIMP CCheckListBoxAccessible::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
        *ppv = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CCheckListBoxAccessible::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CCheckListBoxAccessible::Release()
{
    const LONG cRef = ::InterlockedDecrement(&m_cRef);
    if (cRef == 0)
        delete this;
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CCheckListBoxAccessible::GetTypeInfoCount(UINT* pctinfo)
{
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo != nullptr)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCheckListBoxAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP CCheckListBoxAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CCheckListBoxAccessible::get_accParent(IDispatch** ppdispParent)
{
    if (m_pStandard == nullptr)
        return CO_E_OBJNOTCONNECTED;
    return m_pStandard->get_accParent(ppdispParent);
}

STDMETHODIMP CCheckListBoxAccessible::get_accChildCount(long* pcountChildren)
{
    if (pcountChildren == nullptr)
        return E_POINTER;
    VARIANT self;
    SetChild(&self, CHILDID_SELF);
    int nIndex = 0;
    const HRESULT hr = Which(self, &nIndex);
    if (FAILED(hr))
        return hr;
    *pcountChildren = m_pList->GetCount();
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::get_accChild(VARIANT varChild, IDispatch** ppdispChild)
{
    if (ppdispChild == nullptr)
        return E_POINTER;
    *ppdispChild = nullptr;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (FAILED(hr))
        return hr;
    // The lines are simple elements of the list, known by their child ids.
    return hr == S_FALSE ? m_pStandard->get_accChild(Self(), ppdispChild) : S_FALSE;
}

STDMETHODIMP CCheckListBoxAccessible::get_accName(VARIANT varChild, BSTR* pszName)
{
    if (pszName == nullptr)
        return E_POINTER;
    *pszName = nullptr;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->get_accName(Self(), pszName) : hr;
    const int nLength = m_pList->GetTextLen(nIndex);
    if (nLength <= 0)
        return S_FALSE;
    std::string text(static_cast<size_t>(nLength) + 1, '\0');
    const int nGot = m_pList->GetText(nIndex, &text[0]);
    if (nGot <= 0)
        return S_FALSE;
    // A vector, not a wstring: the library's wide strings cost the program 35 KB.
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), nGot, nullptr, 0);
    if (cch <= 0)
        return S_FALSE;
    std::vector<wchar_t> name(static_cast<size_t>(cch));
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), nGot, name.data(), cch);
    return ReturnString(name.data(), static_cast<UINT>(cch), pszName);
}

HRESULT CCheckListBoxAccessible::ListTextOnly(VARIANT varChild, BSTR* psz, StandardText pfnStandard)
{
    if (psz == nullptr)
        return E_POINTER;
    *psz = nullptr;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? (m_pStandard->*pfnStandard)(Self(), psz) : hr;
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CCheckListBoxAccessible::get_accValue(VARIANT varChild, BSTR* pszValue)
{
    return ListTextOnly(varChild, pszValue, &IAccessible::get_accValue);
}

STDMETHODIMP CCheckListBoxAccessible::get_accDescription(VARIANT varChild, BSTR* pszDescription)
{
    return ListTextOnly(varChild, pszDescription, &IAccessible::get_accDescription);
}

STDMETHODIMP CCheckListBoxAccessible::get_accRole(VARIANT varChild, VARIANT* pvarRole)
{
    if (pvarRole == nullptr)
        return E_POINTER;
    pvarRole->vt = VT_EMPTY;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->get_accRole(Self(), pvarRole) : hr;
    SetChild(pvarRole, ROLE_SYSTEM_CHECKBUTTON);
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::get_accState(VARIANT varChild, VARIANT* pvarState)
{
    if (pvarState == nullptr)
        return E_POINTER;
    pvarState->vt = VT_EMPTY;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->get_accState(Self(), pvarState) : hr;
    const HWND hWnd = m_pList->m_hWnd;
    LONG lState = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    const DWORD dwStyle = m_pList->GetStyle();
    if (dwStyle & LBS_EXTENDEDSEL)
        lState |= STATE_SYSTEM_MULTISELECTABLE | STATE_SYSTEM_EXTSELECTABLE;
    else if (dwStyle & LBS_MULTIPLESEL)
        lState |= STATE_SYSTEM_MULTISELECTABLE;
    if (m_pList->GetSel(nIndex) > 0)
        lState |= STATE_SYSTEM_SELECTED;
    if (::GetFocus() == hWnd && m_pList->GetCaretIndex() == nIndex)
        lState |= STATE_SYSTEM_FOCUSED;
    if (m_pList->GetCheck(nIndex) != 0)
        lState |= STATE_SYSTEM_CHECKED;
    if (!Available())
        lState |= STATE_SYSTEM_UNAVAILABLE;
    RECT rcItem, rcClient;
    m_pList->GetClientRect(&rcClient);
    if (m_pList->GetItemRect(nIndex, &rcItem) == LB_ERR || rcItem.bottom <= rcClient.top ||
        rcItem.top >= rcClient.bottom)
        lState |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    SetChild(pvarState, lState);
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::get_accHelp(VARIANT varChild, BSTR* pszHelp)
{
    return ListTextOnly(varChild, pszHelp, &IAccessible::get_accHelp);
}

STDMETHODIMP CCheckListBoxAccessible::get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, long* pidTopic)
{
    if (pszHelpFile == nullptr || pidTopic == nullptr)
        return E_POINTER;
    *pszHelpFile = nullptr;
    *pidTopic = 0;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->get_accHelpTopic(pszHelpFile, Self(), pidTopic) : hr;
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CCheckListBoxAccessible::get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut)
{
    return ListTextOnly(varChild, pszKeyboardShortcut, &IAccessible::get_accKeyboardShortcut);
}

STDMETHODIMP CCheckListBoxAccessible::get_accFocus(VARIANT* pvarChild)
{
    if (pvarChild == nullptr)
        return E_POINTER;
    pvarChild->vt = VT_EMPTY;
    VARIANT self;
    SetChild(&self, CHILDID_SELF);
    int nIndex = 0;
    const HRESULT hr = Which(self, &nIndex);
    if (FAILED(hr))
        return hr;
    if (::GetFocus() != m_pList->m_hWnd)
        return S_FALSE;
    const int nCaret = m_pList->GetCaretIndex();
    SetChild(pvarChild, nCaret >= 0 && nCaret < m_pList->GetCount() ? nCaret + 1 : CHILDID_SELF);
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::get_accSelection(VARIANT* pvarChildren)
{
    if (pvarChildren == nullptr)
        return E_POINTER;
    pvarChildren->vt = VT_EMPTY;
    VARIANT self;
    SetChild(&self, CHILDID_SELF);
    int nIndex = 0;
    const HRESULT hr = Which(self, &nIndex);
    if (FAILED(hr))
        return hr;
    const std::vector<int> selected = SelectedLines(m_pList->m_hWnd);
    if (selected.empty())
        return S_FALSE;
    if (selected.size() == 1) {
        SetChild(pvarChildren, selected[0] + 1);
        return S_OK;
    }
    std::vector<LONG> children;
    for (int i : selected)
        children.push_back(i + 1);
    auto* pEnum = new (std::nothrow) CChildEnum(std::move(children));
    if (pEnum == nullptr)
        return E_OUTOFMEMORY;
    pvarChildren->vt = VT_UNKNOWN;
    pvarChildren->punkVal = pEnum;
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction)
{
    if (pszDefaultAction == nullptr)
        return E_POINTER;
    *pszDefaultAction = nullptr;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->get_accDefaultAction(Self(), pszDefaultAction) : hr;
    const wchar_t* pszAction = m_pList->GetCheck(nIndex) != 0 ? L"Uncheck" : L"Check";
    return ReturnString(pszAction, static_cast<UINT>(::lstrlenW(pszAction)), pszDefaultAction);
}

STDMETHODIMP CCheckListBoxAccessible::accSelect(long flagsSelect, VARIANT varChild)
{
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->accSelect(flagsSelect, Self()) : hr;
    const HWND hWnd = m_pList->m_hWnd;
    const bool bMultiple = IsMultiple(hWnd);
    const long lAddRemove = SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION;
    if ((flagsSelect & ~SELFLAG_VALID) != 0 || (flagsSelect & lAddRemove) == lAddRemove ||
        ((flagsSelect & SELFLAG_TAKESELECTION) && (flagsSelect & (lAddRemove | SELFLAG_EXTENDSELECTION))) ||
        (!bMultiple && (flagsSelect & (lAddRemove | SELFLAG_EXTENDSELECTION))))
        return E_INVALIDARG;
    if (!Available())
        return DISP_E_MEMBERNOTFOUND;

    const std::vector<int> before = SelectedLines(hWnd);
    CCheckListBox::SelectionSeen seen;
    const bool bWatch = m_pList->BeginSelectionWatch(&seen);
    if (flagsSelect & SELFLAG_TAKEFOCUS)
        ::SetFocus(hWnd);
    if (!bMultiple) {
        if (flagsSelect & SELFLAG_TAKESELECTION)
            ::SendMessageA(hWnd, LB_SETCURSEL, nIndex, 0);
    } else {
        // Selecting moves the caret and the anchor with it; only focus is to move them.
        const int nCaret = static_cast<int>(::SendMessageA(hWnd, LB_GETCARETINDEX, 0, 0));
        const int nAnchor = static_cast<int>(::SendMessageA(hWnd, LB_GETANCHORINDEX, 0, 0));
        if (flagsSelect & SELFLAG_EXTENDSELECTION) {
            const int nFrom = nAnchor >= 0 ? nAnchor : nIndex;
            const bool bSelect = (flagsSelect & SELFLAG_ADDSELECTION) ||
                                 (!(flagsSelect & SELFLAG_REMOVESELECTION) && m_pList->GetSel(nFrom) > 0);
            ::SendMessageA(hWnd, LB_SELITEMRANGE, bSelect, MAKELPARAM(std::min(nFrom, nIndex), std::max(nFrom, nIndex)));
        } else if (flagsSelect & (lAddRemove | SELFLAG_TAKESELECTION)) {
            if (flagsSelect & SELFLAG_TAKESELECTION)
                ::SendMessageA(hWnd, LB_SETSEL, FALSE, -1);
            ::SendMessageA(hWnd, LB_SETSEL, (flagsSelect & SELFLAG_REMOVESELECTION) == 0, nIndex);
        }
        const bool bFocus = (flagsSelect & SELFLAG_TAKEFOCUS) != 0;
        ::SendMessageA(hWnd, LB_SETCARETINDEX, bFocus ? nIndex : nCaret, FALSE);
        ::SendMessageA(hWnd, LB_SETANCHORINDEX, bFocus ? nIndex : nAnchor, 0);
    }
    if (bWatch)
        m_pList->EndSelectionWatch(seen, false);
    // The parent follows as after a click, which the list box's own messages do not tell it of.
    if (SelectedLines(hWnd) != before && (m_pList->GetStyle() & LBS_NOTIFY))
        ::SendMessageA(::GetParent(hWnd), WM_COMMAND, MAKEWPARAM(m_pList->GetDlgCtrlID(), LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(hWnd));
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::accLocation(long* pxLeft, long* pyTop, long* pcxWidth, long* pcyHeight,
                                                  VARIANT varChild)
{
    if (pxLeft == nullptr || pyTop == nullptr || pcxWidth == nullptr || pcyHeight == nullptr)
        return E_POINTER;
    *pxLeft = *pyTop = *pcxWidth = *pcyHeight = 0;
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->accLocation(pxLeft, pyTop, pcxWidth, pcyHeight, Self()) : hr;
    RECT rcItem;
    if (m_pList->GetItemRect(nIndex, &rcItem) == LB_ERR)
        return E_FAIL;
    ::MapWindowPoints(m_pList->m_hWnd, nullptr, reinterpret_cast<POINT*>(&rcItem), 2);
    *pxLeft = rcItem.left;
    *pyTop = rcItem.top;
    *pcxWidth = rcItem.right - rcItem.left;
    *pcyHeight = rcItem.bottom - rcItem.top;
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::accNavigate(long navDir, VARIANT varStart, VARIANT* pvarEndUpAt)
{
    if (pvarEndUpAt == nullptr)
        return E_POINTER;
    pvarEndUpAt->vt = VT_EMPTY;
    int nIndex = 0;
    const HRESULT hr = Which(varStart, &nIndex);
    if (FAILED(hr))
        return hr;
    const int nCount = m_pList->GetCount();
    if (hr == S_FALSE) {
        if (navDir != NAVDIR_FIRSTCHILD && navDir != NAVDIR_LASTCHILD)
            return m_pStandard->accNavigate(navDir, Self(), pvarEndUpAt);
        if (nCount <= 0)
            return S_FALSE;
        SetChild(pvarEndUpAt, navDir == NAVDIR_FIRSTCHILD ? 1 : nCount);
        return S_OK;
    }
    int nTo = -1;
    switch (navDir) {
    case NAVDIR_NEXT:
    case NAVDIR_DOWN:
        nTo = nIndex + 1;
        break;
    case NAVDIR_PREVIOUS:
    case NAVDIR_UP:
        nTo = nIndex - 1;
        break;
    case NAVDIR_FIRSTCHILD:
    case NAVDIR_LASTCHILD:
        return E_INVALIDARG;  // a line has no children
    default:
        return S_FALSE;
    }
    if (nTo < 0 || nTo >= nCount)
        return S_FALSE;
    SetChild(pvarEndUpAt, nTo + 1);
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::accHitTest(long xLeft, long yTop, VARIANT* pvarChild)
{
    if (pvarChild == nullptr)
        return E_POINTER;
    pvarChild->vt = VT_EMPTY;
    VARIANT self;
    SetChild(&self, CHILDID_SELF);
    int nIndex = 0;
    const HRESULT hr = Which(self, &nIndex);
    if (FAILED(hr))
        return hr;
    POINT pt = {xLeft, yTop};
    ::ScreenToClient(m_pList->m_hWnd, &pt);
    RECT rcClient;
    m_pList->GetClientRect(&rcClient);
    if (!::PtInRect(&rcClient, pt))
        return m_pStandard->accHitTest(xLeft, yTop, pvarChild);
    const LRESULT lHit = m_pList->SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    SetChild(pvarChild, HIWORD(lHit) == 0 ? static_cast<LONG>(LOWORD(lHit)) + 1 : CHILDID_SELF);
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::accDoDefaultAction(VARIANT varChild)
{
    int nIndex = 0;
    const HRESULT hr = Which(varChild, &nIndex);
    if (hr != S_OK)
        return hr == S_FALSE ? m_pStandard->accDoDefaultAction(Self()) : hr;
    // As a click would not, while the list takes no input.
    if (!Available())
        return DISP_E_MEMBERNOTFOUND;
    m_pList->ToggleFromReader(nIndex);
    return S_OK;
}

STDMETHODIMP CCheckListBoxAccessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }

STDMETHODIMP CCheckListBoxAccessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

// --- the list's side -----------------------------------------------------------------

namespace {

// Windows' list box tells readers of its caret and selection itself; Wine's
// (8.0) tells them nothing, so there the list does it.
bool ListBoxReportsSelection()
{
    static const bool bWine = ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return !bWine;
}

// Messages after which the caret or the selection may have moved.
bool MayMoveSelection(UINT message)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_TIMER:  // the list scrolls and selects on its own while the mouse is dragged past its edge
    case WM_SETFOCUS:
    case LB_SETSEL:
    case LB_SETCURSEL:
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX:
    case LB_SETCARETINDEX:
        return true;
    default:
        return false;
    }
}

// The events a reader expects when the selection went from one set of lines to another.
void NotifySelection(HWND hWnd, const std::vector<int>& before, const std::vector<int>& after)
{
    if (before == after)
        return;
    std::vector<int> added, removed;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(removed));
    if (added.size() == 1 && removed.empty() && !before.empty())
        ::NotifyWinEvent(EVENT_OBJECT_SELECTIONADD, hWnd, OBJID_CLIENT, added[0] + 1);
    else if (removed.size() == 1 && added.empty())
        ::NotifyWinEvent(EVENT_OBJECT_SELECTIONREMOVE, hWnd, OBJID_CLIENT, removed[0] + 1);
    else if (after.size() == 1)
        ::NotifyWinEvent(EVENT_OBJECT_SELECTION, hWnd, OBJID_CLIENT, after[0] + 1);
    else
        ::NotifyWinEvent(EVENT_OBJECT_SELECTIONWITHIN, hWnd, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace

LRESULT CCheckListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (m_pAccessible == nullptr)
            m_pAccessible = CCheckListBoxAccessible::Create(this);
        if (m_pAccessible != nullptr)
            return m_pAccessible->Answer(wParam);
    }
    SelectionSeen before;
    const bool bWatch = MayMoveSelection(message) && BeginSelectionWatch(&before);
    const LRESULT lResult = CListBox::WindowProc(message, wParam, lParam);
    if (bWatch)
        EndSelectionWatch(before, message == WM_SETFOCUS);
    if (message == WM_NCDESTROY)
        DisconnectAccessible();
    return lResult;
}

bool CCheckListBox::BeginSelectionWatch(SelectionSeen* pBefore)
{
    // Watched only once a reader has asked, and once however many list box
    // messages the handling of one sends.
    if (m_pAccessible == nullptr || m_nSelectionWatch != 0 || ListBoxReportsSelection())
        return false;
    pBefore->nCaret = static_cast<int>(SendMessage(LB_GETCARETINDEX));
    pBefore->selected = SelectedLines(m_hWnd);
    pBefore->bFocus = ::GetFocus() == m_hWnd;
    ++m_nSelectionWatch;
    return true;
}

void CCheckListBox::EndSelectionWatch(const SelectionSeen& before, bool bFocusMessage)
{
    --m_nSelectionWatch;
    if (m_hWnd == nullptr)
        return;
    NotifySelection(m_hWnd, before.selected, SelectedLines(m_hWnd));
    const int nCaret = static_cast<int>(SendMessage(LB_GETCARETINDEX));
    const bool bFocus = ::GetFocus() == m_hWnd;
    if ((nCaret != before.nCaret || bFocusMessage || !before.bFocus) && bFocus && nCaret >= 0)
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, m_hWnd, OBJID_CLIENT, nCaret + 1);
}

void CCheckListBox::DisconnectAccessible()
{
    if (m_pAccessible == nullptr)
        return;
    CCheckListBoxAccessible* pAccessible = m_pAccessible;
    m_pAccessible = nullptr;
    pAccessible->Disconnect();
    pAccessible->Release();
}

CCheckListBox::~CCheckListBox()
{
    // Past this body the window's messages no longer reach this class, and a
    // reader's next question would find the list gone: let the window go now.
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this) {
        if (m_bCreated)
            ::DestroyWindow(m_hWnd);
        else
            UnsubclassWindow();
    }
    DisconnectAccessible();
}

void CCheckListBox::NotifyStateChange(int nIndex)
{
    ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, m_hWnd, OBJID_CLIENT, nIndex + 1);
}

void CCheckListBox::ToggleFromReader(int nIndex)
{
    ToggleCheck(nIndex, false);
    NotifyCheckChange();
    // The parent may look at the ticks as its messages pass, as dialogs
    // enabling their commands do; a reader's tick comes with no input behind it.
    PostMessage(WM_NULL);
}
