#include "Dialogs.h"

#include "Com.h"
#include "ErrorReport.h"
#include "MessageBox.h"

#include <commdlg.h>
#include <shlobj.h>

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


namespace {

struct PickerStart {
    const std::wstring* title;
    const std::wstring* folder;
};

int CALLBACK PickerCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED) {
        const auto* start = reinterpret_cast<const PickerStart*>(data);
        SetWindowTextW(dialog, start->title->c_str());
        if (!start->folder->empty())
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE,
                         reinterpret_cast<LPARAM>(start->folder->c_str()));
    }
    return 0;
}

} // namespace

std::optional<std::wstring> FolderPicker::Execute(HWND owner)
{
    ComApartment com;
    PIDLIST_ABSOLUTE drives = nullptr;
    SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, &drives);
    PickerStart start{&title, &lastFolder_};
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = drives;
    info.pszDisplayName = display;
    info.lpszTitle = folderLabel.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | (showInfoTips ? BIF_UAHINT : 0);
    info.lpfn = PickerCallback;
    info.lParam = reinterpret_cast<LPARAM>(&start);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    std::optional<std::wstring> result;
    if (chosen) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(chosen, path)) {
            lastFolder_ = path;
            result = lastFolder_;
        }
        CoTaskMemFree(chosen);
    }
    if (drives) CoTaskMemFree(drives);
    return result;
}

void ShowMessage(const std::wstring& text)
{
    ShowMessageBox(GetActiveWindow(), text, ApplicationTitle(), MB_OK);
}

} // namespace winui
