// Other system colours, or another look than the system's, for as long as a
// test needs them: put back however the test ends. The colours hold for the
// whole Wine session, so a test that dies with them set leaves them behind
// until its wineserver ends.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "framework/theme.h"

class LookOverride {
public:
    explicit LookOverride(LookHook hook) : m_hook(hook) { SetLookHook(&m_hook); }
    ~LookOverride() { SetLookHook(nullptr); }
    LookOverride(const LookOverride&) = delete;
    LookOverride& operator=(const LookOverride&) = delete;

private:
    LookHook m_hook;
};

class SystemColours {
public:
    SystemColours(std::initializer_list<std::pair<int, COLORREF>> colours)
    {
        for (const auto& c : colours) {
            m_indexes.push_back(c.first);
            m_saved.push_back(::GetSysColor(c.first));
            m_new.push_back(c.second);
        }
        ::SetSysColors(static_cast<int>(m_indexes.size()), m_indexes.data(), m_new.data());
    }
    ~SystemColours() { ::SetSysColors(static_cast<int>(m_indexes.size()), m_indexes.data(), m_saved.data()); }
    SystemColours(const SystemColours&) = delete;
    SystemColours& operator=(const SystemColours&) = delete;

private:
    std::vector<int> m_indexes;
    std::vector<COLORREF> m_saved, m_new;
};

// Colours that neither a theme nor a standard scheme has, so that each pixel
// says where it came from.
const COLORREF kStrangeWindow = RGB(0, 0, 0x20);
const COLORREF kStrangeWindowText = RGB(0xFF, 0xFF, 0x10);
const COLORREF kStrangeHighlight = RGB(0x10, 0x90, 0x30);
const COLORREF kStrangeHighlightText = RGB(0xF0, 0x10, 0xF0);
