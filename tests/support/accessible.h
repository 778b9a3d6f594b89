// The VARIANTs and BSTRs of IAccessible as plain values, for the tests and
// the reader program that ask a list what a screen reader would.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

// The argument that names child `id`, or the object itself (CHILDID_SELF).
inline VARIANT Child(LONG id)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// A BSTR answer as UTF-8; the BSTR is freed.
inline std::string Utf8(BSTR bstr)
{
    if (bstr == nullptr)
        return std::string();
    const int cch = static_cast<int>(::SysStringLen(bstr));
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, bstr, cch, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, bstr, cch, &text[0], n, nullptr, nullptr);
    ::SysFreeString(bstr);
    return text;
}

// The child ids in a focus, selection or hit-test answer: none, one, or an
// enumeration, whose entries that are no id come out as -1. The VARIANT is cleared.
inline std::vector<LONG> ChildIds(VARIANT v)
{
    std::vector<LONG> ids;
    if (v.vt == VT_I4) {
        ids.push_back(v.lVal);
    } else if (v.vt == VT_UNKNOWN) {
        IEnumVARIANT* pEnum = nullptr;
        if (v.punkVal->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(&pEnum)) == S_OK) {
            VARIANT item;
            ULONG nGot = 0;
            while (pEnum->Next(1, &item, &nGot) == S_OK && nGot == 1) {
                ids.push_back(item.vt == VT_I4 ? item.lVal : -1);
                ::VariantClear(&item);
            }
            pEnum->Release();
        }
    }
    ::VariantClear(&v);
    return ids;
}
