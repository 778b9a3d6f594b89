// Identifiers shared by the resource script and the code.
#pragma once

#define IDM_ABOUTBOX 0x0010
// System-menu commands: multiples of 16, below the system's own 0xF000.
#define IDM_OPENCLASSLIST 0x0030
#define IDM_RESTOREBACKUP 0x0040
#define IDM_UNDO 0x0050
#define IDM_REDO 0x0060
#define IDD_ABOUTBOX 100
#define IDD_CLASSLIST_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_CLASS_LIST 1000
#define IDC_PREVIEW 1001
#define IDC_SHOW_ALL 1003
#define IDC_DEFAULT 1004
#define IDC_SHOW_WATER 1005
#define IDC_SELECT_ALL 1006
#define IDC_CLEAR_ALL 1007
#define IDC_SURFACE_TYPE 1008
#define IDC_UPDATE 1009
#define IDC_STATUS 1010
#define IDC_INSTRUCTIONS 1011
#define IDC_ABOUT_CLASS_LIST 1100
