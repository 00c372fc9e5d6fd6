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

} // namespace winui
