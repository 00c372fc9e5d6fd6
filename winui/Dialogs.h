// Common dialogs the programs use.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace winui {

// TOpenDialog: a file-open dialog with a filter text in the "description|pattern|..."
// form and a default extension.
class OpenDialog {
public:
    std::wstring filter;
    std::wstring defaultExt;
    // Runs the dialog; the chosen full file name, or nothing when cancelled.
    std::optional<std::wstring> Execute(HWND owner) const;
};


// TcxShellBrowserDialog: a folder picker whose tree is rooted at the computer's
// drives and which opens at the folder last confirmed in it.
class FolderPicker {
public:
    std::wstring title;       // the dialog's caption
    std::wstring folderLabel; // the text above the tree
    bool showInfoTips = false;
    // Runs the picker; the chosen folder's full path, or nothing when cancelled.
    std::optional<std::wstring> Execute(HWND owner);
    const std::wstring& LastFolder() const { return lastFolder_; }

private:
    std::wstring lastFolder_;
};

// A plain modal message with an OK button, captioned with the application's title.
void ShowMessage(const std::wstring& text);

} // namespace winui
