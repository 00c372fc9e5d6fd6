#include "UiDriver.h"

#include <shlobj.h>

#include <cstring>

namespace uidriver {

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    const DWORD error = GetLastError();
    throw Error(what + " (error " + std::to_string(error) + ")");
}

void RequireWindow(HWND window, const char* action)
{
    if (!window || !IsWindow(window)) throw Error(std::string(action) + ": no such window");
}

// The caption the system keeps for the window; no message is sent, so a busy
// target cannot hold the caller up.
std::wstring CaptionOf(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* action)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        Fail(std::string(action) + ": the window did not answer");
    return static_cast<LRESULT>(result);
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* action)
{
    if (!PostMessageW(window, message, wParam, lParam)) Fail(std::string(action) + ": cannot post");
}

struct Search {
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    if (!(*search->match)(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// The first descendant of the parent (children of children too, as
// EnumChildWindows gives them) that matches.
HWND FirstChild(HWND parent, const std::function<bool(HWND)>& match)
{
    Search search{&match, nullptr};
    EnumChildWindows(parent, VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The first top-level window that matches.
HWND FirstTopWindow(const std::function<bool(HWND)>& match)
{
    Search search{&match, nullptr};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool BelongsTo(HWND window, DWORD processId) { return processId == 0 || ProcessOf(window) == processId; }

} // namespace

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept
{
    if (this != &other) Reset(other.Release());
    return *this;
}

HANDLE UniqueHandle::Release()
{
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
}

void UniqueHandle::Reset(HANDLE handle)
{
    if (*this) CloseHandle(handle_);
    handle_ = handle;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() - start >= timeoutMs) return false;
        Sleep(pollMs);
    }
}

DWORD ProcessOf(HWND window)
{
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId)) return 0;
    return processId;
}

HWND FindTopWindow(const std::wstring& caption, DWORD processId)
{
    return FirstTopWindow([&](HWND window) {
        return IsWindowVisible(window) && BelongsTo(window, processId) && CaptionOf(window) == caption;
    });
}

HWND WaitForTopWindow(const std::wstring& caption, DWORD timeoutMs, DWORD processId)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(caption, processId)) != nullptr; }, timeoutMs);
    return found;
}

HWND FindControl(HWND parent, int controlId)
{
    return FirstChild(parent, [&](HWND child) { return GetDlgCtrlID(child) == controlId; });
}

HWND FindControl(HWND parent, const std::wstring& className, const std::wstring& text)
{
    return FirstChild(parent, [&](HWND child) {
        if (lstrcmpiW(ClassOf(child).c_str(), className.c_str()) != 0) return false;
        try {
            return GetText(child) == text;
        } catch (const Error&) {
            return false;
        }
    });
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::wstring GetText(HWND control)
{
    RequireWindow(control, "gettext");
    const auto length = static_cast<std::size_t>(SendWithin(control, WM_GETTEXTLENGTH, 0, 0, "gettext"));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<std::size_t>(
        SendWithin(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), "gettext"));
    text.resize(copied < length ? copied : length);
    return text;
}

void SetText(HWND control, const std::wstring& text)
{
    RequireWindow(control, "settext");
    if (!SendWithin(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), "settext"))
        throw Error("settext: the control refused the text");
}

void PostClick(HWND button)
{
    RequireWindow(button, "click");
    Post(button, BM_CLICK, 0, 0, "click");
}

ControlState GetState(HWND control)
{
    RequireWindow(control, "state");
    ControlState state{};
    state.enabled = IsWindowEnabled(control) != FALSE;
    state.visible = IsWindowVisible(control) != FALSE;
    state.checked = static_cast<int>(SendWithin(control, BM_GETCHECK, 0, 0, "state"));
    return state;
}

