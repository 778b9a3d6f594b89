// Message maps: a static table per class, searched from the most derived class
// to the root, each line naming a message (for WM_COMMAND also the notification
// code and control id) and a thunk that unpacks the parameters into a typed
// handler call. The thunks are captureless lambdas defined inside the class's
// own member function, so they may call its protected handlers.
#pragma once

#include <windows.h>

#define afx_msg

// Messages a parent hands back to the child control that caused them are looked
// up in the child's map under this base plus the original message number. They
// are never sent as window messages.
#define WM_REFLECT_BASE 0xBC00

class CCmdTarget;

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;    // WM_COMMAND notification code
    UINT nID;      // WM_COMMAND control id range
    UINT nLastID;
    bool (*pfnThunk)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Runs the first matching handler of this object's map chain; false when no
    // line matched (the caller then does default processing).
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                       \
protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();   \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                 \
    {                                                                               \
        using ThisClass [[maybe_unused]] = theClass;                                \
        using TheBaseClass = baseClass;                                             \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                   \
            {0, 0, 0, 0, nullptr}                                           \
        };                                                                  \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                        \
    }

#define AFX_THUNK(body)                                                             \
    [](CCmdTarget* pTarget, [[maybe_unused]] WPARAM wParam, [[maybe_unused]] LPARAM lParam, \
       [[maybe_unused]] LRESULT* pResult) -> bool {                                  \
        [[maybe_unused]] ThisClass* pThis = static_cast<ThisClass*>(pTarget);       \
        body;                                                                       \
        return true;                                                                \
    }

// Generic entries.
#define ON_MESSAGE(message, memberFxn) \
    {message, 0, 0, 0, AFX_THUNK(*pResult = (pThis->*(memberFxn))(wParam, lParam))},
#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (id), (id), AFX_THUNK((pThis->*(memberFxn))())},
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    {WM_COMMAND, (wNotifyCode), (id), (id), AFX_THUNK((pThis->*(memberFxn))())},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)

// Window messages, each to its handler of the fixed name and signature.
#define ON_WM_CREATE() \
    {WM_CREATE, 0, 0, 0, AFX_THUNK(*pResult = pThis->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam)))},
#define ON_WM_DESTROY() \
    {WM_DESTROY, 0, 0, 0, AFX_THUNK(pThis->OnDestroy())},
#define ON_WM_SIZE() \
    {WM_SIZE, 0, 0, 0, AFX_THUNK(pThis->OnSize(static_cast<UINT>(wParam), \
        static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))))},
#define ON_WM_GETMINMAXINFO() \
    {WM_GETMINMAXINFO, 0, 0, 0, AFX_THUNK(pThis->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)))},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, 0, AFX_THUNK(pThis->OnSysCommand(static_cast<UINT>(wParam), lParam))},
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, 0, AFX_THUNK(pThis->OnPaint())},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, AFX_THUNK(*pResult = reinterpret_cast<LRESULT>(pThis->OnQueryDragIcon()))},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, 0, AFX_THUNK(pThis->OnTimer(static_cast<UINT_PTR>(wParam)))},
#define ON_WM_ERASEBKGND()                                                    \
    {WM_ERASEBKGND, 0, 0, 0, AFX_THUNK(CDC dc; dc.Attach(reinterpret_cast<HDC>(wParam)); \
        *pResult = pThis->OnEraseBkgnd(&dc); dc.Detach())},
#define ON_WM_LBUTTONDOWN() \
    {WM_LBUTTONDOWN, 0, 0, 0, AFX_THUNK(pThis->OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam)))},
#define ON_WM_LBUTTONDBLCLK() \
    {WM_LBUTTONDBLCLK, 0, 0, 0, AFX_THUNK(pThis->OnLButtonDblClk(static_cast<UINT>(wParam), CPoint(lParam)))},
#define ON_WM_DROPFILES() \
    {WM_DROPFILES, 0, 0, 0, AFX_THUNK(pThis->OnDropFiles(reinterpret_cast<HDROP>(wParam)))},
#define ON_WM_INITMENUPOPUP()                                                                  \
    {WM_INITMENUPOPUP, 0, 0, 0, AFX_THUNK(pThis->OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), \
        LOWORD(lParam), HIWORD(lParam)))},
#define ON_WM_KEYDOWN() \
    {WM_KEYDOWN, 0, 0, 0, AFX_THUNK(pThis->OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)))},

// Reflected messages: handled by the control that caused them.
#define ON_WM_DRAWITEM_REFLECT()                                                              \
    {WM_REFLECT_BASE + WM_DRAWITEM, 0, 0, 0,                                                  \
     AFX_THUNK(pThis->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); *pResult = TRUE)},
#define ON_WM_MEASUREITEM_REFLECT()                                                                 \
    {WM_REFLECT_BASE + WM_MEASUREITEM, 0, 0, 0,                                                     \
     AFX_THUNK(pThis->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam)); *pResult = TRUE)},
#define ON_CONTROL_REFLECT(wNotifyCode, memberFxn) \
    {WM_REFLECT_BASE + WM_COMMAND, (wNotifyCode), 0, 0xFFFF, AFX_THUNK((pThis->*(memberFxn))())},
