// What the DPI tests measure on the main dialog: where its controls are, how
// a list line is drawn, how tall a font is.
#pragma once

#include <windows.h>

#include <string>

#include "tests/ui/dialog_driver.h"

// The controls in template order: their rectangles in dialog units, and how
// far each edge follows a resize: 1 for the change in width (left, right) or
// height (top, bottom), 0 for staying put.
struct DialogControl {
    int nID;
    RECT units;  // left, top, width, height
    int left, top, right, bottom;
};
extern const DialogControl kDialogControls[12];

RECT RectInDialog(HWND dialog, HWND control);
std::string Show(const RECT& r);

// One list line as DrawItem paints it, unselected: the check box is the first
// run of columns that differ from the window colour, the text starts at the
// next one.
struct LinePicture {
    RECT box = {-1, -1, -1, -1};  // within the line
    int textLeft = -1;
    int height = 0;
};
LinePicture DrawLine(DialogDriver& ui, int nLine);

int FontHeight(HFONT font);
// lfHeight of the font a window draws its text with.
LONG FontLogicalHeight(HWND window);
