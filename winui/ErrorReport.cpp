#include "ErrorReport.h"

#include "AppError.h"
#include "MessageBox.h"

#include <new>
#include <vector>

namespace winui {

std::wstring ApplicationTitle()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) break;
        path.resize(path.size() * 2);
    }
    std::wstring name(path.data());
    const auto slash = name.find_last_of(L"\\/:");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const auto dot = name.find(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}

std::wstring ErrorReportText(const std::wstring& message)
{
    if (!message.empty() && message.back() > L'.') return message + L".";
    return message;
}

std::wstring ErrorMessageOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& e) {
        const char* text = e.what();
        const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
        if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
        return wide;
    } catch (...) {
        return L"Unknown error";
    }
}

void ReportCurrentError()
{
    const std::wstring text = ErrorReportText(ErrorMessageOf(std::current_exception()));
    ShowMessageBox(GetActiveWindow(), text, ApplicationTitle(), MB_OK | MB_ICONERROR);
}

} // namespace winui
