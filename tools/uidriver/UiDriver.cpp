#include "UiDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>

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

// Memory in the process of a window, for messages whose parameter points to memory the
// receiver reads or writes: the system carries such pointers to another process
// only for a few standard messages. Freed at the end unless kept: a message that was
// posted, or that timed out and may still be handled, uses it later.
class RemoteBlock {
public:
    RemoteBlock(HWND window, std::size_t size, const char* action) : action_(action), size_(size)
    {
        process_.Reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                   ProcessOf(window)));
        if (!process_) Fail(action_ + ": cannot open the target process");
        address_ = static_cast<char*>(
            VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!address_) Fail(action_ + ": cannot allocate in the target process");
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    ~RemoteBlock()
    {
        if (!kept_) VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
    }

    // The address at the offset, as the target sees it.
    char* At(std::size_t offset) const { return address_ + offset; }

    void Write(std::size_t offset, const void* data, std::size_t size)
    {
        SIZE_T done = 0;
        if (offset + size > size_ || !WriteProcessMemory(process_.Get(), At(offset), data, size, &done) ||
            done != size)
            Fail(action_ + ": cannot write into the target process");
    }

    void Read(std::size_t offset, void* data, std::size_t size) const
    {
        SIZE_T done = 0;
        if (offset + size > size_ || !ReadProcessMemory(process_.Get(), At(offset), data, size, &done) ||
            done != size)
            Fail(action_ + ": cannot read from the target process");
    }

    // Sends the message with the address at the offset as lParam.
    LRESULT Send(HWND window, UINT message, WPARAM wParam, std::size_t offset)
    {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, message, wParam, reinterpret_cast<LPARAM>(At(offset)), SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMs, &result)) {
            kept_ = true;
            Fail(action_ + ": the window did not answer");
        }
        return static_cast<LRESULT>(result);
    }

    // Posts the message with the block's address as wParam; the block stays.
    void PostAsWParam(HWND window, UINT message)
    {
        if (!PostMessageW(window, message, reinterpret_cast<WPARAM>(At(0)), 0))
            Fail(action_ + ": cannot post");
        kept_ = true;
    }

private:
    std::string action_;
    std::size_t size_;
    UniqueHandle process_;
    char* address_ = nullptr;
    bool kept_ = false;
};

} // namespace

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

HWND Control(HWND parent, int controlId)
{
    const HWND control = FindControl(parent, controlId);
    if (!control) throw Error("no control " + std::to_string(controlId));
    return control;
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

HWND FindControlOfClass(HWND parent, const std::wstring& className, std::optional<int> controlId)
{
    return FirstChild(parent, [&](HWND child) {
        return lstrcmpiW(ClassOf(child).c_str(), className.c_str()) == 0 &&
               (!controlId || GetDlgCtrlID(child) == *controlId);
    });
}

HWND DialogItem(HWND dialog, int controlId) { return dialog ? GetDlgItem(dialog, controlId) : nullptr; }

HWND OwnerOf(HWND window) { return window ? GetWindow(window, GW_OWNER) : nullptr; }

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

int ProgressPosition(HWND bar)
{
    RequireWindow(bar, "progress");
    return static_cast<int>(SendWithin(bar, PBM_GETPOS, 0, 0, "progress"));
}

int ProgressMaximum(HWND bar)
{
    RequireWindow(bar, "progress");
    return static_cast<int>(SendWithin(bar, PBM_GETRANGE, FALSE, 0, "progress"));
}

std::vector<std::wstring> ComboItems(HWND combo)
{
    RequireWindow(combo, "combo");
    const LRESULT count = SendWithin(combo, CB_GETCOUNT, 0, 0, "combo");
    if (count == CB_ERR) throw Error("combo: not a combo box");
    std::vector<std::wstring> items;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendWithin(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, "combo");
        if (length == CB_ERR) throw Error("combo: item " + std::to_string(i) + " has gone");
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied = SendWithin(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                          reinterpret_cast<LPARAM>(text.data()), "combo");
        if (copied == CB_ERR) throw Error("combo: item " + std::to_string(i) + " has gone");
        text.resize(static_cast<std::size_t>(copied < length ? copied : length));
        items.push_back(text);
    }
    return items;
}

