// Runs a dialog modally and plays a script of steps inside its own modal loop.
// Each step runs on a message posted after the previous step returned, so the
// messages a step posts (clicks, keys) have been through the loop by the time
// the next step looks at the result. A watchdog ends a script that hangs.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "framework/afxwin.h"

constexpr UINT WM_SCRIPT_STEP = WM_APP + 0x3F0;
constexpr UINT_PTR kScriptWatchdog = 0x5C41;

template <class Dialog>
class ScriptedDialog : public Dialog {
public:
    using Dialog::Dialog;

    ScriptedDialog& Then(std::function<void()> step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }

    BOOL OnInitDialog() override
    {
        BOOL bResult = Dialog::OnInitDialog();
        this->SetTimer(kScriptWatchdog, 20000);
        this->PostMessage(WM_SCRIPT_STEP);
        return bResult;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SCRIPT_STEP) {
            if (m_next < m_steps.size()) {
                m_steps[m_next++]();
                if (this->m_hWnd != nullptr)
                    this->PostMessage(WM_SCRIPT_STEP);
            } else {
                this->EndDialog(IDOK);  // a script that runs to its end ends the dialog with IDOK
            }
            return 0;
        }
        if (message == WM_TIMER && wParam == kScriptWatchdog) {
            ADD_FAILURE() << "the script did not finish";
            this->EndDialog(-2);
            return 0;
        }
        return Dialog::WindowProc(message, wParam, lParam);
    }

private:
    std::vector<std::function<void()>> m_steps;
    size_t m_next = 0;
};

inline void PostClick(HWND hWnd, int x, int y, UINT nDownMessage = WM_LBUTTONDOWN)
{
    ::PostMessageA(hWnd, nDownMessage, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageA(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline void PostKey(HWND hWnd, UINT vk)
{
    const UINT scan = ::MapVirtualKeyA(vk, 0);
    ::PostMessageA(hWnd, WM_KEYDOWN, vk, MAKELPARAM(1, scan));
    ::PostMessageA(hWnd, WM_KEYUP, vk, MAKELPARAM(1, scan | KF_UP | KF_REPEAT));
}
