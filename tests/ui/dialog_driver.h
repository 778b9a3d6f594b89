// Runs the real main dialog modally on a thread of its own and drives it from
// the test's thread with real window messages, the way a user's mouse and
// keyboard would reach it through the modal loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/game_folder.h"
#include "ui/class_list_dlg.h"

// The dialog with its members in reach of the tests.
class TestableClassListDlg : public CClassListDlg {
public:
    using CClassListDlg::m_bModified;
    using CClassListDlg::m_bShowingAll;
    using CClassListDlg::m_classList;
    using CClassListDlg::m_nStatusTimer;
};

struct MessageBoxSeen {
    std::string caption;
    std::string text;
    HWND owner = nullptr;           // those that record it: AnswerYesNo
    bool ownerEnabled = true;       // the dialog's state while the box was up
    int defaultButton = 0;
};

class DialogDriver {
public:
    // Starts the dialog; message boxes shown before it appears are answered
    // with OK and kept in messageBoxes.
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // False when the dialog did not appear within the time limit.
    bool Started() const { return hwnd != nullptr; }

    // Waits until every message posted so far has been through the modal
    // loop (the marker itself has been fetched but not yet pre-translated).
    void Sync();
    // Runs fn on the dialog's thread when the next message is fetched: what
    // it sees is the state before that message reaches PreTranslateMessage.
    void OnUiThread(const std::function<void()>& fn);

    // Mouse and keyboard, posted like input.
    void Click(int nID);
    void ClickAt(HWND target, int x, int y, WPARAM keys = 0);
    void DoubleClickAt(HWND target, int x, int y);
    void Key(HWND target, UINT vk, bool alt = false);
    void ClickCheckBox(int nLine);
    void ClickLineText(int nLine, WPARAM keys = 0);

    // What the user sees.
    std::string Text(int nID) const;
    bool Enabled(int nID) const;
    int LineCount() const;
    std::string Line(int nLine) const;
    std::vector<int> SelectedLines() const;
    std::vector<int> TickedLines();
    HWND Item(int nID) const { return ::GetDlgItem(hwnd, nID); }

    // Answers the next message box (OK) within the time limit; caption empty
    // when none came.
    MessageBoxSeen WaitForMessageBox(DWORD timeoutMs = 5000);
    // A top-level window of the dialog's thread with this caption, or null.
    HWND FindThreadWindow(const char* caption) const;

    // Ends the dialog, if it still runs, and returns DoModal's result.
    INT_PTR WaitForEnd(DWORD timeoutMs = 10000);

    TestableClassListDlg* dlg = nullptr;
    HWND hwnd = nullptr;
    std::vector<MessageBoxSeen> messageBoxes;

private:
    static DWORD WINAPI UiThread(LPVOID param);
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
    INT_PTR result_ = -2;
    bool ended_ = false;
};
