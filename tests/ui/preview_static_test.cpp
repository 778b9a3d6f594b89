// CPreviewStatic: loading bitmap files, painting the stretched picture and the
// caption into memory device contexts, and freeing the bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/framework/dialog_script.h"
#include "tests/support/canvas.h"
#include "tests/support/look_override.h"
#include "tests/ui/controls_test_dialogs.h"
#include "ui/preview_static.h"

namespace {

class CPreviewProbe : public CPreviewStatic {
public:
    using CPreviewStatic::m_bmInfo;
    using CPreviewStatic::m_hBitmap;
    int m_nDrawItem = 0;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override
    {
        ++m_nDrawItem;
        CPreviewStatic::DrawItem(lpDrawItemStruct);
    }
};

class CPreviewDlg : public CDialog {
public:
    CPreviewDlg() : CDialog(IDD_PREVIEW_TEST) {}
    CPreviewProbe m_preview;
    CPreviewProbe m_centered;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_PV_PREVIEW, m_preview);
        DDX_Control(pDX, IDC_PV_CENTERED, m_centered);
    }
};

using CScriptedPreviewDlg = ScriptedDialog<CPreviewDlg>;

// Writes a 24-bit bottom-up .bmp file whose pixel (x, y), y from the top, is pixel(x, y).
std::string WriteBitmapFile(const char* name, int cx, int cy, const std::function<COLORREF(int, int)>& pixel)
{
    char szDir[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szDir);
    const std::string path = std::string(szDir) + name;
    const int stride = (cx * 3 + 3) & ~3;
    BITMAPFILEHEADER bf{};
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof(bi);
    bi.biWidth = cx;
    bi.biHeight = cy;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biSizeImage = static_cast<DWORD>(stride * cy);
    bf.bfType = 0x4D42;
    bf.bfOffBits = sizeof(bf) + sizeof(bi);
    bf.bfSize = bf.bfOffBits + bi.biSizeImage;
    std::vector<uint8_t> rows(bi.biSizeImage);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            const COLORREF c = pixel(x, y);
            uint8_t* p = &rows[static_cast<size_t>((cy - 1 - y) * stride + x * 3)];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return path;
    std::fwrite(&bf, sizeof(bf), 1, f);
    std::fwrite(&bi, sizeof(bi), 1, f);
    std::fwrite(rows.data(), 1, rows.size(), f);
    std::fclose(f);
    return path;
}

// Each pixel carries its own coordinates: red 4x, green 4y.
COLORREF Coordinates(int x, int y) { return RGB(x * 4, y * 4, 0x80); }

// Sizes the control so that its client area is cx by cy.
void SetClientSize(CWnd& control, int cx, int cy)
{
    RECT rcWindow, rcClient;
    control.GetWindowRect(&rcWindow);
    control.GetClientRect(&rcClient);
    ::SetWindowPos(control.m_hWnd, nullptr, 0, 0, rcWindow.right - rcWindow.left - rcClient.right + cx,
                   rcWindow.bottom - rcWindow.top - rcClient.bottom + cy, SWP_NOMOVE | SWP_NOZORDER);
    control.GetClientRect(&rcClient);
    ASSERT_EQ(cx, rcClient.right);
    ASSERT_EQ(cy, rcClient.bottom);
}