int ComboSelection(HWND combo)
{
    RequireWindow(combo, "combo");
    return static_cast<int>(SendWithin(combo, CB_GETCURSEL, 0, 0, "combo"));
}

std::vector<std::wstring> TreeSelectionPath(HWND tree)
{
    RequireWindow(tree, "tree");
    // TVITEMW first, the text buffer after it.
    constexpr std::size_t kTextAt = (sizeof(TVITEMW) + 15) / 16 * 16;
    constexpr std::size_t kTextChars = 1024;
    RemoteBlock block(tree, kTextAt + kTextChars * sizeof(wchar_t), "tree");

    std::vector<std::wstring> path;
    auto item = reinterpret_cast<HTREEITEM>(SendWithin(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, "tree"));
    while (item) {
        TVITEMW request{};
        request.mask = TVIF_TEXT;
        request.hItem = item;
        request.pszText = reinterpret_cast<LPWSTR>(block.At(kTextAt));
        request.cchTextMax = static_cast<int>(kTextChars);
        const wchar_t none = L'\0';
        block.Write(kTextAt, &none, sizeof none);
        block.Write(0, &request, sizeof request);
        if (!block.Send(tree, TVM_GETITEMW, 0, 0)) throw Error("tree: an item has gone");
        // The tree may answer with a text of its own instead of filling the buffer.
        TVITEMW answer{};
        block.Read(0, &answer, sizeof answer);
        const std::size_t textAt =
            static_cast<std::size_t>(reinterpret_cast<char*>(answer.pszText) - block.At(0));
        if (answer.pszText == nullptr || textAt != kTextAt)
            throw Error("tree: the item's text is not in the buffer");
        std::wstring text(kTextChars, L'\0');
        block.Read(kTextAt, text.data(), kTextChars * sizeof(wchar_t));
        text.resize(std::wcslen(text.c_str()));
        path.push_back(text);
        item = reinterpret_cast<HTREEITEM>(
            SendWithin(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item), "tree"));
    }
    return std::vector<std::wstring>(path.rbegin(), path.rend());
}

HWND FindDialog(DWORD processId, const std::optional<std::wstring>& caption)
{
    return FirstTopWindow([&](HWND window) {
        return IsWindowVisible(window) && ClassOf(window) == L"#32770" && BelongsTo(window, processId) &&
               (!caption || CaptionOf(window) == *caption);
    });
}

HWND WaitForDialog(DWORD processId, DWORD timeoutMs, const std::optional<std::wstring>& caption)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(processId, caption)) != nullptr; }, timeoutMs);
    return found;
}

void PressButton(HWND dialog, int buttonId)
{
    RequireWindow(dialog, "press");
    const HWND button = GetDlgItem(dialog, buttonId);
    if (!button) throw Error("press: the dialog has no button " + std::to_string(buttonId));
    Post(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button), "press");
}

void SelectPickerFolder(HWND picker, const std::wstring& folder)
{
    RequireWindow(picker, "pick");
    const std::size_t size = (folder.size() + 1) * sizeof(wchar_t);
    RemoteBlock block(picker, size, "pick");
    block.Write(0, folder.c_str(), size);
    block.Send(picker, BFFM_SETSELECTIONW, TRUE, 0);
}

HWND FindMessageBox(DWORD processId, const std::optional<std::wstring>& caption)
{
    return FindDialog(processId, caption);
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
        if (GetDlgItem(box, id)) {
            PressButton(box, id);
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

    RemoteBlock remote(target, block.size(), "drop");
    remote.Write(0, block.data(), block.size());
    remote.PostAsWParam(target, WM_DROPFILES);
}

void PostClose(HWND window)
{
    RequireWindow(window, "close");
    Post(window, WM_CLOSE, 0, 0, "close");
}

void SendClose(HWND window)
{
    RequireWindow(window, "close");
    SendWithin(window, WM_CLOSE, 0, 0, "close");
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
