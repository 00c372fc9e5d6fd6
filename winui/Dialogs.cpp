#include "Dialogs.h"

#include <commdlg.h>

#include <vector>

namespace winui {

std::optional<std::wstring> OpenDialog::Execute(HWND owner) const
{
    // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
    std::wstring filters = filter;
    for (wchar_t& c : filters)
        if (c == L'|') c = L'\0';
    filters.append(2, L'\0');

    // The dialog wants the extension alone; "*.max" and ".max" both mean "max".
    std::wstring ext = defaultExt;
    const auto dot = ext.find_last_of(L'.');
    if (dot != std::wstring::npos) ext.erase(0, dot + 1);

    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return std::wstring(file.data());
}

} // namespace winui
