// Every modal message box of both programs goes through here, so that tests can
// record the boxes and answer them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace winui {

using MessageBoxHook =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)>;

// Shows a modal message box (MessageBoxW) unless a hook is set.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// Replaces the message box by a hook (tests); an empty hook restores the real box.
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace winui
