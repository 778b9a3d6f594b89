// CPreviewStatic: a static control that shows a bitmap file stretched to its
// size, with its window text drawn over it (in high contrast on the window's
// colour). The picture is painted in WM_ERASEBKGND and the text in the
// reflected WM_DRAWITEM, so callers invalidate it with erase.
#pragma once

#include "framework/afxwin.h"

class CPreviewStatic : public CStatic {
public:
    CPreviewStatic();
    ~CPreviewStatic() override;

    // Loads a .bmp file and holds it in place of the previous one; non-zero on
    // success. A failed load keeps the previous bitmap; a null path releases it
    // and returns 1. Does not repaint.
    int LoadBitmapFile(LPCSTR lpszPath);

    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    void PreSubclassWindow() override;
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);

    DECLARE_MESSAGE_MAP()

    HBITMAP m_hBitmap;
    BITMAP m_bmInfo;  // valid only while m_hBitmap is held
};
