#include "Controls.h"

#include "Form.h"

#include <commctrl.h>

namespace winui {

std::wstring Control::Text() const
{
    std::wstring text(GetWindowTextLengthW(hwnd_) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
    return text;
}

void Control::SetText(const std::wstring& text) { SetWindowTextW(hwnd_, text.c_str()); }
bool Control::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
void Control::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled); }
bool Control::Visible() const { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
void Control::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
void Control::SetFocus() { ::SetFocus(hwnd_); }
bool Control::Focused() const { return GetFocus() == hwnd_; }
void Control::SetFont(HFONT font) { SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void Control::CreateChild(Form& form, HWND parent, const wchar_t* windowClass, DWORD style,
                          DWORD exStyle, Bounds b, const std::wstring& text, int id)
{
    id_ = id;
    hwnd_ = CreateWindowExW(exStyle, windowClass, text.c_str(),
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, b.left, b.top,
                            b.width, b.height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    // A control created later lies in front of the earlier ones.
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetFont(form.DefaultFont());
}

void Label::Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text)
{
    CreateChild(form, parent, L"STATIC", SS_LEFT | SS_NOTIFY | SS_NOPREFIX, 0, bounds, text, id);
}

void Bevel::Create(Form& form, HWND parent, int id, Bounds bounds)
{
    CreateChild(form, parent, L"STATIC", SS_ETCHEDHORZ, 0, bounds, L"", id);
}

void Edit::Create(Form& form, HWND parent, int id, Bounds bounds, Options options)
{
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL;
    if (options.readOnly) style |= ES_READONLY;
    CreateChild(form, parent, L"EDIT", style, options.border ? WS_EX_CLIENTEDGE : 0, bounds, L"",
                id);
}

void Memo::Create(Form& form, HWND parent, int id, Bounds bounds, Options options)
{
    DWORD style = WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_WANTRETURN;
    if (options.readOnly) style |= ES_READONLY;
    if (options.horizontalScroll) style |= WS_HSCROLL | ES_AUTOHSCROLL;
    CreateChild(form, parent, L"EDIT", style, WS_EX_CLIENTEDGE, bounds, L"", id);
    SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0); // no 32K limit on the log
}

std::vector<std::wstring> Memo::Lines() const
{
    std::vector<std::wstring> lines;
    const std::wstring text = Text();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void Memo::Clear() { SetText(L""); }

// The last line of the text starts at its end exactly when the text is empty or ends
// with a line break: a wrapped line never leaves an empty line behind it.
bool Memo::EndsWithLineBreak() const
{
    const auto length = static_cast<LRESULT>(GetWindowTextLengthW(hwnd_));
    const LRESULT lastLine = SendMessageW(hwnd_, EM_GETLINECOUNT, 0, 0) - 1;
    return SendMessageW(hwnd_, EM_LINEINDEX, lastLine, 0) == length;
}

void Memo::AddLine(const std::wstring& line) { AddLines({line}); }

void Memo::AddLines(const std::vector<std::wstring>& lines)
{
    if (lines.empty()) return;
    std::wstring added = EndsWithLineBreak() ? L"" : L"\r\n";
    for (const std::wstring& line : lines) added += line + L"\r\n";
    const int length = GetWindowTextLengthW(hwnd_);
    SendMessageW(hwnd_, EM_SETSEL, length, length);
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
}

void Button::Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text)
{
    CreateChild(form, parent, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, bounds, text, id);
}

void Button::Click() { SendMessageW(hwnd_, BM_CLICK, 0, 0); }

void SpeedButton::Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text)
{
    CreateChild(form, parent, L"BUTTON", BS_PUSHBUTTON, 0, bounds, text, id);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    buttonProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SpeedButton::Proc)));
}

SpeedButton::~SpeedButton()
{
    // The window may outlive this object by a little: it goes back to being a button.
    if (IsWindow(hwnd_) && buttonProc_) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(buttonProc_));
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    }
}

void SpeedButton::NotifyClick() const
{
    SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(id_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(hwnd_));
}

// The mouse is handled here, not by the button, which would take the focus first: the
// button shows pressed while the mouse is held down over it and clicks when it is let
// go there.
LRESULT CALLBACK SpeedButton::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* self = reinterpret_cast<SpeedButton*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    auto inside = [hwnd, lParam] {
        RECT client;
        GetClientRect(hwnd, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        return PtInRect(&client, at) != FALSE;
    };
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(hwnd);
        SendMessageW(hwnd, BM_SETSTATE, TRUE, 0);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) SendMessageW(hwnd, BM_SETSTATE, inside(), 0);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd) {
            const bool click = inside();
            ReleaseCapture();
            if (click) self->NotifyClick();
        }
        return 0;
    case WM_CAPTURECHANGED:
        SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        return 0;
    case BM_CLICK:
        self->NotifyClick();
        return 0;
    default:
        return CallWindowProcW(self->buttonProc_, hwnd, message, wParam, lParam);
    }
}

void CheckBox::Create(Form& form, HWND parent, int id, Bounds bounds, const std::wstring& text)
{
    CreateChild(form, parent, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0, bounds, text, id);
}

bool CheckBox::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked)
{
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ProgressBar::Create(Form& form, HWND parent, int id, Bounds bounds)
{
    CreateChild(form, parent, PROGRESS_CLASSW, 0, 0, bounds, L"", id);
}

void ProgressBar::SetRange(int minimum, int maximum)
{
    SendMessageW(hwnd_, PBM_SETRANGE32, minimum, maximum);
}

void ProgressBar::SetPosition(int position) { SendMessageW(hwnd_, PBM_SETPOS, position, 0); }
int ProgressBar::Position() const { return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }

int ProgressBar::Maximum() const
{
    return static_cast<int>(SendMessageW(hwnd_, PBM_GETRANGE, FALSE, 0));
}

void Panel::Create(Form& form, HWND parent, int id, Bounds bounds, bool border)
{
    CreateChild(form, parent, PanelClassName(), WS_CLIPCHILDREN, border ? WS_EX_CLIENTEDGE : 0,
                bounds, L"", id);
}


void PageControl::ShowPage(int index)
{
    for (int i = 0; i < PageCount(); ++i)
        if (i != index) pages_[i]->SetVisible(false);
    if (index >= 0 && index < PageCount()) pages_[index]->SetVisible(true);
}

int PageControl::ActivePageIndex() const
{
    for (int i = 0; i < PageCount(); ++i)
        if (pages_[i]->Visible()) return i;
    return -1;
}

void ImageBox::Create(Form& form, HWND parent, int id, Bounds bounds)
{
    CreateChild(form, parent, L"STATIC", SS_BITMAP | SS_REALSIZECONTROL, 0, bounds, L"", id);
}

ImageBox::~ImageBox()
{
    if (IsWindow(hwnd_)) ReleaseShown();
}

void ImageBox::SetBitmap(HBITMAP bitmap)
{
    ReleaseShown();
    bitmap_.Reset(bitmap);
    SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

// Takes the bitmap off the control; a copy that the control made of it is deleted.
void ImageBox::ReleaseShown()
{
    const auto shown = reinterpret_cast<HGDIOBJ>(
        SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, 0));
    if (shown && shown != bitmap_.Get()) DeleteObject(shown);
}

void Timer::Create(HWND owner, UINT_PTR id, UINT intervalMs)
{
    owner_ = owner;
    id_ = id;
    interval_ = intervalMs;
}

void Timer::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled)
        SetTimer(owner_, id_, interval_, nullptr);
    else
        KillTimer(owner_, id_);
}

} // namespace winui
