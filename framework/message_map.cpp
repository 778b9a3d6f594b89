#include "framework/message_map.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const bool bCommand = message == WM_COMMAND || message == WM_REFLECT_BASE + WM_COMMAND;
    UINT nCode = 0;
    UINT nID = 0;
    if (bCommand) {
        nCode = HIWORD(wParam);
        nID = LOWORD(wParam);
        // An accelerator's command (code 1, no control) is a command like a menu's.
        if (message == WM_COMMAND && nCode == 1 && lParam == 0)
            nCode = 0;
    }
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnThunk != nullptr; ++pEntry) {
            if (pEntry->nMessage != message)
                continue;
            if (bCommand && (pEntry->nCode != nCode || nID < pEntry->nID || nID > pEntry->nLastID))
                continue;
            LRESULT lResult = 0;
            if (pEntry->pfnThunk(this, wParam, lParam, &lResult)) {
                *pResult = lResult;
                return true;
            }
        }
    }
    return false;
}
