// Templates and control ids of the anchored dialog and preview tests.
#pragma once

#define IDD_ANCHOR_TEST 300
#define IDC_A_MOVE_XY 301
#define IDC_A_SIZE_XY 302
#define IDC_A_SIZE_X_MOVE_Y 303
#define IDC_A_SIZE_Y 304
#define IDC_A_MOVE_Y 305
#define IDC_A_MOVE_AND_SIZE_X 306
#define IDC_A_MOVE_AND_SIZE_Y 307
#define IDC_A_TWICE 308
#define IDC_A_HIGH_BITS 309
#define IDC_A_FIXED 310
#define IDC_A_ABSENT 399

#define IDD_PREVIEW_TEST 320
#define IDC_PV_PREVIEW 321
#define IDC_PV_CENTERED 322
