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
    HWND box = nullptr;
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    bool ownerEnabled = true;       // the dialog's state while the box was up
    int defaultButton = 0;
};

class DialogDriver {
public:
    // Starts the dialog; message boxes shown before it appears are answered
    // with OK.
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
    // vk with Ctrl (and Shift) held, as the dialog's thread sees the keys' state.
    void CtrlKey(HWND target, UINT vk, bool shift = false);
    void SysCommand(UINT nID);
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
    // A system-menu item's text, and whether it is offered rather than greyed.
    std::string MenuText(UINT nID) const;
    bool MenuOffered(UINT nID) const;

    // Answers the next message box of the dialog's thread that it has not
    // answered before: runs `meanwhile` while the box is up, presses `button`
    // and returns once the box is gone and the dialog has caught up. Caption
    // empty when no box came within the time limit.
    MessageBoxSeen Answer(int button = IDOK, const std::function<void()>& meanwhile = {});
    // A top-level window of the dialog's thread with this caption, or null.
    HWND FindThreadWindow(const char* caption) const;

    // Ends the dialog, if it still runs, and returns DoModal's result.
    INT_PTR WaitForEnd(DWORD timeoutMs = 10000);

    TestableClassListDlg* dlg = nullptr;
    HWND hwnd = nullptr;
    // Every box answered, in order: those before the dialog appeared come first.
    std::vector<MessageBoxSeen> messageBoxes;

private:
    static DWORD WINAPI UiThread(LPVOID param);
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
    HWND UnansweredBox() const;
    MessageBoxSeen Press(HWND box, int button, const std::function<void()>& meanwhile = {});

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
    INT_PTR result_ = -2;
    bool ended_ = false;
};
