// CDWordArray: a growable array of 32-bit values that owns its storage.
#pragma once

#include <windows.h>

#include <vector>

class CDWordArray {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    DWORD GetAt(INT_PTR nIndex) const { return m_data.at(static_cast<size_t>(nIndex)); }
    void SetAt(INT_PTR nIndex, DWORD newElement) { m_data.at(static_cast<size_t>(nIndex)) = newElement; }
    DWORD operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    // Returns the new element's index.
    INT_PTR Add(DWORD newElement)
    {
        m_data.push_back(newElement);
        return GetSize() - 1;
    }
    void RemoveAll() { m_data.clear(); }

private:
    std::vector<DWORD> m_data;
};
