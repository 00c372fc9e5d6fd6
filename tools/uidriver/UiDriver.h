// The UI driver: finds the windows and controls of another process and works them
// from outside, the way a user (or the shell) would, through window messages only.
//
// Conventions: the look-ups return nullptr / an empty optional when nothing is found
// in time; the actions throw uidriver::Error when the target cannot be worked.
#pragma once

#include "Handles.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace uidriver {

// How long a single message to another process may take before it counts as hung.
constexpr UINT kMessageTimeoutMs = 5000;
// How often the waiting functions look again.
constexpr DWORD kPollMs = 20;

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using UniqueHandle = winui::KernelHandle; // processes, threads

// A Linux path ("/x/y") as Wine sees it ("Z:\\x\\y"); other names stay as they are.
std::wstring WindowsPathOf(std::wstring name);

// A program started from outside; it is ended with its owner unless it has ended.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& path, const std::wstring& workingDir = L"");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD Id() const { return id_; }
    DWORD StartError() const { return startError_; }
    // Waits for the program to end by itself; false when it is still running.
    bool WaitForExit(DWORD timeoutMs) const;

private:
    UniqueHandle process_;
    DWORD id_ = 0;
    DWORD startError_ = 0;
};

// Polls the condition until it holds (true) or the time is up (false).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = kPollMs);

// The process owning a window (0 when the window is gone).
DWORD ProcessOf(HWND window);

// A visible top-level window whose caption is exactly `caption`; with a process id
// other than 0, only that process's windows count.
HWND FindTopWindow(const std::wstring& caption, DWORD processId = 0);
HWND WaitForTopWindow(const std::wstring& caption, DWORD timeoutMs, DWORD processId = 0);

// A control anywhere below `parent` (children of children too).
HWND FindControl(HWND parent, int controlId);
HWND FindControl(HWND parent, const std::wstring& className, const std::wstring& text);
// The same, for a control that must be there: throws Error when it is not.
HWND Control(HWND parent, int controlId);

// A descendant of `parent` of the window class (compared without regard to case),
// and with the control ID when one is given.
HWND FindControlOfClass(HWND parent, const std::wstring& className, std::optional<int> controlId = std::nullopt);

// A control directly inside the dialog (GetDlgItem). Dialogs nest windows whose IDs
// repeat those of their buttons (the file dialog's list view has ID 1, as OK has), so
// a button is looked up here, not with FindControl.
HWND DialogItem(HWND dialog, int controlId);

// The window that owns a top-level window (the owner of a modal dialog), or nullptr.
HWND OwnerOf(HWND window);

// The window's class name, e.g. "Edit" or "#32770".
std::wstring ClassOf(HWND window);

// WM_GETTEXT / WM_SETTEXT, answered by the target's own thread.
std::wstring GetText(HWND control);
void SetText(HWND control, const std::wstring& text);

// Posts BM_CLICK: the button is pressed once the target gets to it, so a click that
// opens a modal box does not block the caller.
void PostClick(HWND button);

struct ControlState {
    bool enabled;
    bool visible;
    int checked; // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE
};
ControlState GetState(HWND control);

// A progress bar's position, and the top of its range.
int ProgressPosition(HWND bar);
int ProgressMaximum(HWND bar);

// The items of a combo box in their order, and the index of the selected one (CB_ERR
// when none is). The system carries CB_GETLBTEXT across processes for combo boxes that
// keep their strings, which every combo box read here does.
std::vector<std::wstring> ComboItems(HWND combo);
int ComboSelection(HWND combo);

// The texts of a tree view's selected item and of its ancestors, the root's first;
// empty when nothing is selected. The items are read through memory placed in the
// target process, so the target must be of the caller's bitness (both 64-bit here).
std::vector<std::wstring> TreeSelectionPath(HWND tree);

// A visible dialog (class "#32770") of the process (0: any process), with the given
// caption when one is given: a message box, a common dialog, a folder picker.
HWND FindDialog(DWORD processId, const std::optional<std::wstring>& caption = std::nullopt);
HWND WaitForDialog(DWORD processId, DWORD timeoutMs, const std::optional<std::wstring>& caption = std::nullopt);

// Presses a button of a dialog by its ID: WM_COMMAND (BN_CLICKED) is posted to the
// dialog, as the button itself sends it when clicked.
void PressButton(HWND dialog, int buttonId);

// Selects the folder in an open folder picker (SHBrowseForFolder) with
// BFFM_SETSELECTION, as the picker's owner does; the picker expands its tree down to
// the folder. The name is placed in the target process; same bitness as above.
// Wine's picker (8.0) finds no folder below Z:, and on C: misses a folder whose
// ancestors changed since they were last listed (its item IDs carry last-access
// times); the caller checks the selection it gets.
void SelectPickerFolder(HWND picker, const std::wstring& folder);

struct MessageBoxInfo {
    HWND window;
    std::wstring caption;
    std::wstring text;
};

// A visible message box (dialog class "#32770") of the process (0: any process),
// with the given caption when one is given. A box answered but not yet destroyed
// is hidden, so it is not found any more.
HWND FindMessageBox(DWORD processId, const std::optional<std::wstring>& caption = std::nullopt);
// Waits for such a box and reads it.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs,
                                                const std::optional<std::wstring>& caption = std::nullopt);
// The caption and the message of a box, read from outside.
MessageBoxInfo ReadMessageBox(HWND box);

// Answers a box with OK (or with its only other button, Cancel).
void PressOk(HWND box);

// Drops the files onto the window as the shell does: a DROPFILES block with the
// names is placed in the target process and WM_DROPFILES is posted with it. The
// point is in client coordinates; without one the middle of the client area is used.
// The block stays in the target (a page per drop); the target's DragFinish may not
// be able to free memory it did not allocate.
void DropFiles(HWND target, const std::vector<std::wstring>& files, std::optional<POINT> at = std::nullopt);

// Asks the window to close (WM_CLOSE posted).
void PostClose(HWND window);
// Asks the window to close and waits for its answer (WM_CLOSE sent), as another program
// may: the window handles it whatever it is doing, once it looks at its messages.
void SendClose(HWND window);

} // namespace uidriver