HWND FindMessageBox(DWORD processId, const std::optional<std::wstring>& caption)
{
    return FirstTopWindow([&](HWND window) {
        return IsWindowVisible(window) && ClassOf(window) == L"#32770" && BelongsTo(window, processId) &&
               (!caption || CaptionOf(window) == *caption);
    });
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs,
                                                const std::optional<std::wstring>& caption)
{
    std::optional<MessageBoxInfo> found;
    WaitUntil([&] {
        const HWND box = FindMessageBox(processId, caption);
        if (!box) return false;
        try {
            found = ReadMessageBox(box);
        } catch (const Error&) {
            // A box that closes while it is read is gone; one that stays yet cannot
            // be read is a fault.
            if (IsWindow(box) && IsWindowVisible(box)) throw;
        }
        return found.has_value();
    }, timeoutMs);
    return found;
}

MessageBoxInfo ReadMessageBox(HWND box)
{
    RequireWindow(box, "msgbox");
    MessageBoxInfo info{box, CaptionOf(box), {}};
    // The message is the static control 0xFFFF; a box made otherwise is read from
    // its first static control with a text.
    if (const HWND message = GetDlgItem(box, 0xFFFF)) {
        info.text = GetText(message);
    } else if (const HWND message = FirstChild(box, [](HWND child) {
                   return lstrcmpiW(ClassOf(child).c_str(), L"Static") == 0 && GetWindowTextLengthW(child) > 0;
               })) {
        info.text = GetText(message);
    }
    return info;
}

void PressOk(HWND box)
{
    RequireWindow(box, "msgbox-ok");
    for (const int id : {IDOK, IDCANCEL}) {
        if (const HWND button = GetDlgItem(box, id)) {
            Post(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button), "msgbox-ok");
            return;
        }
    }
    throw Error("msgbox-ok: the box has neither an OK nor a Cancel button");
}

void DropFiles(HWND target, const std::vector<std::wstring>& files, std::optional<POINT> at)
{
    RequireWindow(target, "drop");
    if (files.empty()) throw Error("drop: no files");

    if (!at) {
        RECT client{};
        GetClientRect(target, &client);
        at = POINT{(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    }

    // DROPFILES, then the names one after another, each ended by a null, and one
    // more null at the end.
    std::wstring names;
    for (const auto& file : files) {
        names += file;
        names += L'\0';
    }
    names += L'\0';
    std::vector<char> block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.pt = *at;
    header.fNC = FALSE;
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, names.data(), names.size() * sizeof(wchar_t));

    const DWORD processId = ProcessOf(target);
    UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) Fail("drop: cannot open the target process");
    void* remote = VirtualAllocEx(process.Get(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) Fail("drop: cannot allocate in the target process");
    SIZE_T written = 0;
    if (!WriteProcessMemory(process.Get(), remote, block.data(), block.size(), &written) ||
        written != block.size()) {
        const DWORD error = GetLastError();
        VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
        SetLastError(error);
        Fail("drop: cannot write into the target process");
    }
    if (!PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
        const DWORD error = GetLastError();
        VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
        SetLastError(error);
        Fail("drop: cannot post");
    }
}

void PostClose(HWND window)
{
    RequireWindow(window, "close");
    Post(window, WM_CLOSE, 0, 0, "close");
}

std::wstring WindowsPathOf(std::wstring name)
{
    if (!name.empty() && name[0] == L'/') name = L"Z:" + name;
    if (name.size() > 1 && name[0] == L'Z' && name[1] == L':')
        for (wchar_t& c : name)
            if (c == L'/') c = L'\\';
    return name;
}

RunningProgram::RunningProgram(const std::wstring& path, const std::wstring& workingDir)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info)) {
        startError_ = GetLastError();
        return;
    }
    process_.Reset(info.hProcess);
    CloseHandle(info.hThread);
    id_ = info.dwProcessId;
}

RunningProgram::~RunningProgram()
{
    if (!process_ || WaitForExit(0)) return;
    TerminateProcess(process_.Get(), 0);
    WaitForSingleObject(process_.Get(), 10000);
}

bool RunningProgram::WaitForExit(DWORD timeoutMs) const
{
    return WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace uidriver
