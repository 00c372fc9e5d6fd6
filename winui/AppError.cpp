#include "AppError.h"

namespace winui {

std::wstring InOutErrorText(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND: return L"File not found";
    case ERROR_PATH_NOT_FOUND: return L"Path not found";
    case ERROR_TOO_MANY_OPEN_FILES: return L"Too many open files";
    case ERROR_ACCESS_DENIED: return L"File access denied";
    case ERROR_HANDLE_EOF: return L"Read beyond end of file";
    case ERROR_DISK_FULL: return L"Disk full";
    default: return L"I/O error " + std::to_wstring(code);
    }
}

AppError InOutError(DWORD code) { return AppError(InOutErrorText(code)); }

AppError ReadBeyondEndOfFile() { return AppError(L"Read beyond end of file"); }

} // namespace winui
