// The UI driver: finds the windows and controls of another process and works them
// from outside, the way a user (or the shell) would, through window messages only.
//
// Conventions: the look-ups return nullptr / an empty optional when nothing is found
// in time; the actions throw uidriver::Error when the target cannot be worked.
#pragma once

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

// Owns a kernel handle (process, thread, ...) and closes it.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept;
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release();
    void Reset(HANDLE handle = nullptr);

private:
    HANDLE handle_ = nullptr;
};

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

} // namespace uidriver
