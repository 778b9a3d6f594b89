// A 32-bit memory device context that a test draws into and reads back pixel
// by pixel.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <vector>

class Canvas {
public:
    Canvas(int cx, int cy, COLORREF fill = RGB(0, 0, 0)) : m_cx(cx), m_cy(cy)
    {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        m_hDC = ::CreateCompatibleDC(nullptr);
        m_hBitmap = ::CreateDIBSection(m_hDC, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_pBits), nullptr, 0);
        m_hOld = ::SelectObject(m_hDC, m_hBitmap);
        HBRUSH hBrush = ::CreateSolidBrush(fill);
        RECT rc{0, 0, cx, cy};
        ::FillRect(m_hDC, &rc, hBrush);
        ::DeleteObject(hBrush);
    }
    ~Canvas()
    {
        ::SelectObject(m_hDC, m_hOld);
        ::DeleteObject(m_hBitmap);
        ::DeleteDC(m_hDC);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC DC() const { return m_hDC; }
    COLORREF Pixel(int x, int y) const
    {
        ::GdiFlush();
        const uint32_t v = m_pBits[y * m_cx + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // The pixels of the columns [0, cx), row by row.
    std::vector<COLORREF> Columns(int cx) const
    {
        std::vector<COLORREF> pixels;
        for (int y = 0; y < m_cy; ++y)
            for (int x = 0; x < cx; ++x)
                pixels.push_back(Pixel(x, y));
        return pixels;
    }
    // The rows, or the columns, that hold a pixel of this colour.
    std::set<int> RowsWith(COLORREF colour) const { return LinesWith(colour, true); }
    std::set<int> ColumnsWith(COLORREF colour) const { return LinesWith(colour, false); }

    const int m_cx, m_cy;

private:
    std::set<int> LinesWith(COLORREF colour, bool bRows) const
    {
        std::set<int> lines;
        for (int y = 0; y < m_cy; ++y)
            for (int x = 0; x < m_cx; ++x)
                if (Pixel(x, y) == colour)
                    lines.insert(bRows ? y : x);
        return lines;
    }

    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hOld;
    uint32_t* m_pBits = nullptr;
};
