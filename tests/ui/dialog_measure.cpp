#include "tests/ui/dialog_measure.h"

#include <sstream>

#include "ui/resource.h"

const DialogControl kDialogControls[12] = {
    {IDOK, {243, 122, 50, 14}, 1, 1, 1, 1},
    {IDC_CLASS_LIST, {7, 8, 215, 64}, 0, 0, 0, 1},
    {IDC_PREVIEW, {229, 8, 64, 64}, 0, 0, 1, 1},
    {IDC_SHOW_ALL, {7, 107, 50, 14}, 0, 1, 0, 1},
    {IDC_DEFAULT, {243, 107, 50, 14}, 1, 1, 1, 1},
    {IDC_SHOW_WATER, {7, 122, 50, 14}, 0, 1, 0, 1},
    {IDC_SELECT_ALL, {60, 114, 50, 14}, 0, 1, 0, 1},
    {IDC_CLEAR_ALL, {190, 113, 50, 14}, 1, 1, 1, 1},
    {IDC_SURFACE_TYPE, {112, 122, 75, 50}, 0, 1, 1, 1},
    {IDC_UPDATE, {125, 107, 50, 14}, 0, 1, 1, 1},
    {IDC_STATUS, {7, 139, 286, 12}, 0, 1, 1, 1},
    {IDC_INSTRUCTIONS, {7, 76, 286, 27}, 0, 1, 1, 1},
};

RECT RectInDialog(HWND dialog, HWND control)
{
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Show(const RECT& r)
{
    std::ostringstream out;
    out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
    return out.str();
}

LinePicture DrawLine(DialogDriver& ui, int nLine)
{
    LinePicture picture;
    ui.OnUiThread([&] {
        CCheckListBox& list = ui.dlg->m_classList;
        RECT item = {};
        list.GetItemRect(nLine, &item);
        const int cx = item.right - item.left, cy = item.bottom - item.top;
        picture.height = cy;
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cx, cy);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        DRAWITEMSTRUCT dis{ODT_LISTBOX, IDC_CLASS_LIST, UINT(nLine), ODA_DRAWENTIRE, 0, list.m_hWnd, dc,
                           {0, 0, cx, cy}, list.GetItemData(nLine)};
        list.DrawItem(&dis);
        const COLORREF window = ::GetSysColor(COLOR_WINDOW);
        auto inked = [&](int x, int y) { return ::GetPixel(dc, x, y) != window; };
        auto columnInked = [&](int x) {
            for (int y = 0; y < cy; ++y)
                if (inked(x, y))
                    return true;
            return false;
        };
        int x = 0;
        while (x < cx && !columnInked(x))
            ++x;
        picture.box.left = x;
        while (x < cx && columnInked(x))
            ++x;
        picture.box.right = x;
        for (int y = 0; y < cy; ++y)
            for (int bx = picture.box.left; bx < picture.box.right; ++bx)
                if (inked(bx, y)) {
                    if (picture.box.top < 0)
                        picture.box.top = y;
                    picture.box.bottom = y + 1;
                }
        while (x < cx && !columnInked(x))
            ++x;
        picture.textLeft = x < cx ? x : -1;
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        ::ReleaseDC(nullptr, screen);
    });
    return picture;
}

int FontHeight(HFONT font)
{
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

LONG FontLogicalHeight(HWND window)
{
    LOGFONTA logFont = {};
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0));
    if (font == nullptr || ::GetObjectA(font, sizeof logFont, &logFont) == 0)
        return 0;
    return logFont.lfHeight;
}