TEST(PreviewStaticLoad, LoadsReplacesReleasesAndKeepsThePictureOnFailure)
{
    const std::string first = WriteBitmapFile("turfwise_pv_first.bmp", 64, 64, Coordinates);
    const std::string second = WriteBitmapFile("turfwise_pv_second.bmp", 8, 4, Coordinates);
    const std::string text = WriteBitmapFile("turfwise_pv_text.bmp", 1, 1, Coordinates);
    FILE* f = std::fopen(text.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::fputs("not a bitmap", f);
    std::fclose(f);

    CPreviewProbe preview;
    EXPECT_EQ(1, preview.LoadBitmapFile(nullptr));
    EXPECT_EQ(nullptr, preview.m_hBitmap);

    EXPECT_EQ(static_cast<int>(sizeof(BITMAP)), preview.LoadBitmapFile(first.c_str()));
    HBITMAP hFirst = preview.m_hBitmap;
    ASSERT_NE(nullptr, hFirst);
    EXPECT_EQ(64, preview.m_bmInfo.bmWidth);
    EXPECT_EQ(64, preview.m_bmInfo.bmHeight);

    const BITMAP infoBefore = preview.m_bmInfo;
    EXPECT_EQ(0, preview.LoadBitmapFile("C:\\no\\such\\folder\\texture.bmp"));
    EXPECT_EQ(0, preview.LoadBitmapFile(text.c_str()));
    EXPECT_EQ(hFirst, preview.m_hBitmap);
    EXPECT_EQ(0, std::memcmp(&infoBefore, &preview.m_bmInfo, sizeof(BITMAP)));
    EXPECT_EQ(OBJ_BITMAP, static_cast<int>(::GetObjectType(hFirst)));

    EXPECT_NE(0, preview.LoadBitmapFile(second.c_str()));
    HBITMAP hSecond = preview.m_hBitmap;
    EXPECT_EQ(8, preview.m_bmInfo.bmWidth);
    EXPECT_EQ(4, preview.m_bmInfo.bmHeight);
    EXPECT_EQ(0u, ::GetObjectType(hFirst));  // the replaced bitmap is freed

    EXPECT_EQ(1, preview.LoadBitmapFile(nullptr));
    EXPECT_EQ(nullptr, preview.m_hBitmap);
    EXPECT_EQ(0u, ::GetObjectType(hSecond));
}

TEST(PreviewStaticLoad, DestroyingTheObjectFreesItsBitmap)
{
    const std::string path = WriteBitmapFile("turfwise_pv_owned.bmp", 4, 4, Coordinates);
    auto* pPreview = new CPreviewProbe;
    ASSERT_NE(0, pPreview->LoadBitmapFile(path.c_str()));
    HBITMAP hBitmap = pPreview->m_hBitmap;
    EXPECT_EQ(OBJ_BITMAP, static_cast<int>(::GetObjectType(hBitmap)));
    delete pPreview;
    EXPECT_EQ(0u, ::GetObjectType(hBitmap));
}

TEST(PreviewStaticPaint, BindingMakesItOwnerDrawnAndRepaintsDrawTheCaption)
{
    CScriptedPreviewDlg dlg;
    dlg.Then([&] {
        const DWORD dwStyle = dlg.m_preview.GetStyle();
        EXPECT_EQ(static_cast<DWORD>(SS_OWNERDRAW), dwStyle & SS_TYPEMASK);
        EXPECT_TRUE(dwStyle & SS_SUNKEN);
        EXPECT_TRUE(dwStyle & WS_GROUP);
        dlg.m_preview.m_nDrawItem = 0;
        dlg.m_preview.Invalidate(TRUE);
        dlg.m_preview.UpdateWindow();
        EXPECT_EQ(1, dlg.m_preview.m_nDrawItem);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// How many pixels of the 128 by 96 area at the top left fail right(x, y, colour).
int WrongPixels(const Canvas& canvas, const std::function<bool(int, int, COLORREF)>& right)
{
    int nWrong = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x)
            nWrong += right(x, y, canvas.Pixel(x, y)) ? 0 : 1;
    return nWrong;
}

TEST(PreviewStaticPaint, EraseFillsTheButtonFaceOrStretchesTheWholeBitmap)
{
    const std::string path64 = WriteBitmapFile("turfwise_pv_64.bmp", 64, 64, Coordinates);
    const std::string path1 = WriteBitmapFile("turfwise_pv_1.bmp", 1, 1, [](int, int) { return RGB(0, 160, 64); });
    CScriptedPreviewDlg dlg;
    dlg.Then([&] {
        SetClientSize(dlg.m_preview, 128, 96);
        Canvas face(140, 100, RGB(255, 0, 255));
        EXPECT_TRUE(dlg.m_preview.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(face.DC())));
        const COLORREF btnFace = ::GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(0, WrongPixels(face, [&](int, int, COLORREF c) { return c == btnFace; }));
        EXPECT_EQ(RGB(255, 0, 255), face.Pixel(128, 0));  // nothing outside the client area
        EXPECT_EQ(RGB(255, 0, 255), face.Pixel(0, 96));

        ASSERT_NE(0, dlg.m_preview.LoadBitmapFile(path64.c_str()));
        Canvas stretched(128, 96, RGB(255, 0, 255));
        ::SetStretchBltMode(stretched.DC(), HALFTONE);
        EXPECT_TRUE(dlg.m_preview.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(stretched.DC())));
        EXPECT_EQ(COLORONCOLOR, ::GetStretchBltMode(stretched.DC()));
        // Every pixel shows the source pixel at its scaled position, the last column and row included.
        std::set<int> columns, rows;
        EXPECT_EQ(0, WrongPixels(stretched, [&](int x, int y, COLORREF c) {
                      const int sx = GetRValue(c) / 4, sy = GetGValue(c) / 4;
                      columns.insert(sx);
                      rows.insert(sy);
                      return GetBValue(c) == 0x80 && std::abs(sx - x * 64 / 128) <= 1 && std::abs(sy - y * 64 / 96) <= 1;
                  }));
        EXPECT_EQ(64u, columns.size());
        EXPECT_EQ(64u, rows.size());
        EXPECT_EQ(Coordinates(0, 0), stretched.Pixel(0, 0));
        EXPECT_EQ(Coordinates(63, 63), stretched.Pixel(127, 95));

        ASSERT_NE(0, dlg.m_preview.LoadBitmapFile(path1.c_str()));
        Canvas single(128, 96, RGB(255, 0, 255));
        dlg.m_preview.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(single.DC()));
        EXPECT_EQ(0, WrongPixels(single, [](int, int, COLORREF c) { return c == RGB(0, 160, 64); }));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// Sends the dialog the WM_DRAWITEM the static would send, drawing into canvas.
void DrawThroughDialog(CDialog& dlg, CWnd& control, Canvas& canvas)
{
    DRAWITEMSTRUCT dis{ODT_STATIC, static_cast<UINT>(control.GetDlgCtrlID()), 0, ODA_DRAWENTIRE, 0, control.m_hWnd,
                       canvas.DC(), {0, 0, 128, 96}, 0};
    EXPECT_TRUE(dlg.SendMessage(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis)));
}

TEST(PreviewStaticCaption, WhiteTextPlacedByStyleAndTheContextLeftAsItWas)
{
    CScriptedPreviewDlg dlg;
    dlg.Then([&] {
        Canvas top(128, 96, RGB(0, 0, 0));
        ::SetBkMode(top.DC(), OPAQUE);
        ::SetTextColor(top.DC(), RGB(1, 2, 3));
        dlg.m_preview.SetWindowText("texture.bmp");
        DrawThroughDialog(dlg, dlg.m_preview, top);
        EXPECT_EQ(OPAQUE, ::GetBkMode(top.DC()));
        EXPECT_EQ(RGB(1, 2, 3), ::GetTextColor(top.DC()));
        const std::set<int> rows = top.RowsWith(RGB(255, 255, 255));
        ASSERT_FALSE(rows.empty());
        EXPECT_LT(*rows.rbegin(), 30);  // one line at the top
        const std::set<int> columns = top.ColumnsWith(RGB(255, 255, 255));  // centred across
        EXPECT_NEAR(64, (*columns.begin() + *columns.rbegin()) / 2, 4);
        EXPECT_EQ(RGB(0, 0, 0), top.Pixel(0, 0));  // no background behind the text

        Canvas centred(128, 96, RGB(0, 0, 0));
        DrawThroughDialog(dlg, dlg.m_centered, centred);  // SS_CENTERIMAGE
        const std::set<int> centredRows = centred.RowsWith(RGB(255, 255, 255));
        ASSERT_FALSE(centredRows.empty());
        EXPECT_GT(*centredRows.begin(), 30);
        EXPECT_LT(*centredRows.rbegin(), 66);

        Canvas empty(128, 96, RGB(0, 0, 0));
        dlg.m_preview.SetWindowText("");
        DrawThroughDialog(dlg, dlg.m_preview, empty);
        EXPECT_TRUE(empty.RowsWith(RGB(255, 255, 255)).empty());
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

// How many pixels of each colour a canvas holds, and how many of the
// picture's stand inside the smallest rectangle around all the others.
struct CaptionColours {
    std::map<COLORREF, int> counts;
    int nPictureInCaption = 0;
};

CaptionColours ReadCaption(const Canvas& canvas, COLORREF picture)
{
    CaptionColours result;
    RECT rc = {128, 96, 0, 0};
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x) {
            const COLORREF c = canvas.Pixel(x, y);
            ++result.counts[c];
            if (c != picture) {
                rc.left = std::min<LONG>(rc.left, x);
                rc.top = std::min<LONG>(rc.top, y);
                rc.right = std::max<LONG>(rc.right, x + 1);
                rc.bottom = std::max<LONG>(rc.bottom, y + 1);
            }
        }
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            result.nPictureInCaption += canvas.Pixel(x, y) == picture ? 1 : 0;
    return result;
}

TEST(PreviewStaticCaption, TakesTheSystemsColoursAndInHighContrastHidesThePictureBehindIt)
{
    CScriptedPreviewDlg dlg;
    dlg.Then([&] {
        const COLORREF picture = RGB(0, 160, 64);
        SystemColours colours({{COLOR_WINDOW, kStrangeWindow},
                               {COLOR_WINDOWTEXT, kStrangeWindowText},
                               {COLOR_HIGHLIGHTTEXT, kStrangeHighlightText}});
        dlg.m_preview.SetWindowText("texture.bmp");

        Canvas over(128, 96, picture);
        DrawThroughDialog(dlg, dlg.m_preview, over);
        CaptionColours caption = ReadCaption(over, picture);
        EXPECT_GT(caption.counts[kStrangeHighlightText], 0);
        EXPECT_EQ(0, caption.counts[kStrangeWindowText]);
        EXPECT_EQ(0, caption.counts[kStrangeWindow]);
        EXPECT_GT(caption.nPictureInCaption, caption.counts[kStrangeHighlightText]) << "the picture between the letters";

        LookOverride highContrast({false, true});
        Canvas band(128, 96, picture);
        ::SetBkColor(band.DC(), RGB(1, 2, 3));
        DrawThroughDialog(dlg, dlg.m_preview, band);
        EXPECT_EQ(RGB(1, 2, 3), ::GetBkColor(band.DC()));
        caption = ReadCaption(band, picture);
        EXPECT_GT(caption.counts[kStrangeWindowText], 0);
        EXPECT_GT(caption.counts[kStrangeWindow], caption.counts[kStrangeWindowText]);
        EXPECT_EQ(0, caption.counts[kStrangeHighlightText]);
        EXPECT_EQ(0, caption.nPictureInCaption) << "the letters stand on the window's colour alone";
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
}

}  // namespace
