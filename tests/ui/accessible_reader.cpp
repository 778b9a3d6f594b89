// A screen reader of the simplest kind, run as a second process by the tests:
// it reads a class list and a preview through AccessibleObjectFromWindow, as
// readers do, and writes what it found to a file, one tab-separated record a
// line (UTF-8):
//   object   HRESULT of AccessibleObjectFromWindow, in hex
//   action   HRESULT of the default action or the selecting, when one was asked for
//   count    the list's child count
//   child    id, role, state (hex), left, top, width, height, default action, name
//   focus    the child ids get_accFocus gives
//   selection  the child ids get_accSelection gives
//   preview  the preview's name
//   accessible_reader OUT LIST PREVIEW [CHILD [FLAGS]]
// LIST and PREVIEW are window handles in decimal; with CHILD, that child's
// default action is done before anything is read, or with FLAGS, accSelect.
#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/accessible.h"

namespace {

std::string Hex(long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(value));
    return text;
}

// The child ids of a focus or selection answer, as a line of the output.
std::string Ids(VARIANT v)
{
    std::string ids;
    for (LONG id : ChildIds(v))
        ids += (ids.empty() ? "" : " ") + std::to_string(id);
    return ids;
}

HWND Handle(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 10)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr)
        return 3;
    ::CoInitialize(nullptr);
    IAccessible* pAcc = nullptr;
    HRESULT hr = ::AccessibleObjectFromWindow(Handle(argv[2]), static_cast<DWORD>(OBJID_CLIENT),
                                              __uuidof(IAccessible), reinterpret_cast<void**>(&pAcc));
    std::fprintf(out, "object\t%s\n", Hex(hr).c_str());
    if (pAcc != nullptr) {
        if (argc > 5)
            std::fprintf(out, "action\t%s\n", Hex(pAcc->accSelect(std::atol(argv[5]), Child(std::atol(argv[4])))).c_str());
        else if (argc > 4)
            std::fprintf(out, "action\t%s\n", Hex(pAcc->accDoDefaultAction(Child(std::atol(argv[4])))).c_str());
        long nCount = -1;
        pAcc->get_accChildCount(&nCount);
        std::fprintf(out, "count\t%ld\n", nCount);
        for (LONG id = 1; id <= nCount; ++id) {
            VARIANT role, state;
            ::VariantInit(&role);
            ::VariantInit(&state);
            pAcc->get_accRole(Child(id), &role);
            pAcc->get_accState(Child(id), &state);
            long x = 0, y = 0, cx = 0, cy = 0;
            pAcc->accLocation(&x, &y, &cx, &cy, Child(id));
            BSTR action = nullptr, name = nullptr;
            pAcc->get_accDefaultAction(Child(id), &action);
            pAcc->get_accName(Child(id), &name);
            std::fprintf(out, "child\t%ld\t%ld\t%s\t%ld\t%ld\t%ld\t%ld\t%s\t%s\n", static_cast<long>(id),
                         role.vt == VT_I4 ? static_cast<long>(role.lVal) : -1L,
                         state.vt == VT_I4 ? Hex(state.lVal).c_str() : "-", x, y, cx, cy, Utf8(action).c_str(),
                         Utf8(name).c_str());
        }
        VARIANT v;
        ::VariantInit(&v);
        pAcc->get_accFocus(&v);
        std::fprintf(out, "focus\t%s\n", Ids(v).c_str());
        ::VariantInit(&v);
        pAcc->get_accSelection(&v);
        std::fprintf(out, "selection\t%s\n", Ids(v).c_str());
        pAcc->Release();
    }
    IAccessible* pPreview = nullptr;
    if (::AccessibleObjectFromWindow(Handle(argv[3]), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                     reinterpret_cast<void**>(&pPreview)) == S_OK) {
        BSTR name = nullptr;
        pPreview->get_accName(Child(CHILDID_SELF), &name);
        std::fprintf(out, "preview\t%s\n", Utf8(name).c_str());
        pPreview->Release();
    }
    std::fclose(out);
    ::CoUninitialize();
    return hr == S_OK ? 0 : 1;
}
