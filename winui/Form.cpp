#include "Form.h"

#include "Controls.h"
#include "ErrorReport.h"

#include <algorithm>
#include <utility>

namespace winui {

namespace {

const wchar_t kFormClass[] = L"TarvoForm";
const wchar_t kPanelClass[] = L"TarvoPanel";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Passes the notifications of a panel's children on to the form that holds it.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
    case WM_ERASEBKGND: {
        // A panel with a background colour of its own asks the form for its brush.
        const HWND form = GetAncestor(hwnd, GA_ROOT);
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(form, WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(hwnd)));
        RECT rect;
        GetClientRect(hwnd, &rect);
        FillRect(reinterpret_cast<HDC>(wParam), &rect,
                 brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RegisterClasses(HICON icon)
{
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW; // replaced per window
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);

    WNDCLASSEXW panel = wc;
    panel.lpfnWndProc = PanelProc;
    panel.lpszClassName = kPanelClass;
    RegisterClassExW(&panel);

    WNDCLASSEXW form = wc;
    form.lpszClassName = kFormClass;
    form.hIcon = icon;
    form.hIconSm = icon;
    RegisterClassExW(&form);
    registered = true;
}

} // namespace

const wchar_t* PanelClassName()
{
    RegisterClasses(nullptr);
    return kPanelClass;
}

Form::Form() { defaultFont_ = MakeFont(FontSpec{}); }

Form::~Form()
{
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

HFONT Form::MakeFont(const FontSpec& spec)
{
    HFONT font = CreateFontW(-spec.pixelHeight, 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, FALSE,
                             spec.underline, FALSE, spec.charset, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             spec.face.c_str());
    fonts_.emplace_back(font);
    return font;
}

void Form::CreateWindowFrame(const std::wstring& caption, int clientWidth, int clientHeight,
                             DWORD style, HICON icon, DWORD exStyle)
{
    RegisterClasses(icon);
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    hwnd_ = CreateWindowExW(exStyle, kFormClass, caption.c_str(), style | WS_CLIPCHILDREN, x, y,
                            width, height, nullptr, nullptr, Instance(), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::WindowProc));
    if (icon) {
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
}

void Form::SetCaption(const std::wstring& caption) { SetWindowTextW(hwnd_, caption.c_str()); }

std::wstring Form::Caption() const
{
    std::wstring text(GetWindowTextLengthW(hwnd_) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
    return text;
}

void Form::Show(int showCommand)
{
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

void Form::Close() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

Form* Form::FromHandle(HWND hwnd)
{
    if (!hwnd) return nullptr;
    wchar_t name[32];
    if (!GetClassNameW(hwnd, name, 32) || lstrcmpW(name, kFormClass) != 0) return nullptr;
    return reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Form::OnClick(const Control& control, std::function<void()> handler)
{
    clickHandlers_[control.Id()] = std::move(handler);
}

void Form::SetColors(const Control& control, COLORREF text, COLORREF background)
{
    colors_[control.Handle()].reset(
        new Colors{text, true, background, GdiObject(CreateSolidBrush(background))});
}

void Form::SetTextColor(const Control& control, COLORREF text)
{
    colors_[control.Handle()].reset(new Colors{text, false, 0, GdiObject()});
}

void Form::SetHandCursor(const Control& control) { handCursor_.push_back(control.Handle()); }

void Form::SetTabOrder(std::vector<const Control*> order)
{
    tabOrder_.clear();
    for (const Control* control : order) tabOrder_.push_back(control->Handle());
}

bool Form::MoveFocus(bool backwards)
{
    const auto count = static_cast<int>(tabOrder_.size());
    const auto at = std::find(tabOrder_.begin(), tabOrder_.end(), GetFocus());
    if (count == 0 || at == tabOrder_.end()) return false;
    int index = static_cast<int>(at - tabOrder_.begin());
    for (int step = 0; step < count; ++step) {
        index = (index + (backwards ? count - 1 : 1)) % count;
        const HWND next = tabOrder_[index];
        if (IsWindowVisible(next) && IsWindowEnabled(next)) {
            ::SetFocus(next);
            return true;
        }
    }
    return true;
}

LRESULT Form::ColorControl(HDC dc, HWND control, bool isStatic)
{
    const auto found = colors_.find(control);
    if (found == colors_.end()) return 0;
    const Colors& colors = *found->second;
    ::SetTextColor(dc, colors.text);
    if (colors.hasBackground) {
        SetBkColor(dc, colors.background);
        return reinterpret_cast<LRESULT>(colors.brush.Get());
    }
    const int face = isStatic ? COLOR_BTNFACE : COLOR_WINDOW;
    SetBkColor(dc, GetSysColor(face));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(face));
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultHandling(message, wParam, lParam);
}

LRESULT Form::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const WORD code = HIWORD(wParam);
        if (code == BN_CLICKED || code == STN_CLICKED) { // same value: 0
            const auto handler = clickHandlers_.find(LOWORD(wParam));
            if (handler != clickHandlers_.end() && lParam) {
                handler->second();
                return 0;
            }
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        const LRESULT brush = ColorControl(reinterpret_cast<HDC>(wParam),
                                           reinterpret_cast<HWND>(lParam),
                                           message != WM_CTLCOLOREDIT);
        if (brush) return brush;
        break;
    }
    case WM_SETCURSOR:
        if (std::find(handCursor_.begin(), handCursor_.end(), reinterpret_cast<HWND>(wParam)) !=
            handCursor_.end()) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        OnFormClose();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        // The last message of the window: the form lets go of it.
        const HWND gone = std::exchange(hwnd_, nullptr);
        SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
        return DefWindowProcW(gone, message, wParam, lParam);
    }
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
    // The one boundary where errors of handlers end: the report, and the program goes on.
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportCurrentError();
        return 0;
    }
}

namespace {

// Tab moves the focus along the form's tab order; everything else goes its usual way.
void Dispatch(const MSG& msg)
{
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
        Form* form = Form::FromHandle(GetAncestor(msg.hwnd, GA_ROOT));
        if (form && form->MoveFocus(GetKeyState(VK_SHIFT) < 0)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

} // namespace

void ProcessPaintMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
        if (msg.message == WM_QUIT) { // not ours to take: back for the message loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        DispatchMessageW(&msg);
    }
}

int RunMessageLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
    return static_cast<int>(msg.wParam);
}

bool ProcessMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        Dispatch(msg);
    }
    return true;
}

} // namespace winui
