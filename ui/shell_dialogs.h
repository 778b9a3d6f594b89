// The Open dialog and dropped files, through comdlg32 and shell32 loaded the
// first time they are needed: loading a DLL is a visible part of start-up
// time, under Wine most of all.
#pragma once

#include <windows.h>
#include <shellapi.h>  // HDROP

// The Open dialog for a class list, owned by hOwner and starting in
// lpszFolder (the system's choice when null or empty). 1 with the chosen
// file's full path in lpszPath, 0 when the user cancelled, -1 with the
// last-error code when it could not be shown.
int ChooseClassListFile(HWND hOwner, LPCSTR lpszFolder, char* lpszPath, DWORD nSize);

// Tests stand in for the Open dialog here; null restores it.
typedef int (*ChooseFileHook)(HWND hOwner, LPCSTR lpszFolder, char* lpszPath, DWORD nSize);
void SetChooseFileHook(ChooseFileHook hook);

// The first file of a WM_DROPFILES, whose memory it then releases; 0 when it
// names none that fits nSize, or shell32 cannot be had.
int TakeDroppedFile(HDROP hDrop, char* lpszPath, DWORD nSize);
