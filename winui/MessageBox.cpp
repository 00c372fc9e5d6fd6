#include "MessageBox.h"

namespace winui {

namespace {
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}
} // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)
{
    if (Hook()) return Hook()(owner, text, caption, style);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

} // namespace winui
